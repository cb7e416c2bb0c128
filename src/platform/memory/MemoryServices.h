#pragma once
// In-memory services: each is its key under the in-memory registry's Services key, changed the
// way the service manager changes it, with the caller's rights and whether it runs.
#include <set>
#include <string>

#include "platform/Services.h"
#include "platform/memory/MemoryRegistry.h"

namespace korvalis::platform::memory {

class MemoryServices : public ServiceControl {
 public:
  explicit MemoryServices(MemoryRegistry& registry) : registry_(registry) {}

  Status SetStartType(const std::string& name, std::uint32_t startType) override;
  Status SetImagePath(const std::string& name, const std::string& imagePath) override;
  Status Stop(const std::string& name) override;
  bool IsRunning(const std::string& name) override;

  // False: a standard user, whom the service manager refuses every change.
  bool administrator = true;
  // Not kSuccess: what every stop answers, as for a service that will not stop.
  Status stopRefusal = kSuccess;

  // For tests: a service as a setup program registers it, its ServiceDll under Parameters.
  void Add(const std::string& name, std::uint32_t startType, const std::string& imagePath,
           const std::string& serviceDll = std::string());
  void SetRunning(const std::string& name, bool running);
  // A service written straight into the registry while the manager runs: its key is there,
  // but the manager knows it only from the next boot on.
  void AddToRegistryOnly(const std::string& name, std::uint32_t startType, const std::string& imagePath);

 private:
  Status Changeable(const std::string& name) const;
  std::string KeyOf(const std::string& name) const { return std::string(kServicesKey) + "\\" + name; }

  MemoryRegistry& registry_;
  std::set<std::string> running_;  // by name in capitals
  std::set<std::string> unknown_;  // by name in capitals: those of the registry alone
};

}  // namespace korvalis::platform::memory
