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

}  // namespace korvalis::platform::win32
