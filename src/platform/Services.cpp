#include "platform/Services.h"

#include "platform/RegistryValues.h"

namespace korvalis::platform {

namespace {

OpenedKey ServiceKey(Registry& registry, const std::string& name, KeyAccess access) {
  return registry.OpenKey(RootKey::LocalMachine, std::string(kServicesKey) + "\\" + name, access);
}

// What the service's key holds after the write: only that counts, whatever answered the write.
Status ReadsBack(Registry& registry, const std::string& name, const char* value, std::uint32_t type,
                 const std::vector<std::uint8_t>& data) {
  OpenedKey key = ServiceKey(registry, name, KeyAccess::Read);
  if (!key) return key.status == kErrorFileNotFound ? kErrorServiceDoesNotExist : key.status;
  std::uint32_t readType = 0;
  std::vector<std::uint8_t> bytes;
  if (const Status status = ReadValueBytes(*key.key, value, readType, bytes); status != kSuccess) return status;
  const bool same = IsStringType(type) ? IsStringType(readType) && TextOfBytes(bytes) == TextOfBytes(data)
                                       : readType == type && bytes == data;
  return same ? kSuccess : kErrorInvalidData;
}

// A service the manager does not know (written into the registry while the manager ran) still
// starts from its key at the next boot: the key is written itself, never created.
Status ChangeService(Registry& registry, Status byManager, const std::string& name, const char* value,
                     std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (byManager == kErrorServiceDoesNotExist) {
    OpenedKey key = ServiceKey(registry, name, KeyAccess::Write);
    if (!key) return key.status == kErrorFileNotFound ? kErrorServiceDoesNotExist : key.status;
    byManager = key.key->SetValue(value, type, data);
  }
  if (byManager != kSuccess) return byManager;
  return ReadsBack(registry, name, value, type, data);
}

}  // namespace

Status SetServiceStart(Registry& registry, ServiceControl& services, const std::string& name, std::uint32_t start) {
  return ChangeService(registry, services.SetStartType(name, start), name, "Start", kRegDword, DwordBytes(start));
}

Status SetServiceImagePath(Registry& registry, ServiceControl& services, const std::string& name,
                           const std::string& imagePath) {
  return ChangeService(registry, services.SetImagePath(name, imagePath), name, "ImagePath", kRegExpandSz,
                       StringBytes(imagePath));
}

ServiceDisabling DisableService(Registry& registry, ServiceControl& services, const std::string& name) {
  ServiceDisabling result;
  result.disabled = SetServiceStart(registry, services, name, kServiceDisabled);
  if (result.disabled != kSuccess) return result;
  result.stopped = services.Stop(name);
  // The manager runs no service it does not know.
  if (result.stopped == kErrorServiceDoesNotExist) result.stopped = kSuccess;
  return result;
}

}  // namespace korvalis::platform
