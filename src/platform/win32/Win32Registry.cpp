#include "platform/win32/Win32Registry.h"

#include <algorithm>

#include "platform/win32/Handles.h"

namespace korvalis::platform::win32 {

namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RootKey::Users: return HKEY_USERS;
    case RootKey::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_CURRENT_USER;
}

REGSAM Rights(KeyAccess access) {
  switch (access) {
    case KeyAccess::Read: return KEY_READ;
    case KeyAccess::Write: return KEY_WRITE;
    case KeyAccess::ReadWrite: return KEY_READ | KEY_WRITE;
    case KeyAccess::All: return KEY_ALL_ACCESS;
  }
  return KEY_READ;
}

class Win32Watch : public ChangeWatch {
 public:
  explicit Win32Watch(UniqueEvent event) : event_(std::move(event)) {}
  bool Signaled() override { return WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }
  std::uintptr_t NativeEvent() const override { return reinterpret_cast<std::uintptr_t>(event_.get()); }

 private:
  UniqueEvent event_;
};

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(UniqueKey key) : key_(std::move(key)) {}

  Status QueryInfo(KeyInfo& info) override {
    DWORD values = 0, maxName = 0, maxData = 0;
    const LONG status = RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                         &maxName, &maxData, nullptr, nullptr);
    if (status == ERROR_SUCCESS) info = KeyInfo{values, maxName, maxData};
    return status;
  }

  Status EnumValueName(std::uint32_t index, std::uint32_t bufferChars, std::string& name) override {
    std::string buffer(std::max<std::uint32_t>(bufferChars, 1), '\0');
    DWORD length = bufferChars;
    const LONG status =
        RegEnumValueA(key_.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) name.assign(buffer.data(), std::min<std::size_t>(length, buffer.size()));
    return status;
  }

  Status EnumValue(std::uint32_t index, std::uint32_t nameChars, std::string& name, std::uint32_t& type,
                   std::vector<std::uint8_t>& data, std::uint32_t& size) override {
    std::string buffer(std::max<std::uint32_t>(nameChars, 1), '\0');
    DWORD nameLength = nameChars;
    DWORD valueType = 0;
    DWORD dataSize = static_cast<DWORD>(data.size());
    std::uint8_t spare = 0;
    const LONG status = RegEnumValueA(key_.get(), index, buffer.data(), &nameLength, nullptr, &valueType,
                                      data.empty() ? &spare : data.data(), &dataSize);
    size = dataSize;
    if (status == ERROR_SUCCESS) {
      name.assign(buffer.data(), std::min<std::size_t>(nameLength, buffer.size()));
      type = valueType;
      size = std::min<DWORD>(dataSize, static_cast<DWORD>(data.size()));
    }
    return status;
  }

  Status QueryValueInfo(const std::string& name, std::uint32_t& type, std::uint32_t& size) override {
    DWORD valueType = 0, valueSize = 0;
    const LONG status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &valueType, nullptr, &valueSize);
    if (status == ERROR_SUCCESS) {
      type = valueType;
      size = valueSize;
    }
    return status;
  }

  Status ReadValue(const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& buffer,
                   std::uint32_t& size) override {
    DWORD valueType = 0;
    DWORD valueSize = static_cast<DWORD>(buffer.size());
    // A zero-size read would be taken as a size query; give the call one byte to fill.
    std::uint8_t spare = 0;
    BYTE* data = buffer.empty() ? &spare : buffer.data();
    if (buffer.empty()) valueSize = 0;
    const LONG status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &valueType, data, &valueSize);
    type = valueType;
    size = valueSize;
    return status;
  }

  Status SetValue(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) override {
    return RegSetValueExA(key_.get(), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size()));
  }

  Status DeleteValue(const std::string& name) override { return RegDeleteValueA(key_.get(), name.c_str()); }

  Status Watch(std::unique_ptr<ChangeWatch>& watch) override {
    UniqueEvent event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) return static_cast<Status>(GetLastError());
    const LONG status = RegNotifyChangeKeyValue(
        key_.get(), FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event.get(), TRUE);
    if (status == ERROR_SUCCESS) watch = std::make_unique<Win32Watch>(std::move(event));
    return status;
  }

 private:
  UniqueKey key_;
};

}  // namespace

OpenedKey Win32Registry::OpenKey(RootKey root, const std::string& path, KeyAccess access) {
  UniqueKey key;
  OpenedKey opened;
  opened.status = RegOpenKeyExA(RootHandle(root), path.c_str(), 0, Rights(access), key.put());
  if (opened.status == ERROR_SUCCESS) opened.key = std::make_unique<Win32Key>(std::move(key));
  return opened;
}

OpenedKey Win32Registry::CreateKey(RootKey root, const std::string& path, KeyAccess access) {
  UniqueKey key;
  OpenedKey opened;
  opened.status = RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  Rights(access), nullptr, key.put(), nullptr);
  if (opened.status == ERROR_SUCCESS) opened.key = std::make_unique<Win32Key>(std::move(key));
  return opened;
}

namespace {
// Deletes every subkey below an open key, then the key itself (RegDeleteTree is Vista on).
LONG DeleteRecursively(HKEY parent, const std::string& name) {
  UniqueKey key;
  LONG status = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    char child[256];
    DWORD length = sizeof child;
    if (RegEnumKeyExA(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    status = DeleteRecursively(key.get(), std::string(child, length));
    if (status != ERROR_SUCCESS) return status;
  }
  key.reset();
  return RegDeleteKeyA(parent, name.c_str());
}
}  // namespace

std::uint32_t Win32Registry::PollWatches(const std::vector<ChangeWatch*>& watches) {
  // One look at every event: a quiet tick costs a single wait, whatever the number of keys.
  std::vector<HANDLE> events;
  std::vector<std::size_t> indexes;
  for (std::size_t i = 0; i < watches.size() && i < 32; ++i) {
    if (watches[i] && watches[i]->NativeEvent()) {
      events.push_back(reinterpret_cast<HANDLE>(watches[i]->NativeEvent()));
      indexes.push_back(i);
    }
  }
  std::uint32_t fired = 0;
  if (!events.empty()) {
    const DWORD first = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, 0);
    if (first < WAIT_OBJECT_0 + events.size()) {
      // Something fired: find every one that did.
      for (std::size_t j = first - WAIT_OBJECT_0; j < events.size(); ++j)
        if (WaitForSingleObject(events[j], 0) == WAIT_OBJECT_0) fired |= 1u << indexes[j];
    }
  }
  for (std::size_t i = 0; i < watches.size() && i < 32; ++i)
    if (watches[i] && !watches[i]->NativeEvent() && watches[i]->Signaled()) fired |= 1u << i;
  return fired;
}

Status Win32Registry::DeleteTree(RootKey root, const std::string& path) {
  return DeleteRecursively(RootHandle(root), path);
}

}  // namespace korvalis::platform::win32
