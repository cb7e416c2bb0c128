// Program entry: the component object system for this thread, the program search path, the
// hidden main window and the message loop.
#include <objbase.h>
#include <windows.h>

#include <commctrl.h>

#include "app/win32/Korvalis.h"
#include "catalogue/SearchPath.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Windows.h"
#include "ui/Application.h"

namespace {

class ComScope {
 public:
  ComScope() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (initialized_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialized_;
};

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

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace korvalis;
  SingleInstance single;
  if (single.AlreadyRunning()) return 0;
  ComScope com;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  platform::win32::Win32Windows windows;
  const catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
  ui::TApplication& application = ui::Application();
  application.Initialize(instance);
  application.Title = "Korvalis";
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
