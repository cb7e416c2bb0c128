#include "platform/win32/Win32Services.h"

#include <windows.h>

#include "platform/win32/Handles.h"

namespace korvalis::platform::win32 {

namespace {

// The service opened for the rights asked; the status says why there is none.
struct OpenedService {
  UniqueService manager;
  UniqueService service;
  Status status = kSuccess;
};

OpenedService Open(const std::string& name, DWORD access) {
  OpenedService opened;
  // Connecting is what every user may do; the rights on the service itself decide the rest.
  opened.manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (opened.manager) opened.service.reset(OpenServiceA(opened.manager.get(), name.c_str(), access));
  if (!opened.service) opened.status = static_cast<Status>(GetLastError());
  return opened;
}

Status ChangeConfig(const std::string& name, DWORD startType, const char* imagePath) {
  OpenedService opened = Open(name, SERVICE_CHANGE_CONFIG);
  if (!opened.service) return opened.status;
  if (!ChangeServiceConfigA(opened.service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, imagePath,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
    return static_cast<Status>(GetLastError());
  return kSuccess;
}

}  // namespace

Status Win32Services::SetStartType(const std::string& name, std::uint32_t startType) {
  return ChangeConfig(name, startType, nullptr);
}

Status Win32Services::SetImagePath(const std::string& name, const std::string& imagePath) {
  return ChangeConfig(name, SERVICE_NO_CHANGE, imagePath.c_str());
}

Status Win32Services::Stop(const std::string& name) {
  OpenedService opened = Open(name, SERVICE_STOP);
  if (!opened.service) return opened.status;
  SERVICE_STATUS status{};
  if (ControlService(opened.service.get(), SERVICE_CONTROL_STOP, &status)) return kSuccess;
  const Status error = static_cast<Status>(GetLastError());
  return error == kErrorServiceNotActive ? kSuccess : error;
}

bool Win32Services::IsRunning(const std::string& name) {
  OpenedService opened = Open(name, SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  return opened.service && QueryServiceStatus(opened.service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
}

}  // namespace korvalis::platform::win32
