#include "dialogs/ProgramFacts.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

using platform::FileLookup;
using platform::Signature;

std::string SignatureLine(const platform::FileFacts& facts) {
  switch (facts.lookup) {
    case FileLookup::NotLookedUp:
      return "Program file on the network: not looked up";
    case FileLookup::LocalPipe:
      return "Program file is a local pipe: not looked up";
    case FileLookup::Device:
      return "Program file in the device namespace: not looked up";
    case FileLookup::NotFound:
      return "Program file not found";
    case FileLookup::Found:
      break;
  }
  switch (facts.signature) {
    case Signature::Valid:
      return "Signed by " + text::VisibleText(facts.signer) + (facts.revocationChecked ? "" : ", revocation not checked");
    case Signature::None:
      return "Not signed";
    case Signature::NotValid:
      return "Signature not valid";
    case Signature::NotChecked:
      break;
  }
  return "Signature not checked";
}

std::vector<std::string> ProgramFactLines(const platform::FileFacts& facts) {
  std::vector<std::string> lines{SignatureLine(facts)};
  if (facts.lookup != FileLookup::Found) return lines;
  if (!facts.company.empty()) lines.push_back("Company: " + text::VisibleText(facts.company));
  if (!facts.product.empty()) lines.push_back("Product: " + text::VisibleText(facts.product));
  return lines;
}

}  // namespace korvalis::dialogs
