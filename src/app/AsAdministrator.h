#pragma once
// The resident program's side of the elevated copy: the request written where only the user
// can write, the same program started elevated with it and waited for, its answer read back.
#include <string>
#include <vector>

#include "app/ElevatedRequest.h"
#include "platform/Platform.h"

namespace korvalis::app {

struct TElevatedRun {
  enum class State {
    Answered,  // results holds one result per step
    Declined,  // the system's prompt was declined: nothing was done
    Failed,    // message says why there is no answer
  };
  State state = State::Failed;
  std::vector<TElevatedResult> results;
  std::string message;
};

// %LOCALAPPDATA%\Korvalis\elevated.request; empty when there is no such folder.
std::string RequestPath(platform::Environment& environment);

TElevatedRun RunAsAdministrator(const platform::Platform& platform, const TElevatedRequest& request,
                                platform::WindowHandle owner);

}  // namespace korvalis::app
