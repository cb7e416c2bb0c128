#pragma once
// An in-memory registry: keys with typed values kept as raw bytes, case-insensitive names,
// per-key rights, and a hook through which a test makes any operation fail or races it.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace korvalis::platform::memory {

struct RegistryOperation {
  enum class Kind {
    Open, Create, QueryInfo, EnumValueName, EnumValue, QueryValueInfo, ReadValue, SetValue, DeleteValue, DeleteTree,
    EnumSubkey
  };
  Kind kind;
  RootKey root;
  std::string path;  // of the key, as opened
  std::string name;  // of the value, where there is one
  KeyAccess access = KeyAccess::Read;
};

struct StoredValue {
  std::string name;
  std::uint32_t type = kRegSz;
  std::vector<std::uint8_t> data;
};

class MemoryRegistry : public Registry {
 public:
  struct Rights {
    bool read = true;
    bool write = true;
  };
  // Runs before each operation; a non-zero result makes the operation fail with it. The hook
  // may change the registry through the methods below (never through a key handle).
  using Hook = std::function<Status(const RegistryOperation&)>;

  MemoryRegistry();
  ~MemoryRegistry() override;

  using Registry::CreateKey;
  using Registry::DeleteTree;
  using Registry::OpenKey;
  // The other view of a machine key under Software is the key below Software\Wow6432Node, and
  // of the user's CLSID (and a few more classes) the one below Software\Classes\Wow6432Node, as
  // the 64-bit system keeps it.
  OpenedKey OpenKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) override;
  OpenedKey CreateKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) override;
  bool HasOtherView() const override { return otherView; }
  bool SameInBothViews(RootKey root, const std::string& path) override;
  bool otherView = true;  // false: a 32-bit system
  // Keys under Software both views share (their paths, and everything below them).
  std::vector<std::string> sharedKeys;
  Status DeleteTree(RootKey root, const std::string& path, RegistryView view) override;

  // Direct access for tests; none of these runs the hook or checks rights.
  void Put(RootKey root, const std::string& path, const std::string& name, std::uint32_t type,
           std::vector<std::uint8_t> data);
  void PutString(RootKey root, const std::string& path, const std::string& name, const std::string& text,
                 std::uint32_t type = kRegSz);
  void PutDword(RootKey root, const std::string& path, const std::string& name, std::uint32_t value);
  void AddKey(RootKey root, const std::string& path);
  bool Remove(RootKey root, const std::string& path, const std::string& name);
  bool HasKey(RootKey root, const std::string& path) const;
  std::optional<StoredValue> Get(RootKey root, const std::string& path, const std::string& name) const;
  std::optional<std::string> GetString(RootKey root, const std::string& path, const std::string& name) const;
  std::vector<StoredValue> Values(RootKey root, const std::string& path) const;
  void SetRights(RootKey root, const std::string& path, Rights rights);
  void SetHook(Hook hook) { hook_ = std::move(hook); }
  // How many operations of each kind ran since construction.
  int Count(RegistryOperation::Kind kind) const;

  struct Node;

 private:
  friend class MemoryKey;
  Status RunHook(const RegistryOperation& operation);
  Node* Find(RootKey root, const std::string& path) const;
  Node* Make(RootKey root, const std::string& path);
  static bool Allows(const Node& node, KeyAccess access);

  std::map<RootKey, std::shared_ptr<Node>> roots_;
  Hook hook_;
  std::map<RegistryOperation::Kind, int> counts_;
};

}  // namespace korvalis::platform::memory
