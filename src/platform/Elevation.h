#pragma once
// Starting a program with administrator rights: the system asks the user first.
#include <cstdint>
#include <string>

#include "platform/Shell.h"
#include "platform/SystemCodes.h"

namespace korvalis::platform {

class Elevation {
 public:
  virtual ~Elevation() = default;
  // Starts the program elevated with the arguments and waits until it ends. kSuccess with its
  // exit code; kErrorCancelled when the user declined the system's prompt.
  virtual Status RunElevated(const std::string& program, const std::string& arguments, WindowHandle owner,
                             std::uint32_t& exitCode) = 0;
};

}  // namespace korvalis::platform
