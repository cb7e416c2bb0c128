#pragma once
// Where a refused startup file goes instead of being deleted: a folder of the program's own,
// each file with its original path recorded beside it, so that a mistaken No can be undone.
#include <string>

#include "platform/Platform.h"

namespace korvalis::catalogue {

class TStartup;

// %LOCALAPPDATA%\Korvalis\Quarantine; empty when the local application data folder is unknown.
std::string QuarantineFolder(platform::Environment& environment);

// Moves the file there (a name already taken gets a number in front) and writes
// "<name>.origin.txt" holding its path. Returns the new path. Fails with "Cannot quarantine
// file %s", leaving the file where it was: also when the move left the file in its place (a
// copy to another volume whose delete failed).
std::string Quarantine(const platform::Platform& platform, const std::string& path);

// Whether a startup folder's entry, with its content, lies in the quarantine, moved there from
// its own place: false once the user has taken it back.
bool HeldInQuarantine(const platform::Platform& platform, const TStartup& entry);

}  // namespace korvalis::catalogue
