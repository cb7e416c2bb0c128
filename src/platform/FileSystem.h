#pragma once
// Files and folders as the system offers them: backslash paths, drive letters, a
// process-wide current folder.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ChangeWatch.h"
#include "platform/SystemCodes.h"

namespace korvalis::platform {

struct FolderEntry {
  std::string name;
  std::uint32_t attributes = 0;
  bool IsFolder() const;
};

// A file read once from start to end, never held whole unless it is small.
struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;               // the 32 raw bytes of its SHA-256
  bool kept = false;                // bytes holds the whole file: it was no larger than asked
  std::vector<std::uint8_t> bytes;
};

enum class DigestResult {
  Read,
  Missing,     // nothing of that name (any more)
  NotRegular,  // a folder, pipe or device: not opened for reading, so never waited on
  Unreadable,  // there, but locked or without the right to read it
};

enum class OwnFileResult {
  Read,
  Missing,
  ReparsePoint,  // the name or a folder above it is a link, junction or other reparse point
  NotRegular,    // a folder, pipe or device
  TooLarge,
  Unreadable,
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
  // The file's size and SHA-256, computed while streaming it; its bytes too when it holds at
  // most keepAtMost of them.
  virtual DigestResult DigestFile(const std::string& path, std::size_t keepAtMost, FileDigest& digest) = 0;
  // A whole file a program of the user may have put there, as a process with more rights reads
  // it: never through a reparse point at its name or above it, shared for reading, writing and
  // deleting (another program's open handle neither blocks it nor is blocked), at most maxBytes,
  // and closed before it returns.
  virtual OwnFileResult ReadOwnFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) = 0;
  // Whether writing the path would change that name alone: true for nothing there or a
  // regular file no other name shares; false for a symbolic link or junction (looked at
  // itself, not followed), a file with further hard links, a folder, pipe or device.
  virtual bool CanReplace(const std::string& path) = 0;
  // Creates the file or replaces it.
  virtual bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  // Adds the bytes at the end of the file, creating it when missing.
  virtual bool AppendFile(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Creates the folder and any missing parents.
  virtual bool CreateFolders(const std::string& path) = 0;
  // Makes the folder (its parent must exist), or takes the one there, owned by the
  // administrators and open to them and SYSTEM alone, which what it holds inherits: a folder no
  // program of a user can write. False when it or a folder above it is a reparse point, or it
  // is no folder, or its access list cannot be set.
  virtual bool MakeAdministratorsFolder(const std::string& path) = 0;
  // Moves a file; fails when the target exists. The system's error when it fails:
  // kErrorAccessDenied where a folder refuses for lack of rights.
  virtual Status Move(const std::string& from, const std::string& to) = 0;
  bool MoveFileTo(const std::string& from, const std::string& to) { return Move(from, to) == kSuccess; }
  // Replaces the file so that a crash at any moment leaves either the old or the new bytes
  // whole: a flushed temporary file beside it, then one atomic rename over it. The temporary
  // file is always a new one and the rename replaces a link at the path itself, so nothing is
  // ever written through a link.
  virtual bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) = 0;
  // A notification of files added, removed, renamed or written in the folder; none when the
  // folder cannot be watched. Folders made or removed in it are no such change.
  virtual std::unique_ptr<ChangeWatch> WatchFolder(const std::string& path) = 0;
  // A notification of folders made, removed or renamed in the folder (files are no such change).
  virtual std::unique_ptr<ChangeWatch> WatchSubfolders(const std::string& path) = 0;
};

}  // namespace korvalis::platform
