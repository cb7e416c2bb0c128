#pragma once
// The resident program's side of the elevated copy: the request written where only the user
// can write, the same program started elevated with it and waited for. The copy's answer is its
// exit code; what it undid the resident reads in the places itself.
#include <string>
#include <vector>

#include "app/ElevatedRequest.h"
#include "platform/Platform.h"

namespace korvalis::app {

struct TElevatedRun {
  enum class State {
    Answered,   // carried out where the places still held what it names
    Cancelled,  // the user said no in the elevated copy's window
    Declined,   // the system's prompt was declined: nothing was started
    Unanswered, // the program is ending while the copy runs: what it did the places tell later
    Failed,     // message says why there is no answer
  };
  State state = State::Failed;
  std::string message;
};

// The folder of the request files, %LOCALAPPDATA%\Korvalis; empty when there is no such folder.
std::string RequestFolder(platform::Environment& environment);

// The undos in requests within the format's limits, in their order.
std::vector<TElevatedRequest> SplitIntoRequests(const std::vector<TUndoOperation>& undos);

// The short code both windows show of a request's text: the start of its SHA-256, "3FA2 9C01".
std::string RequestCode(const std::string& requestText);

TElevatedRun RunAsAdministrator(const platform::Platform& platform, const TElevatedRequest& request,
                                platform::WindowHandle owner);

}  // namespace korvalis::app
