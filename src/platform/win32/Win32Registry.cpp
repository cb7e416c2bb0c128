#include "platform/win32/Win32Registry.h"

#include <winternl.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

// The counted-name registry calls of ntdll; the SDK headers at hand do not declare them.
extern "C" {
NTSTATUS NTAPI NtQueryValueKey(HANDLE key, PUNICODE_STRING name, int informationClass, PVOID information,
                               ULONG length, PULONG resultLength);
NTSTATUS NTAPI NtSetValueKey(HANDLE key, PUNICODE_STRING name, ULONG titleIndex, ULONG type, PVOID data, ULONG size);
NTSTATUS NTAPI NtDeleteValueKey(HANDLE key, PUNICODE_STRING name);
NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, PVOID information, ULONG length, PULONG resultLength);
}

namespace korvalis::platform::win32 {

namespace {

constexpr int kKeyValuePartialInformation = 2;
constexpr NTSTATUS kStatusBufferOverflow = static_cast<NTSTATUS>(0x80000005);
constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
// KEY_VALUE_PARTIAL_INFORMATION: title index, type and data length, then the data.
constexpr std::size_t kPartialHeaderBytes = 3 * sizeof(ULONG);

// The ANSI calls take a name up to its first NUL; a name holding one goes to ntdll instead.
bool NeedsCountedName(const std::string& name) { return name.find('\0') != std::string::npos; }

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

Status StatusOf(NTSTATUS status) { return NT_SUCCESS(status) ? ERROR_SUCCESS : RtlNtStatusToDosError(status); }

// A value name as ntdll takes it: UTF-16 with an explicit length, so a NUL stays part of it.
class CountedName {
 public:
  explicit CountedName(const std::string& name) : text_(AnsiToWide(name)) {
    counted_.Buffer = text_.data();
    counted_.Length = counted_.MaximumLength = static_cast<USHORT>(text_.size() * sizeof(wchar_t));
  }
  CountedName(const CountedName&) = delete;
  CountedName& operator=(const CountedName&) = delete;
  // A counted string holds at most 32,767 characters, twice the registry's limit.
  bool Fits() const { return text_.size() <= kMaxValueNameChars; }
  PUNICODE_STRING get() { return &counted_; }

 private:
  std::wstring text_;
  UNICODE_STRING counted_{};
};

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
    if (NeedsCountedName(name)) {
      std::vector<std::uint8_t> bytes;
      const Status status = ReadCounted(name, type, bytes);
      if (status == ERROR_SUCCESS) size = static_cast<std::uint32_t>(bytes.size());
      return status;
    }
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
    if (NeedsCountedName(name)) {
      std::vector<std::uint8_t> bytes;
      const Status status = ReadCounted(name, type, bytes);
      if (status != ERROR_SUCCESS) return status;
      size = static_cast<std::uint32_t>(bytes.size());
      if (bytes.size() > buffer.size()) return ERROR_MORE_DATA;
      std::copy(bytes.begin(), bytes.end(), buffer.begin());
      return ERROR_SUCCESS;
    }
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
    if (NeedsCountedName(name)) return SetCounted(name, type, data);
    return RegSetValueExA(key_.get(), name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                          static_cast<DWORD>(data.size()));
  }

  Status DeleteValue(const std::string& name) override {
    if (NeedsCountedName(name)) {
      CountedName counted(name);
      if (!counted.Fits()) return ERROR_INVALID_PARAMETER;
      return StatusOf(NtDeleteValueKey(key_.get(), counted.get()));
    }
    return RegDeleteValueA(key_.get(), name.c_str());
  }

  Status EnumSubkeyName(std::uint32_t index, std::string& name) override {
    char buffer[256];  // a key name holds at most 255 characters
    DWORD length = sizeof buffer;
    const LONG status = RegEnumKeyExA(key_.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) name.assign(buffer, std::min<DWORD>(length, sizeof buffer));
    return status;
  }

  Status Watch(std::unique_ptr<ChangeWatch>& watch, bool subtree) override {
    return Notify(watch, subtree, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET);
  }

  Status WatchSubkeys(std::unique_ptr<ChangeWatch>& watch) override {
    return Notify(watch, false, REG_NOTIFY_CHANGE_NAME);
  }

 private:
  Status Notify(std::unique_ptr<ChangeWatch>& watch, bool subtree, DWORD filter) {
    UniqueEvent event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) return static_cast<Status>(GetLastError());
    const LONG status = RegNotifyChangeKeyValue(key_.get(), subtree ? TRUE : FALSE, filter, event.get(), TRUE);
    if (status == ERROR_SUCCESS) watch = std::make_unique<Win32Watch>(std::move(event));
    return status;
  }

  // The whole value as the ANSI calls hand it over: text in the program's code page, other
  // data as stored.
  Status ReadCounted(const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& bytes) {
    CountedName counted(name);
    if (!counted.Fits()) return ERROR_INVALID_PARAMETER;
    std::vector<std::uint8_t> information(kPartialHeaderBytes + 256);
    for (int attempt = 0; attempt < 8; ++attempt) {
      ULONG returned = 0;
      const NTSTATUS status = NtQueryValueKey(key_.get(), counted.get(), kKeyValuePartialInformation,
                                              information.data(), static_cast<ULONG>(information.size()), &returned);
      if (status == kStatusBufferOverflow || status == kStatusBufferTooSmall) {
        // Grown since the last look, perhaps: room for what it needs now and a little more.
        information.resize(std::max<std::size_t>(returned, information.size()) + 16);
        continue;
      }
      if (!NT_SUCCESS(status)) return StatusOf(status);
      ULONG header[3] = {};
      std::memcpy(header, information.data(), kPartialHeaderBytes);
      const std::size_t length = std::min<std::size_t>(header[2], information.size() - kPartialHeaderBytes);
      const std::uint8_t* data = information.data() + kPartialHeaderBytes;
      type = header[1];
      if (IsTextType(header[1])) {
        std::wstring wide(length / sizeof(wchar_t), L'\0');
        std::memcpy(wide.data(), data, wide.size() * sizeof(wchar_t));
        const std::string text = WideToAnsi(wide.data(), wide.size());
        bytes.assign(text.begin(), text.end());
      } else {
        bytes.assign(data, data + length);
      }
      return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
  }

  // Text is stored in UTF-16, as the ANSI call would store it.
  Status SetCounted(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    CountedName counted(name);
    if (!counted.Fits()) return ERROR_INVALID_PARAMETER;
    std::vector<std::uint8_t> stored = data;
    if (IsTextType(type)) {
      const std::wstring wide = AnsiToWide(std::string(data.begin(), data.end()));
      stored.resize(wide.size() * sizeof(wchar_t));
      if (!stored.empty()) std::memcpy(stored.data(), wide.data(), stored.size());
    }
    return StatusOf(NtSetValueKey(key_.get(), counted.get(), 0, type, stored.empty() ? nullptr : stored.data(),
                                  static_cast<ULONG>(stored.size())));
  }

  UniqueKey key_;
};

}  // namespace

namespace {
// The 64-bit program reaches the 32-bit view, the 32-bit one the 64-bit view.
REGSAM ViewFlag(RegistryView view) {
  if (view == RegistryView::Native) return 0;
  return sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}
}  // namespace

namespace {
constexpr int kKeyNameInformation = 3;

// The key's name in the system's own tree (\REGISTRY\MACHINE\SOFTWARE\...), where a redirected
// key and its other view differ and a shared one does not.
std::wstring SystemNameOf(HKEY key) {
  std::vector<std::uint8_t> information(1024);
  ULONG returned = 0;
  if (!NT_SUCCESS(NtQueryKey(key, kKeyNameInformation, information.data(), static_cast<ULONG>(information.size()),
                             &returned)))
    return std::wstring();
  ULONG length = 0;
  std::memcpy(&length, information.data(), sizeof length);
  length = std::min<ULONG>(length, static_cast<ULONG>(information.size() - sizeof length));
  std::wstring name(length / sizeof(wchar_t), L'\0');
  std::memcpy(name.data(), information.data() + sizeof length, name.size() * sizeof(wchar_t));
  for (wchar_t& c : name) c = static_cast<wchar_t>(towupper(c));
  return name;
}
}  // namespace

bool Win32Registry::SameInBothViews(RootKey root, const std::string& path) {
  for (std::string at = path;;) {
    UniqueKey native, other;
    const LONG found = RegOpenKeyExA(RootHandle(root), at.c_str(), 0, KEY_QUERY_VALUE, native.put());
    if (found == ERROR_SUCCESS &&
        RegOpenKeyExA(RootHandle(root), at.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(RegistryView::Other), other.put()) ==
            ERROR_SUCCESS) {
      const std::wstring name = SystemNameOf(native.get());
      return !name.empty() && name == SystemNameOf(other.get());
    }
    if (found != ERROR_FILE_NOT_FOUND || at.empty()) return false;
    const auto cut = at.find_last_of('\\');
    at = cut == std::string::npos ? std::string() : at.substr(0, cut);
  }
}

bool Win32Registry::HasOtherView() const {
  if (sizeof(void*) == 8) return true;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

OpenedKey Win32Registry::OpenKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) {
  UniqueKey key;
  OpenedKey opened;
  opened.status = RegOpenKeyExA(RootHandle(root), path.c_str(), 0, Rights(access) | ViewFlag(view), key.put());
  if (opened.status == ERROR_SUCCESS) opened.key = std::make_unique<Win32Key>(std::move(key));
  return opened;
}

OpenedKey Win32Registry::CreateKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) {
  UniqueKey key;
  OpenedKey opened;
  opened.status = RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  Rights(access) | ViewFlag(view), nullptr, key.put(), nullptr);
  if (opened.status == ERROR_SUCCESS) opened.key = std::make_unique<Win32Key>(std::move(key));
  return opened;
}

namespace {
// Deletes every subkey below an open key, then the key itself (RegDeleteTree is Vista on).
LONG DeleteRecursively(HKEY parent, const std::string& name, REGSAM view) {
  UniqueKey key;
  LONG status = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE | view, key.put());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    char child[256];
    DWORD length = sizeof child;
    if (RegEnumKeyExA(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    status = DeleteRecursively(key.get(), std::string(child, length), view);
    if (status != ERROR_SUCCESS) return status;
  }
  key.reset();
  return RegDeleteKeyExA(parent, name.c_str(), view, 0);
}
}  // namespace

std::uint64_t Win32Registry::PollWatches(const std::vector<ChangeWatch*>& watches) {
  // One look at every event: a quiet tick costs a single wait, whatever the number of keys, and
  // allocates nothing.
  std::array<HANDLE, kWatchesPerPoll> events{};
  std::array<std::size_t, kWatchesPerPoll> indexes{};
  std::size_t count = 0;
  for (std::size_t i = 0; i < watches.size() && i < kWatchesPerPoll; ++i) {
    if (watches[i] && watches[i]->NativeEvent()) {
      events[count] = reinterpret_cast<HANDLE>(watches[i]->NativeEvent());
      indexes[count++] = i;
    }
  }
  std::uint64_t fired = 0;
  if (count > 0) {
    const DWORD first = WaitForMultipleObjects(static_cast<DWORD>(count), events.data(), FALSE, 0);
    if (first < WAIT_OBJECT_0 + count) {
      // Something fired: find every one that did.
      for (std::size_t j = first - WAIT_OBJECT_0; j < count; ++j)
        if (WaitForSingleObject(events[j], 0) == WAIT_OBJECT_0) fired |= std::uint64_t{1} << indexes[j];
    }
  }
  for (std::size_t i = 0; i < watches.size() && i < kWatchesPerPoll; ++i)
    if (watches[i] && !watches[i]->NativeEvent() && watches[i]->Signaled()) fired |= std::uint64_t{1} << i;
  return fired;
}

Status Win32Registry::DeleteTree(RootKey root, const std::string& path, RegistryView view) {
  return DeleteRecursively(RootHandle(root), path, ViewFlag(view));
}

}  // namespace korvalis::platform::win32
