#include "platform/win32/TextConversion.h"

#include <windows.h>

namespace korvalis::platform::win32 {

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return {};
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), needed);
  return wide;
}

std::string WideToAnsi(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int count = static_cast<int>(length);
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, count, ansi.data(), needed, nullptr, nullptr);
  return ansi;
}

}  // namespace korvalis::platform::win32
