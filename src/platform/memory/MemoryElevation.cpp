#include "platform/memory/MemoryElevation.h"

namespace korvalis::platform::memory {

Status MemoryElevation::RunElevated(const std::string& program, const std::string& arguments, WindowHandle,
                                    std::uint32_t& exitCode) {
  if (!files_.IsFile(program)) return kErrorFileNotFound;
  ++started;
  lastArguments = arguments;
  if (!elevated) return kErrorCancelled;
  exitCode = 0;
  elevated(arguments, exitCode);
  return ending ? kErrorOperationAborted : kSuccess;
}

}  // namespace korvalis::platform::memory
