#include "platform/memory/MemoryRegistry.h"

#include <algorithm>

#include "platform/RegistryValues.h"
#include "text/StrMan.h"

namespace korvalis::platform::memory {

struct MemoryRegistry::Node {
  std::string name;
  std::vector<StoredValue> values;  // in creation order, as Windows enumerates them
  std::map<std::string, std::shared_ptr<Node>> children;  // by folded name
  Rights rights;
  bool deleted = false;
  std::uint64_t generation = 0;  // bumped by every change of a value
  std::uint64_t subkeys = 0;     // bumped by every subkey made or deleted

  StoredValue* FindValue(const std::string& valueName) {
    for (auto& value : values)
      if (text::SameTextAscii(value.name, valueName)) return &value;
    return nullptr;
  }
  void MarkDeleted() {
    deleted = true;
    for (auto& child : children) child.second->MarkDeleted();
  }
};

namespace {

using Node = MemoryRegistry::Node;

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// Every key of a subtree with its change count, to tell whether anything below changed.
using TreeStamp = std::vector<std::pair<const Node*, std::uint64_t>>;
void StampOf(const Node& node, TreeStamp& stamp) {
  stamp.emplace_back(&node, node.generation);
  for (const auto& child : node.children) StampOf(*child.second, stamp);
}

class MemoryWatch : public ChangeWatch {
 public:
  MemoryWatch(std::shared_ptr<Node> node, bool subtree)
      : node_(std::move(node)), generation_(node_->generation), subtree_(subtree) {
    if (subtree_) StampOf(*node_, stamp_);
  }
  // A key deleted does not signal its own watch: under Wine an empty key's does not either.
  bool Signaled() override {
    if (node_->generation != generation_) return true;
    if (!subtree_) return false;
    TreeStamp now;
    StampOf(*node_, now);
    return now != stamp_;
  }

 private:
  std::shared_ptr<Node> node_;
  std::uint64_t generation_;
  bool subtree_;
  TreeStamp stamp_;  // a key made or deleted below also changes its parent's count
};

class MemorySubkeyWatch : public ChangeWatch {
 public:
  explicit MemorySubkeyWatch(std::shared_ptr<Node> node) : node_(std::move(node)), subkeys_(node_->subkeys) {}
  bool Signaled() override { return node_->subkeys != subkeys_; }

 private:
  std::shared_ptr<Node> node_;
  std::uint64_t subkeys_;
};

bool Below(const std::string& folded, const std::string& prefix) {
  return folded == prefix || folded.rfind(prefix + "\\", 0) == 0;
}

std::string ViewPath(RootKey root, const std::string& path, RegistryView view, bool hasOtherView,
                     const std::vector<std::string>& shared) {
  if (view != RegistryView::Other || !hasOtherView) return path;
  const std::string folded = text::UpperAscii(path);
  if (root == RootKey::CurrentUser) {
    // Of the user's keys only a few of the classes have a view of their own.
    for (const char* redirected : {"CLSID", "DIRECTSHOW", "INTERFACE", "MEDIA TYPE", "MEDIAFOUNDATION"})
      if (Below(folded, std::string("SOFTWARE\\CLASSES\\") + redirected))
        return "Software\\Classes\\Wow6432Node" + path.substr(16);
    return path;
  }
  if (root != RootKey::LocalMachine) return path;
  if (folded != "SOFTWARE" && folded.rfind("SOFTWARE\\", 0) != 0) return path;
  if (folded.rfind("SOFTWARE\\WOW6432NODE", 0) == 0) return path;
  for (const std::string& key : shared)
    if (Below(folded, text::UpperAscii(key))) return path;
  return "Software\\Wow6432Node" + path.substr(8);
}

}  // namespace

class MemoryKey : public RegistryKey {
 public:
  MemoryKey(MemoryRegistry& owner, std::shared_ptr<Node> node, RootKey root, std::string path, KeyAccess access)
      : owner_(owner), node_(std::move(node)), root_(root), path_(std::move(path)), access_(access) {}

  Status QueryInfo(KeyInfo& info) override {
    if (Status hooked = Hook(RegistryOperation::Kind::QueryInfo, {})) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanRead()) return kErrorAccessDenied;
    info = KeyInfo{};
    info.valueCount = static_cast<std::uint32_t>(node_->values.size());
    for (const auto& value : node_->values) {
      info.maxValueNameChars = std::max<std::uint32_t>(info.maxValueNameChars, value.name.size());
      info.maxValueDataBytes = std::max<std::uint32_t>(info.maxValueDataBytes, value.data.size());
    }
    return kSuccess;
  }

  Status EnumValueName(std::uint32_t index, std::uint32_t bufferChars, std::string& name) override {
    if (Status hooked = Hook(RegistryOperation::Kind::EnumValueName, {})) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanRead()) return kErrorAccessDenied;
    if (index >= node_->values.size()) return kErrorNoMoreItems;
    const std::string& found = node_->values[index].name;
    if (found.size() + 1 > bufferChars) return kErrorMoreData;
    name = found;
    return kSuccess;
  }

  Status EnumValue(std::uint32_t index, std::uint32_t nameChars, std::string& name, std::uint32_t& type,
                   std::vector<std::uint8_t>& data, std::uint32_t& size) override {
    if (Status hooked = Hook(RegistryOperation::Kind::EnumValue, {})) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanRead()) return kErrorAccessDenied;
    if (index >= node_->values.size()) return kErrorNoMoreItems;
    const StoredValue& value = node_->values[index];
    if (value.name.size() + 1 > nameChars || value.data.size() > data.size()) {
      size = static_cast<std::uint32_t>(value.data.size());
      return kErrorMoreData;
    }
    name = value.name;
    type = value.type;
    size = static_cast<std::uint32_t>(value.data.size());
    std::copy(value.data.begin(), value.data.end(), data.begin());
    return kSuccess;
  }

  Status QueryValueInfo(const std::string& name, std::uint32_t& type, std::uint32_t& size) override {
    if (Status hooked = Hook(RegistryOperation::Kind::QueryValueInfo, name)) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanRead()) return kErrorAccessDenied;
    const StoredValue* value = node_->FindValue(name);
    if (!value) return kErrorFileNotFound;
    type = value->type;
    size = static_cast<std::uint32_t>(value->data.size());
    return kSuccess;
  }

  Status ReadValue(const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& buffer,
                   std::uint32_t& size) override {
    if (Status hooked = Hook(RegistryOperation::Kind::ReadValue, name)) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanRead()) return kErrorAccessDenied;
    const StoredValue* value = node_->FindValue(name);
    if (!value) return kErrorFileNotFound;
    type = value->type;
    size = static_cast<std::uint32_t>(value->data.size());
    if (value->data.size() > buffer.size()) return kErrorMoreData;
    std::copy(value->data.begin(), value->data.end(), buffer.begin());
    return kSuccess;
  }

  Status SetValue(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) override {
    if (Status hooked = Hook(RegistryOperation::Kind::SetValue, name)) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanWrite()) return kErrorAccessDenied;
    if (name.size() > kMaxValueNameChars) return kErrorInvalidParameter;
    if (StoredValue* value = node_->FindValue(name)) {
      value->type = type;
      value->data = data;
    } else {
      node_->values.push_back(StoredValue{name, type, data});
    }
    ++node_->generation;
    return kSuccess;
  }

  Status DeleteValue(const std::string& name) override {
    if (Status hooked = Hook(RegistryOperation::Kind::DeleteValue, name)) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanWrite()) return kErrorAccessDenied;
    auto& values = node_->values;
    const auto it =
        std::find_if(values.begin(), values.end(), [&](const StoredValue& v) { return text::SameTextAscii(v.name, name); });
    if (it == values.end()) return kErrorFileNotFound;
    values.erase(it);
    ++node_->generation;
    return kSuccess;
  }

  Status EnumSubkeyName(std::uint32_t index, std::string& name) override {
    if (Status hooked = Hook(RegistryOperation::Kind::EnumSubkey, {})) return hooked;
    if (node_->deleted) return kErrorKeyDeleted;
    if (!CanRead()) return kErrorAccessDenied;
    if (index >= node_->children.size()) return kErrorNoMoreItems;
    name = std::next(node_->children.begin(), index)->second->name;
    return kSuccess;
  }

  Status Watch(std::unique_ptr<ChangeWatch>& watch, bool subtree) override {
    if (node_->deleted) return kErrorKeyDeleted;
    watch = std::make_unique<MemoryWatch>(node_, subtree);
    return kSuccess;
  }

  Status WatchSubkeys(std::unique_ptr<ChangeWatch>& watch) override {
    if (node_->deleted) return kErrorKeyDeleted;
    watch = std::make_unique<MemorySubkeyWatch>(node_);
    return kSuccess;
  }

 private:
  bool CanRead() const { return access_ != KeyAccess::Write; }
  bool CanWrite() const { return access_ != KeyAccess::Read; }
  Status Hook(RegistryOperation::Kind kind, const std::string& name) {
    return owner_.RunHook(RegistryOperation{kind, root_, path_, name, access_});
  }

  MemoryRegistry& owner_;
  std::shared_ptr<Node> node_;
  RootKey root_;
  std::string path_;
  KeyAccess access_;
};

MemoryRegistry::MemoryRegistry() {
  for (RootKey root : {RootKey::CurrentUser, RootKey::LocalMachine, RootKey::ClassesRoot, RootKey::Users,
                       RootKey::CurrentConfig})
    roots_[root] = std::make_shared<Node>();
}

MemoryRegistry::~MemoryRegistry() = default;

Status MemoryRegistry::RunHook(const RegistryOperation& operation) {
  ++counts_[operation.kind];
  return hook_ ? hook_(operation) : kSuccess;
}

int MemoryRegistry::Count(RegistryOperation::Kind kind) const {
  const auto it = counts_.find(kind);
  return it == counts_.end() ? 0 : it->second;
}

MemoryRegistry::Node* MemoryRegistry::Find(RootKey root, const std::string& path) const {
  Node* node = roots_.at(root).get();
  for (const auto& part : SplitPath(path)) {
    const auto it = node->children.find(text::UpperAscii(part));
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

MemoryRegistry::Node* MemoryRegistry::Make(RootKey root, const std::string& path) {
  Node* node = roots_.at(root).get();
  for (const auto& part : SplitPath(path)) {
    auto& child = node->children[text::UpperAscii(part)];
    if (!child) {
      child = std::make_shared<Node>();
      child->name = part;
      ++node->generation;  // a watch on the parent sees new subkeys
      ++node->subkeys;
    }
    node = child.get();
  }
  return node;
}

bool MemoryRegistry::Allows(const Node& node, KeyAccess access) {
  switch (access) {
    case KeyAccess::Read: return node.rights.read;
    case KeyAccess::Write: return node.rights.write;
    case KeyAccess::ReadWrite:
    case KeyAccess::All: return node.rights.read && node.rights.write;
  }
  return false;
}

namespace {
std::shared_ptr<Node> SharedOf(const std::map<RootKey, std::shared_ptr<Node>>& roots, RootKey root,
                               const std::string& path) {
  std::shared_ptr<Node> node = roots.at(root);
  for (const auto& part : SplitPath(path)) {
    const auto it = node->children.find(text::UpperAscii(part));
    if (it == node->children.end()) return nullptr;
    node = it->second;
  }
  return node;
}
}  // namespace

bool MemoryRegistry::SameInBothViews(RootKey root, const std::string& path) {
  return otherView && text::UpperAscii(ViewPath(root, path, RegistryView::Other, otherView, sharedKeys)) == text::UpperAscii(path);
}

OpenedKey MemoryRegistry::OpenKey(RootKey root, const std::string& viewPath, KeyAccess access, RegistryView view) {
  const std::string path = ViewPath(root, viewPath, view, otherView, sharedKeys);
  OpenedKey opened;
  if ((opened.status = RunHook(RegistryOperation{RegistryOperation::Kind::Open, root, path, {}, access}))) return opened;
  const auto node = SharedOf(roots_, root, path);
  if (!node) {
    opened.status = kErrorFileNotFound;
    return opened;
  }
  if (!Allows(*node, access)) {
    opened.status = kErrorAccessDenied;
    return opened;
  }
  opened.status = kSuccess;
  opened.key = std::make_unique<MemoryKey>(*this, node, root, path, access);
  return opened;
}

OpenedKey MemoryRegistry::CreateKey(RootKey root, const std::string& viewPath, KeyAccess access, RegistryView view) {
  const std::string path = ViewPath(root, viewPath, view, otherView, sharedKeys);
  OpenedKey opened;
  if ((opened.status = RunHook(RegistryOperation{RegistryOperation::Kind::Create, root, path, {}, access})))
    return opened;
  if (!Find(root, path)) {
    // A missing key is created below its deepest existing ancestor, which must allow writing.
    const auto parts = SplitPath(path);
    std::string existing;
    for (const auto& part : parts) {
      const std::string next = existing.empty() ? part : existing + "\\" + part;
      if (!Find(root, next)) break;
      existing = next;
    }
    if (!Find(root, existing)->rights.write) {
      opened.status = kErrorAccessDenied;
      return opened;
    }
    Make(root, path);
  }
  const auto node = SharedOf(roots_, root, path);
  if (!Allows(*node, access)) {
    opened.status = kErrorAccessDenied;
    return opened;
  }
  opened.status = kSuccess;
  opened.key = std::make_unique<MemoryKey>(*this, node, root, path, access);
  return opened;
}

Status MemoryRegistry::DeleteTree(RootKey root, const std::string& viewPath, RegistryView view) {
  const std::string path = ViewPath(root, viewPath, view, otherView, sharedKeys);
  if (Status hooked = RunHook(RegistryOperation{RegistryOperation::Kind::DeleteTree, root, path, {}, KeyAccess::All}))
    return hooked;
  const auto parts = SplitPath(path);
  if (parts.empty()) return kErrorAccessDenied;
  std::string parentPath;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath += (i ? "\\" : "") + parts[i];
  Node* parent = Find(root, parentPath);
  if (!parent) return kErrorFileNotFound;
  const auto it = parent->children.find(text::UpperAscii(parts.back()));
  if (it == parent->children.end()) return kErrorFileNotFound;
  if (!parent->rights.write || !it->second->rights.write) return kErrorAccessDenied;
  it->second->MarkDeleted();
  parent->children.erase(it);
  ++parent->generation;
  ++parent->subkeys;
  return kSuccess;
}

void MemoryRegistry::Put(RootKey root, const std::string& path, const std::string& name, std::uint32_t type,
                         std::vector<std::uint8_t> data) {
  Node* node = Make(root, path);
  if (StoredValue* value = node->FindValue(name)) {
    value->type = type;
    value->data = std::move(data);
  } else {
    node->values.push_back(StoredValue{name, type, std::move(data)});
  }
  ++node->generation;
}

void MemoryRegistry::PutString(RootKey root, const std::string& path, const std::string& name,
                               const std::string& text, std::uint32_t type) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  Put(root, path, name, type, std::move(data));
}

void MemoryRegistry::PutDword(RootKey root, const std::string& path, const std::string& name, std::uint32_t value) {
  Put(root, path, name, kRegDword, DwordBytes(value));
}

void MemoryRegistry::AddKey(RootKey root, const std::string& path) { Make(root, path); }

bool MemoryRegistry::Remove(RootKey root, const std::string& path, const std::string& name) {
  Node* node = Find(root, path);
  if (!node) return false;
  auto& values = node->values;
  const auto it =
      std::find_if(values.begin(), values.end(), [&](const StoredValue& v) { return text::SameTextAscii(v.name, name); });
  if (it == values.end()) return false;
  values.erase(it);
  ++node->generation;
  return true;
}

bool MemoryRegistry::HasKey(RootKey root, const std::string& path) const { return Find(root, path) != nullptr; }

std::optional<StoredValue> MemoryRegistry::Get(RootKey root, const std::string& path, const std::string& name) const {
  Node* node = Find(root, path);
  if (!node) return std::nullopt;
  const StoredValue* value = node->FindValue(name);
  if (!value) return std::nullopt;
  return *value;
}

std::optional<std::string> MemoryRegistry::GetString(RootKey root, const std::string& path,
                                                     const std::string& name) const {
  const auto value = Get(root, path, name);
  if (!value) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

std::vector<StoredValue> MemoryRegistry::Values(RootKey root, const std::string& path) const {
  Node* node = Find(root, path);
  return node ? node->values : std::vector<StoredValue>{};
}

void MemoryRegistry::SetRights(RootKey root, const std::string& path, Rights rights) { Make(root, path)->rights = rights; }

}  // namespace korvalis::platform::memory
