#pragma once
// The system's services as the guard changes them: through the service manager, which a
// standard user may ask to read but not to change a machine's service.
#include <cstdint>
#include <string>

#include "platform/Registry.h"
#include "platform/SystemCodes.h"

namespace korvalis::platform {

// The key below HKEY_LOCAL_MACHINE that holds one subkey per service, named as the service.
constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";

// Start types, as the service's Start value holds them.
constexpr std::uint32_t kServiceBootStart = 0;
constexpr std::uint32_t kServiceSystemStart = 1;
constexpr std::uint32_t kServiceAutoStart = 2;
constexpr std::uint32_t kServiceDemandStart = 3;
constexpr std::uint32_t kServiceDisabled = 4;

// Each change answers kSuccess, kErrorServiceDoesNotExist, kErrorAccessDenied where the caller
// may not change the service, or the system's own code for any other failure.
class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  virtual Status SetStartType(const std::string& name, std::uint32_t startType) = 0;
  // Written as the system writes it: as expandable text on Windows, plain text under Wine.
  virtual Status SetImagePath(const std::string& name, const std::string& imagePath) = 0;
  // Asks a running service to stop, without waiting for it; kSuccess also when it was not running.
  virtual Status Stop(const std::string& name) = 0;
  // False also for a service that does not exist or cannot be asked.
  virtual bool IsRunning(const std::string& name) = 0;
};

// The one way Korvalis changes a service, as the user and as administrator: through the
// manager, or straight in the service's key where the manager does not know the service (one
// written into the registry starts from it at the next boot all the same); then the key is
// read back, and only what it holds counts. kErrorServiceDoesNotExist: the key is gone too;
// kErrorInvalidData: the key reads otherwise than written.
Status SetServiceStart(Registry& registry, ServiceControl& services, const std::string& name, std::uint32_t start);
Status SetServiceImagePath(Registry& registry, ServiceControl& services, const std::string& name,
                           const std::string& imagePath);

struct ServiceDisabling {
  Status disabled = kSuccess;
  // Asked only once disabled; a stop refused leaves the service running until it ends, and a
  // disable that held is no less done for it.
  Status stopped = kSuccess;
};
ServiceDisabling DisableService(Registry& registry, ServiceControl& services, const std::string& name);

}  // namespace korvalis::platform
