// The hidden main window on a real screen: whatever its first steps meet, the program stays
// visible in the notification area and can be closed.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/win32/Korvalis.h"
#include "catalogue/SearchPath.h"
#include "gui/GuiTest.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "ui/Application.h"

namespace korvalis::app {

using namespace korvalis::testing;

TEST(MainWindowTest, AFirstSnapshotThatFailedLeftAProcessWithoutTrayIcon) {
  platform::memory::MemoryWindows windows;
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) -> platform::Status {
    if (op.kind == platform::memory::RegistryOperation::Kind::Open) throw Error("Registry unavailable");
    return platform::kSuccess;
  });
  const catalogue::SearchPath searchPath;
  reportedErrors.clear();
  {
    TfrmMain main(windows.platform(), searchPath);
    main.Create();
    EXPECT_EQ(reportedErrors, (std::vector<std::string>{"Registry unavailable."}));
    EXPECT_TRUE(main.TrayIcon().Shown());
    EXPECT_TRUE(main.TrayIcon().Active());
  }
}

TEST(MainWindowTest, StartupProgramsShowsTheGuardsSnapshotInOneWindow) {
  platform::memory::MemoryWindows windows;
  windows.registry.PutString(platform::RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Agent", "C:\\agent.exe");
  const catalogue::SearchPath searchPath;
  TfrmMain main(windows.platform(), searchPath);
  main.Create();
  main.StartupPrograms1Click();
  HWND overview = FindWindowA(nullptr, "Startup Programs");
  ASSERT_TRUE(overview && IsWindowVisible(overview));
  HWND list = FindWindowExA(overview, nullptr, WC_LISTVIEWA, nullptr);
  EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 2);  // the place's heading and the entry
  ShowWindow(overview, SW_HIDE);
  main.StartupPrograms1Click();
  EXPECT_TRUE(IsWindowVisible(overview));
  EXPECT_EQ(FindWindowA(nullptr, "Startup Programs"), overview) << "a second window was opened";
}

}  // namespace korvalis::app
