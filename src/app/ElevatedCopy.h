#pragma once
// The elevated copy of the program: started with administrator rights by the resident program,
// it carries out one request file and writes its answer beside it. It shows the user what it is
// about to do and does it only on the user's OK; it touches nothing else.
#include <functional>
#include <string>
#include <vector>

#include "app/ElevatedRequest.h"
#include "platform/Platform.h"

namespace korvalis::app {

// The command line of the elevated copy: this switch, then the request file.
constexpr const char* kElevatedSwitch = "/elevated";
// The event source the program writes its records under.
constexpr const char* kEventSourceName = "Korvalis";

// Shows the steps of a request to the user; true when the user said OK.
using ConfirmSteps = std::function<bool(const std::vector<std::string>& steps)>;

// The exit codes of the elevated copy.
constexpr int kElevatedAnswered = 0;  // the result file holds one result per step
constexpr int kElevatedDeclined = 1;  // the user said no to the steps shown
constexpr int kElevatedRefused = 2;   // the request was refused as a whole (said in the result file, when there is one)

// One line per step, as the user is shown it before anything is done.
std::vector<std::string> DescribeRequest(const TElevatedRequest& request);

// Reads the request file (an absolute local path ending in ".request"), checks it, asks, carries
// it out and writes the result file.
int RunElevatedRequest(const platform::Platform& platform, const std::string& requestPath, const ConfirmSteps& confirm);

}  // namespace korvalis::app
