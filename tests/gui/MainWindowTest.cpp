// The hidden main window on a real screen: whatever its first steps meet, the program stays
// visible in the notification area and can be closed.
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

}  // namespace korvalis::app
