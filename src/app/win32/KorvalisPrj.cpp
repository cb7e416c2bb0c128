// Program entry: the component object system for this thread, the program search path, the
// hidden main window and the message loop; or, started with the elevated switch, the elevated
// copy carrying out one request file; or, with the inspect switch, the helper that reads files'
// signatures for the resident.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "app/ElevatedCopy.h"
#include "app/win32/Korvalis.h"
#include "dialogs/win32/AsAdministratorDlg.h"
#include "catalogue/SearchPath.h"
#include "platform/win32/ComScope.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32FactsHelper.h"
#include "platform/win32/Win32Windows.h"
#include "ui/Application.h"

namespace {

// One guard per user session: a second start would ask every question twice.
class SingleInstance {
 public:
  SingleInstance() : mutex_(CreateMutexA(nullptr, FALSE, "Local\\Korvalis.Resident")) {
    alreadyRunning_ = GetLastError() == ERROR_ALREADY_EXISTS;
  }
  bool AlreadyRunning() const { return alreadyRunning_; }

 private:
  korvalis::platform::win32::UniqueMutex mutex_;
  bool alreadyRunning_ = false;
};

// Every library loaded from now on comes from the system folder only, never from the program's
// own folder or the current one. (Those the program file imports are loaded before this runs:
// that its folder is the administrators' alone is what the install check makes sure of.)
void LoadLibrariesFromTheSystemOnly() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  // Windows 7 has it only with its update KB2533623.
  const auto set = reinterpret_cast<SetDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (!set || !set(kSearchSystem32)) SetDllDirectoryA("");
}

std::wstring OwnProgramFile() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length < path.size() ? length : 0);
  return path;
}

// Shows the request's steps in a window of its own and carries them out on the user's OK only.
int RunElevatedCopy(HINSTANCE instance, const char* requestPath) {
  using namespace korvalis;
  // Shortcuts in the all-users Startup folder are read through the shell's objects.
  const platform::win32::ComScope com;
  platform::win32::Win32Windows windows;
  ui::TApplication& application = ui::Application();
  application.Initialize(instance);
  application.Title = "Korvalis";
  int exitCode = app::kElevatedRefused;
  ui::Guarded([&] {
    exitCode = app::RunElevatedRequest(windows.platform(), requestPath, [](const std::vector<std::string>& steps, const std::string& code) {
      dialogs::TfrmAsAdministrator confirmation(nullptr, dialogs::ElevatedStepsText());
      confirmation.Create();
      return confirmation.Confirm(steps, code);
    });
  });
  return exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace korvalis;
  LoadLibrariesFromTheSystemOnly();
  // Before the resident's guard: the elevated copy runs beside the resident program. A second
  // verb or argument is no request it knows.
  if (__argc > 1 && _stricmp(__argv[1], app::kElevatedSwitch) == 0)
    return __argc == 3 ? RunElevatedCopy(instance, __argv[2]) : app::kElevatedRefused;
  if (__argc == 2 && _stricmp(__argv[1], platform::win32::kInspectSwitch) == 0) {
    platform::win32::Win32FileInspector inspector;
    return platform::win32::ServeInspections(inspector);
  }
  SingleInstance single;
  if (single.AlreadyRunning()) return 0;
  const platform::win32::ComScope com;

  platform::win32::Win32Windows windows;
  platform::win32::Win32HelperInspector helper(OwnProgramFile());
  windows.background = &helper;
  const catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
  ui::TApplication& application = ui::Application();
  application.Initialize(instance);
  application.Title = "Korvalis";
  // While the elevated copy runs, the tray, the watches and a request to end are still answered.
  windows.elevation.waitFor = [&application](void* process) { return application.WaitFor(process); };
  {
    app::TfrmMain main(windows.platform(), searchPath);
    application.SetMainForm(&main);
    bool created = false;
    ui::Guarded([&] {
      main.Create();
      created = true;
    });
    // Reported; a process without its window and icon could be neither seen nor closed, and
    // would keep a new start from running.
    if (!created) return 1;
    application.Run();
    application.SetMainForm(nullptr);
  }
  return 0;
}
