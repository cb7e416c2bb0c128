#include "platform/memory/MemoryFileFacts.h"

#include <algorithm>
#include <chrono>

#include "platform/CertificateTable.h"
#include "text/StrMan.h"

namespace korvalis::platform::memory {

void MemoryFileInspector::Describe(const std::string& path, InspectedFile file) {
  const std::lock_guard<std::mutex> lock(describedMutex_);
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
  {
    const std::lock_guard<std::mutex> lock(describedMutex_);
    inspected.push_back(path);
  }
  if (path.empty()) return {};
  if (IsRemote(path)) return FileFacts{UntouchedLookup(path), Signature::NotChecked, "", "", "", false};
  // Read first, then held: once the wait ends the inspection touches nothing of this object.
  const FileFacts facts = Facts(path);
  WaitIfBlocked(path);
  return facts;
}

FileFacts MemoryFileInspector::Facts(const std::string& path) {
  FileFacts facts;
  // The long form names the same local file.
  const std::string local = path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
  std::vector<std::uint8_t> bytes;
  if (!files_.IsFile(local)) return facts;
  facts.lookup = FileLookup::Found;
  InspectedFile file;
  {
    const std::lock_guard<std::mutex> lock(describedMutex_);
    const auto found = described_.find(text::UpperAscii(files_.Absolute(local)));
    if (found != described_.end()) file = found->second;
  }
  if (file.size > kLargestFileChecked) {
    facts.signature = Signature::NotChecked;
  } else {
    facts.signature = file.signature;
    if (file.signature == Signature::Valid) {
      facts.signer = file.signer;
      facts.revocationChecked = file.revocationChecked;
    }
    files_.ReadFile(local, bytes);
    const CertificateTable table =
        ReadCertificateTable(bytes.size(), [&](std::uint64_t offset, std::size_t count) {
          const std::size_t from = static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes.size()));
          const std::size_t to = from + std::min(count, bytes.size() - from);
          return std::vector<std::uint8_t>(bytes.begin() + from, bytes.begin() + to);
        });
    // As the real check finds: a table that does not hold together, or one that holds no
    // signature the check can read, is a broken signature.
    if (table == CertificateTable::Corrupt || (table == CertificateTable::Present && facts.signature == Signature::None))
      facts.signature = Signature::NotValid;
  }
  facts.company = file.company;
  facts.product = file.product;
  return facts;
}

void MemoryFileInspector::BlockReadsOf(const std::string& path) {
  const std::lock_guard<std::mutex> lock(blockMutex_);
  blockedPaths_.insert(text::UpperAscii(files_.Absolute(path)));
}

void MemoryFileInspector::ReleaseBlockedReads() {
  {
    const std::lock_guard<std::mutex> lock(blockMutex_);
    blockedPaths_.clear();
  }
  blockChanged_.notify_all();
}

bool MemoryFileInspector::ReadBlocked() {
  const std::lock_guard<std::mutex> lock(blockMutex_);
  return blockedNow_ > 0;
}

bool MemoryFileInspector::WaitUntilBlocked(bool blocked, int milliseconds) {
  std::unique_lock<std::mutex> lock(blockMutex_);
  return blockChanged_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [&] { return (blockedNow_ > 0) == blocked; });
}

void MemoryFileInspector::WaitIfBlocked(const std::string& path) {
  const std::string key = text::UpperAscii(files_.Absolute(path));
  std::unique_lock<std::mutex> lock(blockMutex_);
  if (blockedPaths_.count(key) == 0) return;
  ++blockedNow_;
  blockChanged_.notify_all();
  blockChanged_.wait(lock, [&] { return blockedPaths_.count(key) == 0; });
  --blockedNow_;
  blockChanged_.notify_all();
}

}  // namespace korvalis::platform::memory
