#include "platform/RegistryValues.h"

#include <algorithm>

#include "text/StrMan.h"

namespace korvalis::platform {

namespace {
constexpr int kReadAttempts = 8;

// A look-up that found nothing may only have missed a name the call could not spell (one
// holding a NUL, say): the key's own listing settles whether the value is still there.
bool StillListed(Registry& registry, RootKey root, const std::string& path, const std::string& name,
                 RegistryView view) {
  OpenedKey readable = registry.OpenKey(root, path, KeyAccess::Read, view);
  if (!readable) return false;
  for (std::uint32_t index = 0;; ++index) {
    std::string listed;
    if (readable.key->EnumValueName(index, kMaxValueNameChars + 1, listed) != kSuccess) return false;
    if (text::SameTextAscii(listed, name)) return true;
  }
}
}  // namespace

std::uint64_t Registry::PollWatches(const std::vector<ChangeWatch*>& watches) {
  std::uint64_t fired = 0;
  for (std::size_t i = 0; i < watches.size() && i < kWatchesPerPoll; ++i)
    if (watches[i] && watches[i]->Signaled()) fired |= std::uint64_t{1} << i;
  return fired;
}

std::string PathFromRoot(const std::string& path) {
  if (!path.empty() && path[0] == '\\') return path.substr(1);
  return path;
}

Status ReadValueBytes(RegistryKey& key, const std::string& name, std::uint32_t& type,
                      std::vector<std::uint8_t>& bytes) {
  std::uint32_t size = 0;
  Status status = key.QueryValueInfo(name, type, size);
  if (status != kSuccess) return status;
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    bytes.assign(size, 0);
    std::uint32_t returned = size;
    status = key.ReadValue(name, type, bytes, returned);
    if (status == kSuccess) {
      bytes.resize(std::min<std::size_t>(returned, bytes.size()));
      return kSuccess;
    }
    if (status != kErrorMoreData) return status;
    // Grown since the size query: take the new size, with room to spare for the next growth.
    size = std::max(returned, size) + 16;
  }
  return kErrorMoreData;
}

bool IsStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

std::string TextOfBytes(const std::vector<std::uint8_t>& bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

bool DeleteValueIfPresent(Registry& registry, RootKey root, const std::string& path, const std::string& name,
                          RegistryView view) {
  return DeleteValueIfThere(registry, root, path, name, view) == kSuccess;
}

Status DeleteValueIfThere(Registry& registry, RootKey root, const std::string& path, const std::string& name,
                          RegistryView view) {
  OpenedKey opened = registry.OpenKey(root, path, KeyAccess::Write, view);
  if (opened.status == kErrorFileNotFound) return kSuccess;
  if (!opened) {
    // A key the user may not write still has nothing to delete when the value is not there.
    OpenedKey readable = registry.OpenKey(root, path, KeyAccess::Read, view);
    std::uint32_t type = 0, size = 0;
    const bool gone = readable && readable.key->QueryValueInfo(name, type, size) == kErrorFileNotFound &&
                      !StillListed(registry, root, path, name, view);
    return gone ? kSuccess : (opened.status == kSuccess ? kErrorInvalidParameter : opened.status);
  }
  const Status deleted = opened.key->DeleteValue(name);
  if (deleted == kErrorFileNotFound) return StillListed(registry, root, path, name, view) ? kErrorFileNotFound : kSuccess;
  return deleted;
}

std::vector<std::uint8_t> StringBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> DwordBytes(std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}

}  // namespace korvalis::platform
