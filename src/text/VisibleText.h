#pragma once
// Text that may hold control characters, made fit to show and to log: a registry value's name
// can carry a NUL, which a window caption or a log line would otherwise cut or keep raw.
#include <string>

namespace korvalis::text {

// Each NUL becomes the two characters \0, every other character below 32 becomes \xNN (two
// upper-case hex digits); everything else, bytes above 127 included, is kept as it is.
std::string VisibleText(const std::string& text);

}  // namespace korvalis::text
