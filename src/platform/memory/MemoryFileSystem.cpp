#include "platform/memory/MemoryFileSystem.h"

#include "platform/Sha256.h"
#include "platform/SystemCodes.h"
#include "text/StrMan.h"
#include "platform/memory/Wildcard.h"

namespace korvalis::platform::memory {

struct MemoryFileSystem::Node {
  std::string name;
  bool folder = false;
  std::uint32_t attributes = kAttrArchive;
  enum class Kind { Regular, Device, SymbolicLink } kind = Kind::Regular;  // of a file
  std::string linkTarget;                       // of a symbolic link, or of a junction (a folder)
  bool hardLinked = false;                      // another name shares the file
  bool administratorsOnly = false;              // of a folder: no user's program may write it
  std::vector<std::uint8_t> bytes;
  std::vector<std::unique_ptr<Node>> children;  // in creation order
  std::uint64_t generation = 0;                 // of a folder: counts the changes to its files
  std::uint64_t folderGeneration = 0;           // of a folder: counts its subfolders made or removed

  Node* Child(const std::string& childName) const {
    for (const auto& child : children)
      if (text::SameTextAscii(child->name, childName)) return child.get();
    return nullptr;
  }
};

namespace {

using Node = MemoryFileSystem::Node;

bool IsDriveRoot(const std::string& part) { return part.size() == 2 && part[1] == ':'; }

// A name with a wildcard in it opens nothing, as on the system.
bool NamesNothing(const std::string& path) { return path.find_first_of("?*") != std::string::npos; }

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() { AddFolder("C:\\"); }

MemoryFileSystem::~MemoryFileSystem() = default;

bool MemoryFileSystem::Allowed(FileOperation::Kind kind, const std::string& path) const {
  return !hook_ || hook_(FileOperation{kind, path});
}

std::string MemoryFileSystem::Absolute(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::string full;
  if (path.size() >= 2 && path[1] == ':') {
    full = path;
    // "C:name" is relative to the drive's current folder; this world keeps one per process.
    if (path.size() == 2 || (path[2] != '\\' && path[2] != '/')) {
      full = (text::UpperAscii(current_.substr(0, 2)) == text::UpperAscii(path.substr(0, 2)) ? current_ : path.substr(0, 2) + "\\") +
             "\\" + path.substr(2);
    }
  } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
    full = current_.substr(0, 2) + path;
  } else {
    full = current_ + "\\" + path;
  }
  std::vector<std::string> kept;
  const auto parts = Split(full);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (i == 0) {
      kept.push_back(text::UpperAscii(part));
    } else if (part.empty() || part == ".") {
      continue;
    } else if (part == "..") {
      if (kept.size() > 1) kept.pop_back();
    } else {
      kept.push_back(part);
    }
  }
  std::string result = kept[0] + "\\";
  for (std::size_t i = 1; i < kept.size(); ++i) result += (i > 1 ? "\\" : "") + kept[i];
  return result;
}

MemoryFileSystem::Node* MemoryFileSystem::Find(const std::string& path, int depth) const {
  // As the system does, a chain of junctions ends somewhere.
  constexpr int kMostJunctions = 8;
  const auto parts = Split(Absolute(path));
  const auto drive = drives_.find(parts[0]);
  if (drive == drives_.end() || !IsDriveRoot(parts[0]) || depth > kMostJunctions) return nullptr;
  Node* node = drive->second.get();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    if (!node->folder) return nullptr;
    node = node->Child(parts[i]);
    if (node && node->folder && !node->linkTarget.empty()) node = Find(node->linkTarget, depth + 1);
    if (!node) return nullptr;
  }
  return node;
}

bool MemoryFileSystem::ReparsePointOnPath(const std::string& path) const {
  const auto parts = Split(Absolute(path));
  const auto drive = drives_.find(parts[0]);
  if (drive == drives_.end()) return false;
  const Node* node = drive->second.get();
  for (std::size_t i = 1; i < parts.size() && node; ++i) {
    if (parts[i].empty()) continue;
    node = node->folder ? node->Child(parts[i]) : nullptr;
    if (node && (!node->linkTarget.empty() || node->kind == Node::Kind::SymbolicLink)) return true;
  }
  return false;
}

MemoryFileSystem::Node* MemoryFileSystem::MakeFolders(const std::string& absolutePath) {
  const auto parts = Split(absolutePath);
  auto& root = drives_[parts[0]];
  if (!root) {
    root = std::make_unique<Node>();
    root->name = parts[0];
    root->folder = true;
    root->attributes = kAttrDirectory;
  }
  Node* node = root.get();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) continue;
    Node* child = node->Child(parts[i]);
    if (!child) {
      auto made = std::make_unique<Node>();
      made->name = parts[i];
      made->folder = true;
      made->attributes = kAttrDirectory;
      child = made.get();
      node->children.push_back(std::move(made));
      ++node->folderGeneration;
    }
    if (!child->folder) return nullptr;
    node = child->linkTarget.empty() ? child : Find(child->linkTarget);
    if (!node) return nullptr;
  }
  return node;
}

bool MemoryFileSystem::SetCurrentFolder(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::SetCurrentFolder, path)) return false;
  if (path.empty()) return false;
  const Node* node = Find(path);
  if (!node || !node->folder) return false;
  current_ = Absolute(path);
  if (current_.size() > 3 && current_.back() == '\\') current_.pop_back();
  return true;
}

bool MemoryFileSystem::IsFile(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::IsFile, path)) return false;
  if (path.empty() || NamesNothing(path)) return false;
  const Node* node = Find(path);
  return node && !node->folder;
}

bool MemoryFileSystem::FindEntries(const std::string& pattern, std::vector<FolderEntry>& entries) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::FindEntries, pattern)) return false;
  const auto cut = pattern.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? "." : pattern.substr(0, cut + 1);
  const std::string mask = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
  const Node* node = Find(folder);
  if (!node || !node->folder) return false;
  bool any = false;
  const bool isRoot = Absolute(folder).size() <= 3;
  if (!isRoot) {
    for (const char* dots : {".", ".."}) {
      if (MatchesWildcard(mask, dots)) {
        entries.push_back(FolderEntry{dots, kAttrDirectory});
        any = true;
      }
    }
  }
  for (const auto& child : node->children) {
    if (MatchesWildcard(mask, child->name)) {
      entries.push_back(FolderEntry{child->name, child->attributes});
      any = true;
    }
  }
  return any;
}

bool MemoryFileSystem::ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::Read, path)) return false;
  const Node* node = Find(path);
  if (!node || node->folder) return false;
  bytes = node->bytes;
  return true;
}

DigestResult MemoryFileSystem::DigestFile(const std::string& path, std::size_t keepAtMost, FileDigest& digest) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (NamesNothing(path)) return DigestResult::Unreadable;
  const Node* node = Find(path);
  if (node && !node->folder && node->kind == Node::Kind::SymbolicLink) node = Find(node->linkTarget);
  if (!node) return DigestResult::Missing;
  if (node->folder || node->kind != Node::Kind::Regular) return DigestResult::NotRegular;
  if (!Allowed(FileOperation::Kind::Digest, path)) return DigestResult::Unreadable;
  digest.size = node->bytes.size();
  digest.sha256 = Sha256Of(node->bytes);
  digest.kept = node->bytes.size() <= keepAtMost;
  digest.bytes = digest.kept ? node->bytes : std::vector<std::uint8_t>();
  return DigestResult::Read;
}

OwnFileResult MemoryFileSystem::ReadOwnFile(const std::string& path, std::size_t maxBytes,
                                           std::vector<std::uint8_t>& bytes) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (NamesNothing(path)) return OwnFileResult::Unreadable;
  if (ReparsePointOnPath(path)) return OwnFileResult::ReparsePoint;
  const Node* node = Find(path);
  if (!node) return OwnFileResult::Missing;
  if (node->folder || node->kind != Node::Kind::Regular) return OwnFileResult::NotRegular;
  if (!Allowed(FileOperation::Kind::Read, path)) return OwnFileResult::Unreadable;
  if (node->bytes.size() > maxBytes) return OwnFileResult::TooLarge;
  bytes = node->bytes;
  return OwnFileResult::Read;
}

bool MemoryFileSystem::CanReplace(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Node* node = Find(path);
  return !node || (!node->folder && node->kind == Node::Kind::Regular && !node->hardLinked);
}

bool MemoryFileSystem::WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Allowed(FileOperation::Kind::Write, path) && Put(path, bytes, false);
}

bool MemoryFileSystem::AppendFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Allowed(FileOperation::Kind::Write, path) && Put(path, bytes, true);
}

bool MemoryFileSystem::Put(const std::string& path, const std::vector<std::uint8_t>& bytes, bool append) {
  const std::string full = Absolute(path);
  const auto cut = full.find_last_of('\\');
  const std::string name = full.substr(cut + 1);
  if (name.empty()) return false;
  Node* parent = Find(full.substr(0, cut + 1));
  if (!parent || !parent->folder) return false;
  Node* node = parent->Child(name);
  if (node && !node->folder && node->kind == Node::Kind::SymbolicLink) return WriteFile(node->linkTarget, bytes);
  if (node && (node->folder || node->kind == Node::Kind::Device)) return false;
  if (!node) {
    auto made = std::make_unique<Node>();
    made->name = name;
    node = made.get();
    parent->children.push_back(std::move(made));
  }
  if (!append) node->bytes.clear();
  node->bytes.insert(node->bytes.end(), bytes.begin(), bytes.end());
  Changed(parent);
  return true;
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::Delete, path)) return false;
  const std::string full = Absolute(path);
  const auto cut = full.find_last_of('\\');
  Node* parent = Find(full.substr(0, cut + 1));
  if (!parent || !EraseFile(*parent, full.substr(cut + 1))) return false;
  Changed(parent);
  return true;
}

bool MemoryFileSystem::EraseFile(Node& folder, const std::string& name) {
  auto& children = folder.children;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (text::SameTextAscii((*it)->name, name) && !(*it)->folder) {
      children.erase(it);
      return true;
    }
  }
  return false;
}

void MemoryFileSystem::Changed(Node* folder) { ++folder->generation; }

MemoryFileSystem::Node* MemoryFileSystem::ParentOf(const std::string& path, std::string& name) const {
  const std::string full = Absolute(path);
  const auto cut = full.find_last_of('\\');
  name = full.substr(cut + 1);
  Node* parent = Find(full.substr(0, cut + 1));
  return parent && parent->folder && !name.empty() ? parent : nullptr;
}

Status MemoryFileSystem::Move(const std::string& from, const std::string& to) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::Move, from)) return kErrorAccessDenied;
  if (NamesNothing(from)) return kErrorInvalidName;
  std::string fromName, toName;
  Node* source = ParentOf(from, fromName);
  Node* target = ParentOf(to, toName);
  if (!source || !target) return kErrorPathNotFound;
  if (target->Child(toName)) return kErrorAlreadyExists;
  auto& children = source->children;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (!text::SameTextAscii((*it)->name, fromName) || (*it)->folder) continue;
    if (movesLeaveTheSource_) {
      AddFile(to, (*it)->bytes);
      return kSuccess;
    }
    std::unique_ptr<Node> moved = std::move(*it);
    children.erase(it);
    moved->name = toName;
    target->children.push_back(std::move(moved));
    Changed(source);
    Changed(target);
    return kSuccess;
  }
  return kErrorFileNotFound;
}

bool MemoryFileSystem::WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string temporary = path + ".tmp";
  // As on the system: a name left over there is removed first, never written through.
  std::string temporaryName;
  if (Node* folder = ParentOf(temporary, temporaryName)) EraseFile(*folder, temporaryName);
  if (!WriteFile(temporary, bytes) || !Allowed(FileOperation::Kind::Move, temporary)) return false;
  std::string name;
  Node* parent = ParentOf(path, name);
  if (Node* old = parent ? parent->Child(name) : nullptr) {
    if (old->folder) return false;
    // The rename gives the name a new file: a link there is replaced, not followed.
    old->bytes = bytes;
    old->kind = Node::Kind::Regular;
    old->linkTarget.clear();
    old->hardLinked = false;
  } else {
    AddFile(path, bytes);
  }
  EraseFile(*parent, temporaryName);
  Changed(parent);
  return true;
}

namespace {
// Counts one kind of change of a folder, as the real notification filters them.
class MemoryFolderWatch : public ChangeWatch {
 public:
  explicit MemoryFolderWatch(const std::uint64_t& counter) : counter_(counter), armedAt_(counter) {}
  bool Signaled() override { return counter_ != armedAt_; }

 private:
  const std::uint64_t& counter_;  // folders are never removed, so it outlives the watch
  std::uint64_t armedAt_;
};
}  // namespace

std::unique_ptr<ChangeWatch> MemoryFileSystem::WatchFolder(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::Watch, path)) return nullptr;
  const Node* folder = Find(path);
  if (!folder || !folder->folder) return nullptr;
  return std::make_unique<MemoryFolderWatch>(folder->generation);
}

std::unique_ptr<ChangeWatch> MemoryFileSystem::WatchSubfolders(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::Watch, path)) return nullptr;
  const Node* folder = Find(path);
  if (!folder || !folder->folder) return nullptr;
  return std::make_unique<MemoryFolderWatch>(folder->folderGeneration);
}

bool MemoryFileSystem::CreateFolders(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!Allowed(FileOperation::Kind::CreateFolders, path)) return false;
  return MakeFolders(Absolute(path)) != nullptr;
}

bool MemoryFileSystem::MakeAdministratorsFolder(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::string name;
  Node* parent = ParentOf(path, name);
  if (!parent || ReparsePointOnPath(path) || !Allowed(FileOperation::Kind::CreateFolders, path)) return false;
  Node* folder = MakeFolders(Absolute(path));
  if (!folder) return false;
  folder->administratorsOnly = true;
  return true;
}

bool MemoryFileSystem::AdministratorsOnly(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Node* node = Find(path);
  return node && node->folder && node->administratorsOnly;
}

void MemoryFileSystem::AddFolder(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  MakeFolders(Absolute(path));
}

void MemoryFileSystem::AddFile(const std::string& path, std::vector<std::uint8_t> bytes) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string full = Absolute(path);
  const auto cut = full.find_last_of('\\');
  Node* parent = MakeFolders(full.substr(0, cut));
  if (!parent) return;
  Node* node = parent->Child(full.substr(cut + 1));
  if (!node) {
    auto made = std::make_unique<Node>();
    made->name = full.substr(cut + 1);
    node = made.get();
    parent->children.push_back(std::move(made));
  }
  node->bytes = std::move(bytes);
  Changed(parent);
}

void MemoryFileSystem::AddTextFile(const std::string& path, const std::string& text) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  AddFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void MemoryFileSystem::AddDevice(const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  AddFile(path);
  Find(path)->kind = Node::Kind::Device;
}

void MemoryFileSystem::AddSymbolicLink(const std::string& path, const std::string& target) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  AddFile(path);
  Node* link = Find(path);
  link->kind = Node::Kind::SymbolicLink;
  link->linkTarget = Absolute(target);
}

void MemoryFileSystem::AddHardLink(const std::string& existing, const std::string& path) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  Node* original = Find(existing);
  if (!original || original->folder) return;
  AddFile(path, original->bytes);
  original->hardLinked = true;
  Find(path)->hardLinked = true;
}

void MemoryFileSystem::AddJunction(const std::string& path, const std::string& target) {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  AddFolder(target);
  Node* junction = MakeFolders(Absolute(path));
  if (junction) junction->linkTarget = Absolute(target);
  if (junction) junction->attributes = kAttrDirectory | kAttrReparsePoint;
}

bool MemoryFileSystem::Exists(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  return Find(path) != nullptr;
}

std::optional<std::vector<std::uint8_t>> MemoryFileSystem::Contents(const std::string& path) const {
  const std::lock_guard<std::recursive_mutex> lock(mutex_);
  const Node* node = Find(path);
  if (!node || node->folder) return std::nullopt;
  return node->bytes;
}

}  // namespace korvalis::platform::memory
