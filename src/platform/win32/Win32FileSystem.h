#pragma once
#include "platform/FileSystem.h"

namespace korvalis::platform::win32 {

class Win32FileSystem : public FileSystem {
 public:
  bool SetCurrentFolder(const std::string& path) override;
  std::string CurrentFolder() override;
  bool IsFile(const std::string& path) override;
  bool FindEntries(const std::string& pattern, std::vector<FolderEntry>& entries) override;
  bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) override;
  DigestResult DigestFile(const std::string& path, std::size_t keepAtMost, FileDigest& digest) override;
  OwnFileResult ReadOwnFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) override;
  bool CanReplace(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  bool AppendFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  bool RemoveFile(const std::string& path) override;
  bool CreateFolders(const std::string& path) override;
  bool MakeAdministratorsFolder(const std::string& path) override;
  Status Move(const std::string& from, const std::string& to) override;
  bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  std::unique_ptr<ChangeWatch> WatchFolder(const std::string& path) override;
  std::unique_ptr<ChangeWatch> WatchSubfolders(const std::string& path) override;
};

}  // namespace korvalis::platform::win32
