#include "catalogue/TaskCache.h"

#include <cctype>
#include <map>

#include "platform/RegistryValues.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

using platform::KeyAccess;
using platform::RegistryView;
using platform::RootKey;

constexpr const char* kCache = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache";
constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxKeys = 100000;  // a planted flood of keys is read no further

struct Cached {
  std::string path;
  bool hasSd = false;
};

std::string Text(platform::RegistryKey& key, const std::string& name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (platform::ReadValueBytes(key, name, type, bytes) != platform::kSuccess || !platform::IsStringType(type))
    return std::string();
  return platform::TextOfBytes(bytes);
}

bool IsId(const std::string& id) {
  if (id.size() != 38 || id.front() != '{' || id.back() != '}') return false;
  for (std::size_t i = 1; i + 1 < id.size(); ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    const char c = id[i];
    if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

std::vector<std::string> Subkeys(platform::RegistryKey& key) {
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t i = 0; key.EnumSubkeyName(i, name) == platform::kSuccess; ++i) names.push_back(name);
  return names;
}

// The Tree's task entries by their Id (upper case): each key below it that names one.
void ReadTree(platform::Registry& registry, const std::string& key, const std::string& path, int depth,
              std::map<std::string, Cached>& byId) {
  platform::OpenedKey opened = registry.OpenKey(RootKey::LocalMachine, key, KeyAccess::Read, RegistryView::Native);
  if (!opened) return;
  const std::string id = text::UpperAscii(Text(*opened.key, "Id"));
  if (!path.empty() && IsId(id)) {
    std::uint32_t type = 0, size = 0;
    byId[id] = Cached{path, opened.key->QueryValueInfo("SD", type, size) == platform::kSuccess};
  }
  if (depth >= kMaxDepth) return;
  for (const std::string& name : Subkeys(*opened.key)) {
    if (byId.size() >= kMaxKeys) return;
    ReadTree(registry, key + "\\" + name, path + "\\" + name, depth + 1, byId);
  }
}

// A refusal stands over everything; else done when any part was there.
platform::Status Combined(platform::Status a, platform::Status b) {
  const auto failed = [](platform::Status s) { return s != platform::kSuccess && s != platform::kErrorFileNotFound; };
  if (failed(a)) return a;
  if (failed(b)) return b;
  return a == platform::kSuccess || b == platform::kSuccess ? platform::kSuccess : platform::kErrorFileNotFound;
}

}  // namespace

std::vector<std::string> TasksHiddenInCache(platform::Registry& registry) {
  std::map<std::string, Cached> tree;
  ReadTree(registry, std::string(kCache) + "\\Tree", std::string(), 0, tree);
  std::vector<std::string> hidden;
  for (const auto& [id, cached] : tree)
    if (!cached.hasSd) hidden.push_back(cached.path);
  const std::string tasks = std::string(kCache) + "\\Tasks";
  platform::OpenedKey opened = registry.OpenKey(RootKey::LocalMachine, tasks, KeyAccess::Read, RegistryView::Native);
  if (!opened) return hidden;
  for (const std::string& id : Subkeys(*opened.key)) {
    if (!IsId(id) || tree.count(text::UpperAscii(id))) continue;
    platform::OpenedKey task =
        registry.OpenKey(RootKey::LocalMachine, tasks + "\\" + id, KeyAccess::Read, RegistryView::Native);
    const std::string path = task ? Text(*task.key, "Path") : std::string();
    if (path.size() > 1 && path[0] == '\\') hidden.push_back(path);
  }
  return hidden;
}

platform::Status DeleteFromTaskCache(platform::Registry& registry, const std::string& path) {
  if (path.size() < 2 || path[0] != '\\' || path.find("\\\\") != std::string::npos || path.back() == '\\')
    return platform::kErrorFileNotFound;
  // A task the API still manages, by its descriptor, is left whole: only a planted entry of
  // Tasks naming its path goes.
  std::string keptId;
  std::vector<std::string> ids;
  const std::string tree = std::string(kCache) + "\\Tree" + path;
  platform::Status status = platform::kErrorFileNotFound;
  if (platform::OpenedKey key = registry.OpenKey(RootKey::LocalMachine, tree, KeyAccess::Read, RegistryView::Native)) {
    std::uint32_t type = 0, size = 0;
    const std::string id = text::UpperAscii(Text(*key.key, "Id"));
    if (key.key->QueryValueInfo("SD", type, size) == platform::kSuccess) {
      keptId = id;
    } else {
      ids.push_back(id);
      status = registry.DeleteTree(RootKey::LocalMachine, tree, RegistryView::Native);
    }
  }
  const std::string tasks = std::string(kCache) + "\\Tasks";
  if (platform::OpenedKey key = registry.OpenKey(RootKey::LocalMachine, tasks, KeyAccess::Read, RegistryView::Native))
    for (const std::string& id : Subkeys(*key.key)) {
      platform::OpenedKey task =
          registry.OpenKey(RootKey::LocalMachine, tasks + "\\" + id, KeyAccess::Read, RegistryView::Native);
      if (task && text::UpperAscii(id) != keptId && text::SameTextAscii(Text(*task.key, "Path"), path)) ids.push_back(id);
    }
  for (const std::string& id : ids) {
    if (!IsId(id)) continue;
    for (const char* kind : {"Tasks", "Boot", "Logon", "Plain", "Maintenance"})
      status = Combined(status, registry.DeleteTree(RootKey::LocalMachine, std::string(kCache) + "\\" + kind + "\\" + id,
                                                    RegistryView::Native));
  }
  return status;
}

}  // namespace korvalis::catalogue
