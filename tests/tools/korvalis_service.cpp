// Switches a service's start type through the service manager, as a setup program would:
//   korvalis_service NAME START_TYPE    (0 boot, 1 system, 2 automatic, 3 on demand, 4 disabled)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/Handles.h"

int main(int argc, char** argv) {
  using korvalis::platform::win32::UniqueService;
  if (argc != 3) {
    std::fprintf(stderr, "usage: korvalis_service NAME START_TYPE\n");
    return 2;
  }
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueService service(manager ? OpenServiceA(manager.get(), argv[1], SERVICE_CHANGE_CONFIG) : nullptr);
  if (!service || !ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, static_cast<DWORD>(std::atoi(argv[2])),
                                        SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                        nullptr)) {
    std::fprintf(stderr, "failed: %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
