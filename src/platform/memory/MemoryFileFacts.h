#pragma once
// The in-memory answer about program files: a file exists as the in-memory file system holds
// it, and its signature, size and version information are what the test said.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/FileFacts.h"
#include "platform/memory/MemoryFileSystem.h"

namespace korvalis::platform::memory {

struct InspectedFile {
  Signature signature = Signature::None;  // as a check of the whole file would find it
  std::string signer, company, product;
  std::uint64_t size = 0;
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

 private:
  MemoryFileSystem& files_;
  std::map<std::string, InspectedFile> described_;  // by folded absolute path
};

}  // namespace korvalis::platform::memory
