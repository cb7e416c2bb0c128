// The change dialog on a real screen, driven from a second thread as a user would drive it.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "catalogue/Startups.h"
#include "dialogs/CommandText.h"
#include "dialogs/InfoLinks.h"
#include "dialogs/win32/StartupItemChangeDlg.h"
#include "gui/GuiTest.h"
#include "platform/memory/MemoryWindows.h"
#include "platform/win32/Win32Windows.h"
#include "support/WindowDriver.h"

namespace korvalis::dialogs {

using catalogue::ChangeKind;
using namespace korvalis::testing;

namespace {

constexpr char kCaption[] = "Startup Programs Changed";

class ChangeDialogTest : public ::testing::Test {
 protected:
  // Runs the dialog for one entry while the driver acts on it from its own thread.
  bool Ask(const std::string& name, const std::string& command, catalogue::Section section, ChangeKind kind,
           const std::function<void(HWND)>& drive) {
    catalogue::TStartups entries(0, windows.platform());
    const catalogue::TStartup* entry = entries.Add(name, "", command, section, 0);
    bool closedByDriver = true;
    std::thread driver([&] {
      HWND dialog = WaitForWindow(kCaption);
      if (!dialog) return;
      seen = StaticTexts(dialog);
      drive(dialog);
      // A dialog the driver's action did not close must not hang the run.
      if (!WaitUntilGone(dialog, 5000)) {
        closedByDriver = false;
        PressButton(dialog, "&No");
      }
    });
    TfrmChangeDlg dialog(nullptr, platform(), searchPath);
    dialog.Create();
    const bool answer = dialog.Confirm(*entry, kind);
    driver.join();
    EXPECT_TRUE(closedByDriver) << "the dialog stayed open";
    return answer;
  }
  platform::Platform platform() { return useMemoryShell ? memory.platform() : windows.platform(); }
  bool Shows(const std::string& text) const { return std::find(seen.begin(), seen.end(), text) != seen.end(); }

  platform::win32::Win32Windows windows;
  platform::memory::MemoryWindows memory;
  bool useMemoryShell = false;
  catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
  std::vector<std::string> seen;
};

}  // namespace

TEST_F(ChangeDialogTest, AnAddedEntryShowsItsNameCommandLocationAndYesAllowsIt) {
  const bool answer = Ask("Updater", "C:\\Tools\\upd.exe /q", catalogue::kCurrentUserRun, ChangeKind::Added,
                          [](HWND dialog) {
                            SaveScreenshot(ArtifactPath("change-dialog.bmp"));
                            PressButton(dialog, "&Yes");
                          });
  EXPECT_TRUE(answer);
  EXPECT_TRUE(Shows("Updater"));
  EXPECT_TRUE(Shows("C:\\Tools\\upd.exe /q"));
  EXPECT_TRUE(Shows("in Current User Run"));
  EXPECT_TRUE(Shows("has been added"));
  EXPECT_TRUE(Shows("Would you allow the following"));
}

TEST_F(ChangeDialogTest, ARemovedEntryIsAnsweredNo) {
  EXPECT_FALSE(Ask("Agent", "C:\\agent.exe", catalogue::kCurrentUserRun, ChangeKind::Removed,
                   [](HWND dialog) { PressButton(dialog, "&No"); }));
  EXPECT_TRUE(Shows("has been removed"));
  EXPECT_TRUE(Shows("in Current User Run"));
}

TEST_F(ChangeDialogTest, TheCloseBoxAndEscCountAsNo) {
  EXPECT_FALSE(Ask("Agent", "C:\\agent.exe", catalogue::kLocalMachineRun, ChangeKind::Changed,
                   [](HWND dialog) { PressCloseBox(dialog); }));
  EXPECT_TRUE(Shows("has been changed"));
  EXPECT_TRUE(Shows("in Local Machine Run"));
  EXPECT_FALSE(Ask("Agent", "C:\\agent.exe", catalogue::kLocalMachineServices, ChangeKind::Added,
                   [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }));
  EXPECT_TRUE(Shows("in Local Machine Services"));
}

TEST_F(ChangeDialogTest, EnterOnTheFocusedYesButtonAllows) {
  EXPECT_TRUE(Ask("Agent", "C:\\agent.exe", catalogue::kCurrentUserRunOnce, ChangeKind::Added,
                  [](HWND dialog) { PressKey(dialog, VK_RETURN); }));
}

TEST_F(ChangeDialogTest, AnAmpersandInANameOrCommandIsShownAsItStands) {
  Ask("R&D Tool", "C:\\R&D\\tool.exe", catalogue::kCurrentUserRun, ChangeKind::Added,
      [](HWND dialog) { PressButton(dialog, "&No"); });
  EXPECT_TRUE(Shows("R&D Tool"));
  EXPECT_TRUE(Shows("C:\\R&D\\tool.exe"));
}

TEST_F(ChangeDialogTest, AHugeCommandIsShownCutWithTheWholeOfItAClickAway) {
  const std::string command = "C:\\Tools\\huge.exe " + std::string(1000000, 'x');
  bool buttonShown = false;
  int wholeLength = 0;
  Ask("Huge", command, catalogue::kCurrentUserRun, ChangeKind::Added, [&](HWND dialog) {
    const HWND button = ChildWithText(dialog, "Show whole command ...");
    buttonShown = button && IsWindowVisible(button);
    PressButton(dialog, "Show whole command ...");
    if (HWND whole = WaitForWindow("Whole Command")) {
      for (const ChildWindow& child : Children(whole))
        if (child.className == "Edit") wholeLength = GetWindowTextLengthA(child.handle);
      PressButton(whole, "&Close");
      WaitUntilGone(whole);
    }
    PressButton(dialog, "&No");
  });
  EXPECT_TRUE(Shows(ShownCommand(command)));
  EXPECT_TRUE(buttonShown);
  EXPECT_EQ(wholeLength, static_cast<int>(command.size()));
  // A command that fits is shown whole, without the button.
  Ask("Short", "C:\\short.exe", catalogue::kCurrentUserRun, ChangeKind::Added, [&](HWND dialog) {
    const HWND button = ChildWithText(dialog, "Show whole command ...");
    buttonShown = button && IsWindowVisible(button);
    PressButton(dialog, "&No");
  });
  EXPECT_FALSE(buttonShown);
}

TEST_F(ChangeDialogTest, TheInformationButtonsStartExplorerAndTheBrowserAndLeaveTheDialogOpen) {
  useMemoryShell = true;
  const bool answer = Ask("Tool", "\"C:\\Program Files\\Tool\\tool.exe\" -min", catalogue::kCurrentUserRun,
                          ChangeKind::Added, [](HWND dialog) {
                            PressButton(dialog, "Locate program ...");
                            PressButton(dialog, "Show Online Information ...");
                            Sleep(300);
                            PressButton(dialog, "&No");
                          });
  EXPECT_FALSE(answer);
  ASSERT_EQ(memory.shell.executed.size(), 2u);
  EXPECT_EQ(memory.shell.executed[0].file, "explorer.exe");
  EXPECT_EQ(memory.shell.executed[0].verb, "open");
  EXPECT_EQ(memory.shell.executed[0].parameters, "\"C:\\Program Files\\Tool\"");
  EXPECT_EQ(memory.shell.executed[0].showCommand, SW_SHOWNORMAL);
  EXPECT_EQ(memory.shell.executed[1].file,
            std::string(kOnlineInfoBase) + "search.php?filename=tool.exe%22%20-min&title=Tool");
  EXPECT_NE(memory.shell.executed[1].parent, 0u);
}

}  // namespace korvalis::dialogs
