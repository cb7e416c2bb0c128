#include "platform/win32/Win32EventLog.h"

#include <windows.h>

namespace korvalis::platform::win32 {

// Records can only be reported through a handle of a registered source; a handle from
// opening the log for reading is refused by the event log service.
std::uintptr_t Win32EventLog::Open(const std::string& source) {
  return reinterpret_cast<std::uintptr_t>(RegisterEventSourceA(nullptr, source.c_str()));
}

bool Win32EventLog::Report(std::uintptr_t handle, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                           const std::vector<std::string>& strings) {
  std::vector<const char*> pointers;
  for (const auto& text : strings) pointers.push_back(text.c_str());
  return ReportEventA(reinterpret_cast<HANDLE>(handle), type, category, eventId, nullptr,
                      static_cast<WORD>(pointers.size()), 0, pointers.empty() ? nullptr : pointers.data(),
                      nullptr) != FALSE;
}

void Win32EventLog::Close(std::uintptr_t handle) {
  if (handle) DeregisterEventSource(reinterpret_cast<HANDLE>(handle));
}

}  // namespace korvalis::platform::win32
