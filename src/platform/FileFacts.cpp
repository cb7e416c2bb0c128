#include "platform/FileFacts.h"

#include <utility>
#include <vector>

#include "text/EncodedText.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::platform {

bool NeverInspected(const std::string& path) { return text::KindOfPath(path) != text::PathKind::Local; }

FileLookup UntouchedLookup(const std::string& path) {
  switch (text::KindOfPath(path)) {
    case text::PathKind::LocalPipe: return FileLookup::LocalPipe;
    case text::PathKind::Device: return FileLookup::Device;
    case text::PathKind::Local:  // on a drive letter mapped to a share
    case text::PathKind::Network: break;
  }
  return FileLookup::NotLookedUp;
}

std::string PathLine(const std::string& path) { return text::Hex(path); }

std::optional<std::string> PathOfLine(const std::string& line) { return text::Unhex(line); }

// Lookup, signature and revocation as numbers, then the signer, company and product in hex.
std::string FactsLine(const FileFacts& facts) {
  return std::to_string(static_cast<int>(facts.lookup)) + " " + std::to_string(static_cast<int>(facts.signature)) + " " +
         (facts.revocationChecked ? "1 " : "0 ") + text::Hex(facts.signer) + " " + text::Hex(facts.company) + " " +
         text::Hex(facts.product);
}

std::optional<FileFacts> FactsOfLine(const std::string& line) {
  if (line.size() > kLongestFactsLine) return std::nullopt;
  const std::vector<std::string> fields = text::SplitExactly(line, ' ');
  if (fields.size() != 6 || fields[0].size() != 1 || fields[1].size() != 1 || fields[2].size() != 1) return std::nullopt;
  const int lookup = fields[0][0] - '0', signature = fields[1][0] - '0';
  if (lookup < 0 || lookup > static_cast<int>(FileLookup::Found) || signature < 0 ||
      signature > static_cast<int>(Signature::NotValid) || (fields[2] != "0" && fields[2] != "1"))
    return std::nullopt;
  std::optional<std::string> signer = text::Unhex(fields[3]), company = text::Unhex(fields[4]),
                             product = text::Unhex(fields[5]);
  if (!signer || !company || !product) return std::nullopt;
  FileFacts facts;
  facts.lookup = static_cast<FileLookup>(lookup);
  facts.signature = static_cast<Signature>(signature);
  facts.revocationChecked = fields[2] == "1";
  facts.signer = std::move(*signer);
  facts.company = std::move(*company);
  facts.product = std::move(*product);
  return facts;
}

}  // namespace korvalis::platform
