#pragma once
// The elevated copy of the program: started with administrator rights by the resident program,
// it carries out one request file, read once and never written, and answers by its exit code
// alone. It shows the user what it is about to do and does it only on the user's OK; it touches
// nothing else.
#include <functional>
#include <string>
#include <vector>

#include "app/ElevatedRequest.h"
#include "catalogue/SectionReadings.h"
#include "platform/Platform.h"

namespace korvalis::app {

// The command line of the elevated copy: this switch, then the request file.
constexpr const char* kElevatedSwitch = "/elevated";
// The event source the program writes its records under.
constexpr const char* kEventSourceName = "Korvalis";

// Shows the steps of a request to the user, with the request's code (RequestCode of the bytes
// read); true when the user said OK.
using ConfirmSteps = std::function<bool(const std::vector<std::string>& steps, const std::string& code)>;

// The exit codes of the elevated copy.
// What was undone the resident reads in the places themselves.
constexpr int kElevatedAnswered = 0;  // the steps shown were carried out where the places still held them
constexpr int kElevatedDeclined = 1;  // the user said no to the steps shown
constexpr int kElevatedRefused = 2;   // the request was refused as a whole, unshown

// Whether the place, as read once for a batch, holds exactly what the undo expects to find
// there: the entry `now`, or no entry of that value name.
bool PlaceHoldsNow(const TUndoOperation& undo, catalogue::TSectionReadings& readings);

// One line per step, as the user is shown it before anything is done: the full key and view,
// the value's name ("(Default)"), type and data; a service's name, binary, start type and
// account; a task's path and what it runs as whom; a file's name, size and first bytes. A write
// begins with "WRITE".
std::vector<std::string> DescribeRequest(const platform::Platform& platform, const TElevatedRequest& request);

// Reads the request file (an absolute local path ending in ".request"), checks it, asks and
// carries it out; returns one of the exit codes above.
int RunElevatedRequest(const platform::Platform& platform, const std::string& requestPath, const ConfirmSteps& confirm);

}  // namespace korvalis::app
