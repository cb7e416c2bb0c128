#pragma once
// Korvalis starting with Windows: its own value in the current user's Run key.
#include <string>

#include "platform/Platform.h"

namespace korvalis::app {

constexpr const char* kAutostartValue = "Korvalis";
constexpr const char* kUserRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The command the value holds: the program's full path, quoted so that a path with blanks
// cannot start another program on the way.
std::string AutostartCommand(const std::string& programPath);

// True when the value names this program file (letter case of A to Z ignored), quoted or
// plain. Fails with "Invalid data type for 'Korvalis'" for a value that is not a string.
bool IsAutostartSet(const platform::Platform& platform);

// Writes the value (true) or deletes it (false). Fails with "Failed to set data for 'Korvalis'"
// or "Failed to delete value 'Korvalis'" instead of pretending it was done.
void SetAutostart(const platform::Platform& platform, bool enabled);

}  // namespace korvalis::app
