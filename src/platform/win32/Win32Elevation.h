#pragma once
#include "platform/Elevation.h"

namespace korvalis::platform::win32 {

class Win32Elevation : public Elevation {
 public:
  // The shell's "runas" verb: the system's consent or credentials prompt, then the program.
  Status RunElevated(const std::string& program, const std::string& arguments, WindowHandle owner,
                     std::uint32_t& exitCode) override;
};

}  // namespace korvalis::platform::win32
