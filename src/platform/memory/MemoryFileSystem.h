#pragma once
// An in-memory file system: drive letters, backslash paths, case-insensitive names that
// keep their case, a current folder, attributes, and a hook to make operations fail.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace korvalis::platform::memory {

struct FileOperation {
  enum class Kind { SetCurrentFolder, IsFile, FindEntries, Read, Digest, Write, Delete, CreateFolders, Move, Watch };
  Kind kind;
  std::string path;  // as passed in
};

class MemoryFileSystem : public FileSystem {
 public:
  // Runs before each operation; returning false makes it fail.
  using Hook = std::function<bool(const FileOperation&)>;

  MemoryFileSystem();
  ~MemoryFileSystem() override;

  bool SetCurrentFolder(const std::string& path) override;
  std::string CurrentFolder() override { return current_; }
  bool IsFile(const std::string& path) override;
  bool FindEntries(const std::string& pattern, std::vector<FolderEntry>& entries) override;
  bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) override;
  // A refused Digest is a file that is there but cannot be read (locked, no rights).
  DigestResult DigestFile(const std::string& path, std::size_t keepAtMost, FileDigest& digest) override;
  // A refused Read is a file that is there but cannot be read.
  OwnFileResult ReadOwnFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) override;
  bool CanReplace(const std::string& path) override;
  bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  bool AppendFile(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  bool RemoveFile(const std::string& path) override;
  bool CreateFolders(const std::string& path) override;
  // A refused CreateFolders is an access list that cannot be set.
  bool MakeAdministratorsFolder(const std::string& path) override;
  // A move the hook refuses is refused as for lack of rights.
  Status Move(const std::string& from, const std::string& to) override;
  // The temporary file is written, then the hook is asked for the rename (Move): refusing it
  // is a crash between the two steps.
  bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) override;
  std::unique_ptr<ChangeWatch> WatchFolder(const std::string& path) override;
  std::unique_ptr<ChangeWatch> WatchSubfolders(const std::string& path) override;

  // Direct access for tests, without the hook.
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, std::vector<std::uint8_t> bytes = {});
  void AddTextFile(const std::string& path, const std::string& text);
  bool Exists(const std::string& path) const;
  bool AdministratorsOnly(const std::string& path) const;
  std::optional<std::vector<std::uint8_t>> Contents(const std::string& path) const;
  // Things a folder may hold besides plain files: a pipe or device, a symbolic link (reading
  // it reads its target, replacing it replaces the link), a second name of an existing file.
  void AddDevice(const std::string& path);
  void AddSymbolicLink(const std::string& path, const std::string& target);
  void AddHardLink(const std::string& existing, const std::string& path);
  // A folder's name that leads to another folder, as a junction does: what lies below it is
  // the target's.
  void AddJunction(const std::string& path, const std::string& target);
  // A move that copies and then fails to delete its source, as across volumes.
  void SetMovesLeaveTheSource(bool leave) { movesLeaveTheSource_ = leave; }
  void SetHook(Hook hook) { hook_ = std::move(hook); }

  // The absolute form of a path: relative to the current folder, "." and ".." resolved.
  std::string Absolute(const std::string& path) const;

  struct Node;

 private:
  bool Allowed(FileOperation::Kind kind, const std::string& path) const;
  bool Put(const std::string& path, const std::vector<std::uint8_t>& bytes, bool append);
  Node* Find(const std::string& path, int depth = 0) const;
  // Whether the path, or a folder above it, is a link or junction itself (looked at, not followed).
  bool ReparsePointOnPath(const std::string& path) const;
  Node* MakeFolders(const std::string& absolutePath);
  // The folder that holds the path, and the name in it.
  Node* ParentOf(const std::string& path, std::string& name) const;
  static void Changed(Node* folder);
  // Takes the file of that name out of the folder; false when there is none.
  static bool EraseFile(Node& folder, const std::string& name);

  std::map<std::string, std::unique_ptr<Node>> drives_;
  std::string current_ = "C:\\";
  Hook hook_;
  bool movesLeaveTheSource_ = false;
  // Signatures are read on threads of their own while the guard changes files.
  mutable std::recursive_mutex mutex_;
};

}  // namespace korvalis::platform::memory
