#include "shell/PlacementStore.h"

#include "platform/Error.h"
#include "platform/RegistryValues.h"

namespace korvalis::shell {

namespace {

std::optional<platform::RootKey> RootKeyOf(TPlacementRegRoot root) {
  using platform::RootKey;
  switch (root) {
    case TPlacementRegRoot::prCurrentUser: return RootKey::CurrentUser;
    case TPlacementRegRoot::prLocalMachine: return RootKey::LocalMachine;
    case TPlacementRegRoot::prCurrentConfig: return RootKey::CurrentConfig;
    case TPlacementRegRoot::prClassesRoot: return RootKey::ClassesRoot;
    case TPlacementRegRoot::prUsers: return RootKey::Users;
    case TPlacementRegRoot::prDynData: break;
  }
  return std::nullopt;
}

}  // namespace

PlacementStore::PlacementStore(platform::Registry& registry, TPlacementRegRoot root, const std::string& keyPath,
                               std::string section, Purpose purpose)
    : section_(std::move(section)) {
  settings_.emplace(registry, platform::RootKey::CurrentUser, keyPath);
  if (root == TPlacementRegRoot::prCurrentUser) return;
  settings_.reset();
  const std::optional<platform::RootKey> other = RootKeyOf(root);
  if (!other) return;
  if (purpose == Purpose::Restore &&
      !registry.OpenKey(*other, platform::PathFromRoot(keyPath), platform::KeyAccess::Read))
    return;
  settings_.emplace(registry, *other, keyPath);
}

std::string PlacementStore::ReadString(const std::string& name, const std::string& fallback) {
  return settings_ ? settings_->ReadString(section_, name, fallback) : fallback;
}

std::int32_t PlacementStore::ReadInteger(const std::string& name, std::int32_t fallback) {
  return settings_ ? settings_->ReadInteger(section_, name, fallback) : fallback;
}

void PlacementStore::WriteString(const std::string& name, const std::string& value) {
  if (!settings_) throw Error(FormatText("Failed to create key %s", section_));
  settings_->WriteString(section_, name, value);
}

void PlacementStore::WriteInteger(const std::string& name, std::int32_t value) {
  WriteString(name, std::to_string(value));
}

void PlacementStore::WriteBool(const std::string& name, bool value) { WriteString(name, value ? "1" : "0"); }

}  // namespace korvalis::shell
