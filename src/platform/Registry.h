#pragma once
// The registry as the system offers it: keys under a root, opened with given rights,
// holding typed values as raw bytes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/SystemCodes.h"

namespace korvalis::platform {

enum class RootKey { CurrentUser, LocalMachine, ClassesRoot, Users, CurrentConfig };

// Read: query, enumerate, be notified. Write: set and delete values, create subkeys.
enum class KeyAccess { Read, Write, ReadWrite, All };

struct KeyInfo {
  std::uint32_t valueCount = 0;
  std::uint32_t maxValueNameChars = 0;  // without the terminating NUL
  std::uint32_t maxValueDataBytes = 0;
};

class ChangeWatch;

// An open key; closing it is destroying the object.
class RegistryKey {
 public:
  RegistryKey() = default;
  virtual ~RegistryKey() = default;
  // Owns a system handle: a copy would close it twice.
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  virtual Status QueryInfo(KeyInfo& info) = 0;
  // The name at index. kErrorMoreData when the name and its NUL need more than
  // bufferChars; kErrorNoMoreItems past the last value.
  virtual Status EnumValueName(std::uint32_t index, std::uint32_t bufferChars, std::string& name) = 0;
  // The name, type and data of the value at index in one call. kErrorMoreData when the name
  // needs more than nameChars (NUL included) or the data more than data.size() bytes; on
  // success size is the number of bytes written.
  virtual Status EnumValue(std::uint32_t index, std::uint32_t nameChars, std::string& name, std::uint32_t& type,
                           std::vector<std::uint8_t>& data, std::uint32_t& size) = 0;
  virtual Status QueryValueInfo(const std::string& name, std::uint32_t& type, std::uint32_t& size) = 0;
  // Fills at most buffer.size() bytes. On success size is the number of bytes written;
  // with kErrorMoreData it is the size the value needs now.
  virtual Status ReadValue(const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& buffer,
                           std::uint32_t& size) = 0;
  virtual Status SetValue(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) = 0;
  virtual Status DeleteValue(const std::string& name) = 0;
  // Arms a one-shot notification of changes to this key's names and values.
  virtual Status Watch(std::unique_ptr<ChangeWatch>& watch) = 0;
};

// A change notification armed on one key: Signaled() once the key changed.
class ChangeWatch {
 public:
  ChangeWatch() = default;
  virtual ~ChangeWatch() = default;
  // Owns a system handle: a copy would close it twice.
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;
  virtual bool Signaled() = 0;
  // The event handle of a real watch, for waiting on several at once; 0 otherwise.
  virtual std::uintptr_t NativeEvent() const { return 0; }
};

struct OpenedKey {
  Status status = kErrorFileNotFound;
  std::unique_ptr<RegistryKey> key;
  explicit operator bool() const { return status == kSuccess && key != nullptr; }
};

class Registry {
 public:
  virtual ~Registry() = default;
  // path is taken from the root, without a leading backslash.
  virtual OpenedKey OpenKey(RootKey root, const std::string& path, KeyAccess access) = 0;
  virtual OpenedKey CreateKey(RootKey root, const std::string& path, KeyAccess access) = 0;
  // Deletes a key with everything below it.
  virtual Status DeleteTree(RootKey root, const std::string& path) = 0;
  // Which of the watches have fired, bit i for watches[i] (at most 32), in one look.
  virtual std::uint32_t PollWatches(const std::vector<ChangeWatch*>& watches);
};

}  // namespace korvalis::platform
