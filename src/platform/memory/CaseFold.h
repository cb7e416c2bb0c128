#pragma once
// Case-insensitive names as the system compares registry and file names.
#include <string>

namespace korvalis::platform::memory {

std::string FoldCase(const std::string& text);
bool SameName(const std::string& a, const std::string& b);

}  // namespace korvalis::platform::memory
