#include "platform/memory/MemoryFileFacts.h"

#include "text/StrMan.h"

namespace korvalis::platform::memory {

void MemoryFileInspector::Describe(const std::string& path, InspectedFile file) {
  described_[text::UpperAscii(files_.Absolute(path))] = std::move(file);
}

bool MemoryFileInspector::IsRemote(const std::string& path) {
  if (NeverInspected(path)) return true;
  if (path.empty()) return false;
  const std::string full = files_.Absolute(path);
  return full.size() >= 2 && full[1] == ':' &&
         remoteDrives.find(text::UpperAscii(full.substr(0, 1))) != std::string::npos;
}

FileFacts MemoryFileInspector::Inspect(const std::string& path) {
  inspected.push_back(path);
  FileFacts facts;
  if (path.empty()) return facts;
  if (IsRemote(path)) {
    facts.lookup = FileLookup::NotLookedUp;
    return facts;
  }
  // The long form names the same local file.
  const std::string local = path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
  if (!files_.IsFile(local)) return facts;
  facts.lookup = FileLookup::Found;
  InspectedFile file;
  const auto found = described_.find(text::UpperAscii(files_.Absolute(local)));
  if (found != described_.end()) file = found->second;
  if (file.size > kLargestFileChecked) {
    facts.signature = Signature::NotChecked;
  } else {
    facts.signature = file.signature;
    if (file.signature == Signature::Valid) facts.signer = file.signer;
  }
  facts.company = file.company;
  facts.product = file.product;
  return facts;
}

}  // namespace korvalis::platform::memory
