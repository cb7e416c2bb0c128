#pragma once
// Starting a program elevated, as a test describes it: what the elevated copy does, or a
// declined prompt.
#include <functional>
#include <string>

#include "platform/Elevation.h"
#include "platform/memory/MemoryFileSystem.h"

namespace korvalis::platform::memory {

class MemoryElevation : public Elevation {
 public:
  // The started program, given its arguments; sets its exit code. None: the user declines.
  using Program = std::function<void(const std::string& arguments, std::uint32_t& exitCode)>;

  explicit MemoryElevation(MemoryFileSystem& files) : files_(files) {}
  // kErrorFileNotFound for a program that is no file, as the system answers.
  Status RunElevated(const std::string& program, const std::string& arguments, WindowHandle owner,
                     std::uint32_t& exitCode) override;

  Program elevated;
  bool ending = false;  // the program is told to end while it waits: the wait is given up
  int started = 0;  // programs started, the declined ones included
  std::string lastArguments;

 private:
  MemoryFileSystem& files_;
};

}  // namespace korvalis::platform::memory
