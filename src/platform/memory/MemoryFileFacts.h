#pragma once
// The in-memory answer about program files: a file exists as the in-memory file system holds
// it, and its signature, size and version information are what the test said; a certificate
// table its bytes name is read as the real inspector reads it.
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/FileFacts.h"
#include "platform/memory/MemoryFileSystem.h"

namespace korvalis::platform::memory {

struct InspectedFile {
  Signature signature = Signature::None;  // as a check of the whole file would find it
  std::string signer, company, product;
  std::uint64_t size = 0;
  bool revocationChecked = false;  // for a valid signature
};

class MemoryFileInspector : public FileInspector {
 public:
  explicit MemoryFileInspector(MemoryFileSystem& files) : files_(files) {}

  FileFacts Inspect(const std::string& path) override;
  bool IsRemote(const std::string& path) override;

  // Describes a file of the in-memory file system; one never described is unsigned and
  // names no company or product.
  void Describe(const std::string& path, InspectedFile file);
  // The paths asked about, network paths included, in order.
  std::vector<std::string> inspected;
  // Drive letters (upper case) mapped to a share.
  std::string remoteDrives;

  // From now on an inspection of the path waits until ReleaseBlockedReads, as a read of a pipe,
  // a device or a file under an oplock can; nothing cancels that wait. Safe from any thread.
  void BlockReadsOf(const std::string& path);
  void ReleaseBlockedReads();
  // Whether an inspection is waiting for the release now.
  bool ReadBlocked();
  // Waits until an inspection is blocked, or until none is, at most the milliseconds given;
  // whether it came to that.
  bool WaitUntilBlocked(bool blocked, int milliseconds);

 private:
  FileFacts Facts(const std::string& path);
  void WaitIfBlocked(const std::string& path);

  MemoryFileSystem& files_;
  std::mutex describedMutex_;                        // signatures are read on threads of their own
  std::map<std::string, InspectedFile> described_;  // by folded absolute path; guarded by describedMutex_
  std::mutex blockMutex_;
  std::condition_variable blockChanged_;
  std::set<std::string> blockedPaths_;  // by folded absolute path; guarded by blockMutex_
  int blockedNow_ = 0;                  // guarded by blockMutex_
};

}  // namespace korvalis::platform::memory
