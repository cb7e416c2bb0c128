// The grouped question on a real screen, driven from a second thread as a user would drive it.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "catalogue/Startups.h"
#include "dialogs/win32/GroupedChangeDlg.h"
#include "gui/GuiTest.h"
#include "platform/memory/MemoryWindows.h"
#include "platform/win32/Win32Windows.h"
#include "text/Fileman.h"
#include "support/WindowDriver.h"

namespace korvalis::dialogs {

using catalogue::ChangeKind;
using namespace korvalis::testing;

namespace {

constexpr char kCaption[] = "Startup Programs Changed (40)";
constexpr int kCount = 40;
constexpr char kUndoAll[] = "&Undo all";

// The list's rows are read and ticked through its messages, which the driver thread may send
// with pointers because it shares the dialog's process.
void Tick(HWND list, int row) {
  LVITEMA item{};
  item.state = INDEXTOSTATEIMAGEMASK(2);
  item.stateMask = LVIS_STATEIMAGEMASK;
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void Select(HWND list, int row) {
  LVITEMA item{};
  item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool Ticked(HWND list, int row) {
  return (SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) ==
         INDEXTOSTATEIMAGEMASK(2);
}

std::vector<std::string> Row(HWND list, int row) {
  std::vector<std::string> cells;
  for (int column = 0; column < 4; ++column) cells.push_back(ListCell(list, row, column));
  return cells;
}

std::vector<bool> Only(std::initializer_list<int> rows) {
  std::vector<bool> answers(kCount, false);
  for (int row : rows) answers[static_cast<std::size_t>(row)] = true;
  return answers;
}

class GroupedChangeDialogTest : public ::testing::Test {
 protected:
  // What an installer leaves behind in one go, with the odd name a planted value can have.
  void SetUp() override {
    const catalogue::Section sections[] = {catalogue::kCurrentUserRun, catalogue::kLocalMachineRun,
                                           catalogue::kLocalMachineRunOnce};
    const ChangeKind kinds[] = {ChangeKind::Added, ChangeKind::Removed, ChangeKind::Changed};
    for (int i = 0; i < kCount; ++i) {
      std::string name = "Vendor Agent " + std::to_string(i);
      if (i == 1) name = std::string("Hidden\0Run", 10);
      if (i == 2) name = "R&D Helper";
      const std::string command = i % 4 == 0 ? "C:\\windows\\system32\\notepad.exe /background " + std::to_string(i)
                                             : "\"C:\\Program Files\\Vendor\\Suite\\agent" + std::to_string(i) +
                                                   ".exe\" --silent --update-channel=stable";
      changes.push_back({entries.Add(name, "", command, sections[i % 3], 0), kinds[i % 3]});
    }
  }

  // Runs the dialog while the driver acts on it from its own thread.
  std::vector<bool> Ask(const std::function<void(HWND dialog, HWND list)>& drive, bool whileNotRunning = false) {
    bool closedByDriver = true;
    std::thread driver([&] {
      HWND dialog = WaitForWindow(kCaption);
      if (!dialog) return;
      HWND list = ChildOfClass(dialog, WC_LISTVIEWA);
      seen = StaticTexts(dialog);
      drive(dialog, list);
      // A dialog the driver's action did not close must not hang the run.
      if (!WaitUntilGone(dialog, 5000)) {
        closedByDriver = false;
        PressButton(dialog, kUndoAll);
      }
    });
    TfrmGroupedChangeDlg dialog(nullptr, windows.platform(), searchPath);
    dialog.Create();
    const std::vector<bool> answers = dialog.Confirm(changes, whileNotRunning);
    driver.join();
    EXPECT_TRUE(closedByDriver) << "the dialog stayed open";
    return answers;
  }
  bool Shows(const std::string& text) const { return std::find(seen.begin(), seen.end(), text) != seen.end(); }

  platform::win32::Win32Windows windows;
  catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
  catalogue::TStartups entries{0, windows.platform()};
  std::vector<TGroupedChange> changes;
  std::vector<std::string> seen;
};

}  // namespace

TEST(GroupedChangeDialogNetworkTest, NoPathOnTheNetworkIsLookedAtAndIconsComeOnceTheQuestionIsShown) {
  // Each of these would cost a network timeout if it were looked at.
  const std::vector<std::string> commands = {
      "\\\\10.255.255.1\\x.exe", "\"\\\\10.255.255.1\\share\\a b.exe\" /q", "//10.255.255.1/z.exe",
      "\\\\?\\UNC\\10.255.255.1\\s\\y.exe", "relative.exe /x", "C:\\Tools\\local.exe",
      "C:\\Tools\\other.exe -q", "notepad.exe", "N:\\mapped.exe"};
  platform::memory::MemoryWindows memory;
  memory.files.AddFile("C:\\Tools\\local.exe");
  memory.inspector.remoteDrives = "N";  // a drive letter mapped to a share
  catalogue::TStartups entries{0, memory.platform()};
  std::vector<TGroupedChange> changes;
  for (std::size_t i = 0; i < commands.size(); ++i)
    changes.push_back({entries.Add("Entry " + std::to_string(i), "", commands[i], catalogue::kCurrentUserRun, 0),
                       ChangeKind::Added});
  const std::string caption = "Startup Programs Changed (" + std::to_string(commands.size()) + ")";
  struct Asked {
    std::string path;
    bool dialogShown;
  };
  std::vector<Asked> asked;
  memory.files.SetHook([&](const platform::memory::FileOperation& operation) {
    const HWND shown = FindWindowA(nullptr, caption.c_str());
    asked.push_back({operation.path, shown && IsWindowVisible(shown)});
    return true;
  });
  int rowsWithIcons = 0;
  std::thread driver([&] {
    HWND dialog = WaitForWindow(caption);
    if (!dialog) return;
    HWND list = ChildOfClass(dialog, WC_LISTVIEWA);
    for (int attempt = 0; attempt < 100 && rowsWithIcons < static_cast<int>(commands.size()); ++attempt) {
      Sleep(50);
      rowsWithIcons = 0;
      for (int row = 0; row < static_cast<int>(commands.size()); ++row) {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        rowsWithIcons += item.iImage != I_IMAGENONE;
      }
    }
    PressButton(dialog, kUndoAll);
  });
  // A folder of the search path on the network is not searched either.
  const catalogue::SearchPath searchPath{"\\\\10.255.255.1\\tools", "N:\\bin", "C:\\Tools"};
  TfrmGroupedChangeDlg dialog(nullptr, memory.platform(), searchPath);
  dialog.Create();
  const std::vector<bool> answers = dialog.Confirm(changes, false);
  driver.join();
  EXPECT_EQ(answers, std::vector<bool>(commands.size(), false));
  EXPECT_EQ(rowsWithIcons, static_cast<int>(commands.size()));  // those on the network by their kind
  ASSERT_FALSE(asked.empty());
  for (const Asked& question : asked) {
    EXPECT_FALSE(text::IsNetworkPath(question.path) || question.path.rfind("N:", 0) == 0) << question.path;
    EXPECT_TRUE(question.dialogShown) << question.path << " was looked at before the question was shown";
  }
}

TEST_F(GroupedChangeDialogTest, FortyChangesAreListedUntickedAndOnlyTheTickedOnesAreAllowed) {
  int rows = 0, tickedAtFirst = 0;
  bool hasIcons = false;
  std::vector<std::vector<std::string>> shown;
  std::vector<std::string> afterSelecting;
  const std::vector<bool> answers = Ask([&](HWND dialog, HWND list) {
    rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) tickedAtFirst += Ticked(list, row);
    for (int row = 0; row < 4; ++row) shown.push_back(Row(list, row));
    hasIcons = SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0) != 0;
    Select(list, 5);
    afterSelecting = StaticTexts(dialog);
    SaveScreenshot(ArtifactPath("grouped-change-dialog.bmp"));
    Tick(list, 3);
    Tick(list, 17);
    PressButton(dialog, "&Allow checked, undo the rest");
  });
  EXPECT_EQ(answers, Only({3, 17}));
  EXPECT_EQ(rows, kCount);
  EXPECT_EQ(tickedAtFirst, 0);
  EXPECT_TRUE(hasIcons);
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0], (std::vector<std::string>{"Vendor Agent 0", "C:\\windows\\system32\\notepad.exe /background 0",
                                                "Current User Run", "added"}));
  EXPECT_EQ(shown[1][0], "Hidden\\0Run");
  EXPECT_EQ(shown[1][2], "Local Machine Run");
  EXPECT_EQ(shown[1][3], "removed");
  EXPECT_EQ(shown[2][0], "R&D Helper");
  EXPECT_EQ(shown[2][3], "changed");
  EXPECT_TRUE(Shows("Would you allow the following changes?"));
  EXPECT_NE(std::find(afterSelecting.begin(), afterSelecting.end(), changes[5].entry->Command()), afterSelecting.end())
      << "the selected row's whole command line is shown";
}

TEST_F(GroupedChangeDialogTest, AllowAllAllowsEveryChangeAndSaysWhenTheyWereMadeWhileNotRunning) {
  const std::vector<bool> answers = Ask([](HWND dialog, HWND) { PressButton(dialog, "Allow a&ll"); }, true);
  EXPECT_EQ(answers, std::vector<bool>(kCount, true));
  EXPECT_TRUE(Shows("These changes were made while Korvalis was not running. Would you allow them?"));
}

TEST_F(GroupedChangeDialogTest, UndoAllEscAndTheCloseBoxUndoEvenTheTickedOnesAndEnterAnswersNothing) {
  const auto tickThen = [](std::function<void(HWND)> answer) {
    return [answer](HWND dialog, HWND list) {
      Tick(list, 0);
      Tick(list, 39);
      answer(dialog);
    };
  };
  const std::vector<bool> none(kCount, false);
  EXPECT_EQ(Ask(tickThen([](HWND dialog) { PressButton(dialog, kUndoAll); })), none);
  EXPECT_EQ(Ask(tickThen([](HWND dialog) { PressKey(dialog, VK_ESCAPE); })), none);
  EXPECT_EQ(Ask(tickThen([](HWND dialog) { PressCloseBox(dialog); })), none);
  bool stayedOpen = false;
  EXPECT_EQ(Ask(tickThen([&](HWND dialog) {
              PressKey(dialog, VK_RETURN);
              stayedOpen = !WaitUntilGone(dialog, 700);
              PressCloseBox(dialog);
            })),
            none);
  EXPECT_TRUE(stayedOpen) << "Enter in the list answered the question";
}

}  // namespace korvalis::dialogs
