#include "platform/win32/Win32Elevation.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/Handles.h"

namespace korvalis::platform::win32 {

Status Win32Elevation::RunElevated(const std::string& program, const std::string& arguments, WindowHandle owner,
                                   std::uint32_t& exitCode) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // NOASYNC: the call returns only once the program is started or the prompt was declined.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = reinterpret_cast<HWND>(owner);
  info.lpVerb = "runas";
  info.lpFile = program.c_str();
  info.lpParameters = arguments.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info)) return static_cast<Status>(GetLastError());
  UniqueProcess process(info.hProcess);
  if (!process) return kErrorInvalidParameter;  // started through something that hands back no process
  if (waitFor) {
    if (const Status waited = waitFor(process.get()); waited != kSuccess) return waited;
  } else if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
    return static_cast<Status>(GetLastError());
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) return static_cast<Status>(GetLastError());
  exitCode = code;
  return kSuccess;
}

}  // namespace korvalis::platform::win32
