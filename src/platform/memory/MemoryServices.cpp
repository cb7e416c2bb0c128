#include "platform/memory/MemoryServices.h"

#include "platform/RegistryValues.h"
#include "text/StrMan.h"

namespace korvalis::platform::memory {

Status MemoryServices::Changeable(const std::string& name) const {
  // The manager names a service it does not know before it looks at the caller's rights.
  if (!registry_.HasKey(RootKey::LocalMachine, KeyOf(name)) || unknown_.count(text::UpperAscii(name)) > 0)
    return kErrorServiceDoesNotExist;
  return administrator ? kSuccess : kErrorAccessDenied;
}

// The manager writes with its own rights, whatever the caller may do with the key.
Status MemoryServices::SetStartType(const std::string& name, std::uint32_t startType) {
  if (const Status status = Changeable(name); status != kSuccess) return status;
  if (startType > kServiceDisabled) return kErrorInvalidParameter;
  registry_.PutDword(RootKey::LocalMachine, KeyOf(name), "Start", startType);
  return kSuccess;
}

Status MemoryServices::SetImagePath(const std::string& name, const std::string& imagePath) {
  if (const Status status = Changeable(name); status != kSuccess) return status;
  registry_.PutString(RootKey::LocalMachine, KeyOf(name), "ImagePath", imagePath, kRegExpandSz);
  return kSuccess;
}

Status MemoryServices::Stop(const std::string& name) {
  if (const Status status = Changeable(name); status != kSuccess) return status;
  if (stopRefusal != kSuccess) return stopRefusal;
  running_.erase(text::UpperAscii(name));
  return kSuccess;
}

bool MemoryServices::IsRunning(const std::string& name) {
  return registry_.HasKey(RootKey::LocalMachine, KeyOf(name)) && running_.count(text::UpperAscii(name)) > 0;
}

void MemoryServices::Add(const std::string& name, std::uint32_t startType, const std::string& imagePath,
                         const std::string& serviceDll) {
  unknown_.erase(text::UpperAscii(name));
  registry_.PutDword(RootKey::LocalMachine, KeyOf(name), "Start", startType);
  registry_.PutString(RootKey::LocalMachine, KeyOf(name), "ImagePath", imagePath, kRegExpandSz);
  registry_.PutString(RootKey::LocalMachine, KeyOf(name), "DisplayName", name + " Service");
  if (!serviceDll.empty())
    registry_.PutString(RootKey::LocalMachine, KeyOf(name) + "\\Parameters", "ServiceDll", serviceDll, kRegExpandSz);
}

void MemoryServices::AddToRegistryOnly(const std::string& name, std::uint32_t startType, const std::string& imagePath) {
  Add(name, startType, imagePath);
  unknown_.insert(text::UpperAscii(name));
}

void MemoryServices::SetRunning(const std::string& name, bool running) {
  if (running)
    running_.insert(text::UpperAscii(name));
  else
    running_.erase(text::UpperAscii(name));
}

}  // namespace korvalis::platform::memory
