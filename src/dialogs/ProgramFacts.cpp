#include "dialogs/ProgramFacts.h"

#include "dialogs/CommandText.h"
#include "text/VisibleText.h"

namespace korvalis::dialogs {

using catalogue::PayloadKind;
using platform::FileLookup;
using platform::Signature;

namespace {

// What a file not found, or never touched, is said to be; named as the file it is.
std::string LookupLine(FileLookup lookup, const std::string& file) {
  switch (lookup) {
    case FileLookup::NotLookedUp: return file + " on the network: not looked up";
    case FileLookup::LocalPipe: return file + " is a local pipe: not looked up";
    case FileLookup::Device: return file + " in the device namespace: not looked up";
    case FileLookup::NotFound: return file + " not found";
    case FileLookup::Found: break;
  }
  return std::string();
}

std::string SignedLine(const platform::FileFacts& facts) {
  switch (facts.signature) {
    case Signature::Valid:
      return "Signed by " + text::VisibleText(facts.signer) + (facts.revocationChecked ? "" : ", revocation not checked");
    case Signature::None: return "Not signed";
    case Signature::NotValid: return "Signature not valid";
    case Signature::NotChecked: break;
  }
  return "Signature not checked";
}

void AddVersionLines(const platform::FileFacts& facts, std::vector<std::string>& lines) {
  if (!facts.company.empty()) lines.push_back("Company: " + text::VisibleText(facts.company));
  if (!facts.product.empty()) lines.push_back("Product: " + text::VisibleText(facts.product));
}

const char* FileNoun(PayloadKind kind) {
  switch (kind) {
    case PayloadKind::Library: return "Library";
    case PayloadKind::Package: return "Package";
    default: return "Script";
  }
}

// The noun of a host's payload file, as the middle of a sentence says it.
std::string EarlierNoun(PayloadKind kind) {
  std::string noun = FileNoun(kind);
  noun[0] = static_cast<char>(noun[0] - 'A' + 'a');
  return noun;
}

}  // namespace

std::string Joined(const std::vector<std::string>& lines, const std::string& separator) {
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : separator) + line;
  return joined;
}

std::string SignatureLine(const platform::FileFacts& facts) {
  return facts.lookup == FileLookup::Found ? SignedLine(facts) : LookupLine(facts.lookup, "Program file");
}

std::vector<std::string> ProgramFactLines(const platform::FileFacts& facts) {
  std::vector<std::string> lines{SignatureLine(facts)};
  if (facts.lookup == FileLookup::Found) AddVersionLines(facts, lines);
  return lines;
}

std::string PayloadLine(const catalogue::THostPayload& payload) {
  const std::string what = ShownText(payload.what, kShownPayloadAtMost);
  switch (payload.kind) {
    case PayloadKind::Script: return "Runs a script: " + what;
    case PayloadKind::Library: return "Loads the library " + what;
    case PayloadKind::Package: return "Installs the package " + what;
    case PayloadKind::Download: return "Downloads " + what;
    case PayloadKind::None: break;
  }
  return std::string();
}

std::vector<std::string> PayloadFactLines(const catalogue::THostPayload& payload, const platform::FileFacts* file,
                                          const platform::FileFacts* host) {
  std::vector<std::string> lines{PayloadLine(payload)};
  if (!payload.file.empty()) {
    const std::string noun = FileNoun(payload.kind);
    if (!file) {
      lines.push_back(noun + ": " + kProgramFactsPending);
    } else if (file->lookup != FileLookup::Found) {
      lines.push_back(LookupLine(file->lookup, noun + " file"));
    } else {
      lines.push_back(noun + ": " + SignedLine(*file));
      AddVersionLines(*file, lines);
    }
  }
  lines.push_back(std::string("Host: ") + (host ? SignatureLine(*host) : kProgramFactsPending));
  return lines;
}

std::string FactsFile(const catalogue::TStartup& entry, const catalogue::THostPayload& payload) {
  if (!payload.file.empty()) return payload.file;
  return payload.kind == PayloadKind::None ? entry.ProgramFile() : payload.program;
}

std::vector<std::string> BeforeLines(const catalogue::TStartup& before, const catalogue::THostPayload& beforePayload,
                                     const catalogue::THostPayload& nowPayload, const platform::FileFacts* earlier,
                                     const platform::FileFacts* now) {
  std::vector<std::string> lines{"Before: " + ShownCommand(before.Command())};
  // An encoded command reads as nothing until decoded, as the new one's is.
  const std::string earlierPayload = PayloadLine(beforePayload);
  if (!earlierPayload.empty() && earlierPayload != PayloadLine(nowPayload))
    lines.push_back("Earlier: " + earlierPayload);
  // The same words twice would only hide the one that matters.
  if (!earlier || !now || ProgramFactLines(*earlier) == ProgramFactLines(*now)) return lines;
  const std::string noun = beforePayload.file.empty() ? "program" : EarlierNoun(beforePayload.kind);
  if (earlier->lookup != FileLookup::Found) {
    lines.push_back(LookupLine(earlier->lookup, "Earlier " + noun + " file"));
    return lines;
  }
  lines.push_back("Earlier " + noun + (beforePayload.file.empty() ? " file: " : ": ") +
                  Joined(ProgramFactLines(*earlier), "; "));
  return lines;
}

std::vector<std::string> EntryFactLines(const catalogue::TStartup& entry, std::vector<std::string> facts) {
  if (entry.DisabledInTaskManager()) facts.insert(facts.begin(), kDisabledInTaskManager);
  return facts;
}

}  // namespace korvalis::dialogs
