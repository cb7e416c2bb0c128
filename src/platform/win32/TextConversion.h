#pragma once
#include <string>

namespace korvalis::platform::win32 {

// 8-bit text in the system's ANSI code page to UTF-16, whole, however long.
std::wstring AnsiToWide(const std::string& text);

}  // namespace korvalis::platform::win32
