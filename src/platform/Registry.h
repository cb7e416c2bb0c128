#pragma once
// The registry as the system offers it: keys under a root, opened with given rights,
// holding typed values as raw bytes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ChangeWatch.h"
#include "platform/SystemCodes.h"

namespace korvalis::platform {

enum class RootKey { CurrentUser, LocalMachine, ClassesRoot, Users, CurrentConfig };

// On 64-bit Windows machine keys under Software have a 32-bit and a 64-bit view. Native is the
// view of the running program; Other the one a program of the other kind sees.
enum class RegistryView { Native, Other };

// Read: query, enumerate, be notified. Write: set and delete values, create subkeys.
enum class KeyAccess { Read, Write, ReadWrite, All };

struct KeyInfo {
  std::uint32_t valueCount = 0;
  std::uint32_t maxValueNameChars = 0;  // without the terminating NUL
  std::uint32_t maxValueDataBytes = 0;
};

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
  // The name of the subkey at index; kErrorNoMoreItems past the last one.
  virtual Status EnumSubkeyName(std::uint32_t index, std::string& name) = 0;
  // Arms a one-shot notification of changes to this key's names and values, and with subtree
  // to those of every key below it.
  virtual Status Watch(std::unique_ptr<ChangeWatch>& watch, bool subtree) = 0;
  Status Watch(std::unique_ptr<ChangeWatch>& watch) { return Watch(watch, false); }
  // Arms a one-shot notification of subkeys made or deleted right below this key, values aside:
  // a key deleted need not signal its own watch, and one made again is a new key.
  virtual Status WatchSubkeys(std::unique_ptr<ChangeWatch>& watch) = 0;
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
  virtual OpenedKey OpenKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) = 0;
  virtual OpenedKey CreateKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) = 0;
  OpenedKey OpenKey(RootKey root, const std::string& path, KeyAccess access) {
    return OpenKey(root, path, access, RegistryView::Native);
  }
  OpenedKey CreateKey(RootKey root, const std::string& path, KeyAccess access) {
    return CreateKey(root, path, access, RegistryView::Native);
  }
  // Whether there is another view at all: false on 32-bit Windows.
  virtual bool HasOtherView() const = 0;
  // Whether the key is one and the same in both views (a shared key), judged while it is missing
  // by its nearest existing ancestor; false when that cannot be told.
  virtual bool SameInBothViews(RootKey root, const std::string& path) = 0;
  // Deletes a key with everything below it.
  virtual Status DeleteTree(RootKey root, const std::string& path, RegistryView view) = 0;
  Status DeleteTree(RootKey root, const std::string& path) { return DeleteTree(root, path, RegistryView::Native); }
  // Which of the watches have fired, bit i for watches[i] (at most kWatchesPerPoll, as many as
  // one wait of the system takes), in one look.
  static constexpr std::size_t kWatchesPerPoll = 64;
  virtual std::uint64_t PollWatches(const std::vector<ChangeWatch*>& watches);
};

}  // namespace korvalis::platform
