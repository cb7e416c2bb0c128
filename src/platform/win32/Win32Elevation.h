#pragma once
#include <functional>

#include "platform/Elevation.h"

namespace korvalis::platform::win32 {

class Win32Elevation : public Elevation {
 public:
  // The shell's "runas" verb: the system's consent or credentials prompt, then the program.
  Status RunElevated(const std::string& program, const std::string& arguments, WindowHandle owner,
                     std::uint32_t& exitCode) override;
  // How the started program is waited for: kSuccess once it ended, kErrorOperationAborted when
  // the wait was given up because this program is ending. The program with windows keeps its
  // messages going meanwhile; without one the call blocks until the program ends.
  std::function<Status(void* process)> waitFor;  // the process's HANDLE
};

}  // namespace korvalis::platform::win32
