#pragma once
// Where a refused startup file goes instead of being deleted: a folder of the program's own,
// each file with its original path recorded beside it, so that a mistaken No can be undone.
#include <string>

#include "platform/Platform.h"

namespace korvalis::catalogue {

// %LOCALAPPDATA%\Korvalis\Quarantine
std::string QuarantineFolder(platform::Environment& environment);

// Moves the file there (a name already taken gets a number in front) and writes
// "<name>.origin.txt" holding its path. Returns the new path. Fails with "Cannot quarantine
// file %s", leaving the file where it was.
std::string Quarantine(const platform::Platform& platform, const std::string& path);

}  // namespace korvalis::catalogue
