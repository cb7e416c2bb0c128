#pragma once
// Files and folders as the system offers them: backslash paths, drive letters, a
// process-wide current folder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ChangeWatch.h"

namespace korvalis::platform {

struct FolderEntry {
  std::string name;
  std::uint32_t attributes = 0;
  bool IsFolder() const;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool SetCurrentFolder(const std::string& path) = 0;
  virtual std::string CurrentFolder() = 0;
  // True for an existing file, false for a folder or nothing.
  virtual bool IsFile(const std::string& path) = 0;
  // The entries matching a pattern such as C:\Folder\*.*, as the system enumerates them
  // (the "." and ".." entries included where the system gives them).
  virtual bool FindEntries(const std::string& pattern, std::vector<FolderEntry>& entries) = 0;
  virtual bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) = 0;
  // Creates the file or replaces it.
  virtual bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  // Adds the bytes at the end of the file, creating it when missing.
  virtual bool AppendFile(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Creates the folder and any missing parents.
  virtual bool CreateFolders(const std::string& path) = 0;
  // Moves a file; fails when the target exists.
  virtual bool MoveFileTo(const std::string& from, const std::string& to) = 0;
  // Replaces the file so that a crash at any moment leaves either the old or the new bytes
  // whole: a flushed temporary file beside it, then one atomic rename over it.
  virtual bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  // A notification of files added, removed, renamed or written in the folder; none when the
  // folder cannot be watched.
  virtual std::unique_ptr<ChangeWatch> WatchFolder(const std::string& path) = 0;
};

}  // namespace korvalis::platform
