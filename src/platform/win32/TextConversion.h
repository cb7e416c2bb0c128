#pragma once
#include <string>

namespace korvalis::platform::win32 {

// 8-bit text in the system's ANSI code page to UTF-16, whole, however long.
std::wstring AnsiToWide(const std::string& text);
// UTF-16 to the ANSI code page, whole: length characters, NULs included.
std::string WideToAnsi(const wchar_t* text, std::size_t length);

}  // namespace korvalis::platform::win32
