// The overview of everything that starts on a real screen, with as many entries as a crowded
// machine has: it shows them at once, looks at their program files afterwards, and filters.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <chrono>
#include <iostream>
#include <thread>

#include "catalogue/Startups.h"
#include "dialogs/win32/StartupOverviewDlg.h"
#include "gui/GuiTest.h"
#include "platform/win32/Win32Windows.h"
#include "support/WindowDriver.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace korvalis::testing;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kEntries = 2000;
constexpr char kCaption[] = "Startup Programs";

void Select(HWND list, int line) {
  LVITEMA item{};
  item.state = item.stateMask = LVIS_SELECTED;
  SendMessageA(list, LVM_SETITEMSTATE, line, reinterpret_cast<LPARAM>(&item));
}

int Lines(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

// Runs the window's messages until the driver is done: it reads the list through them.
void RunUntil(const std::atomic<bool>& done) {
  while (!done) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (ui::Application().PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

struct ScopeExit {
  explicit ScopeExit(std::function<void()> at) : at_(std::move(at)) {}
  ~ScopeExit() { at_(); }
  std::function<void()> at_;
};

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

TEST(StartupOverviewTest, TwoThousandEntriesAreShownAtOnceGroupedByPlaceAndTheSearchFiltersThem) {
  platform::win32::Win32Windows windows;
  const catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
  catalogue::TStartups snapshot(0, windows.platform());
  const catalogue::Section places[] = {catalogue::kCurrentUserRun, catalogue::kLocalMachineRun,
                                       catalogue::kLocalMachineRunOther};
  for (int i = 0; i < kEntries; ++i) {
    // A few programs that are there, the rest installed programs of their own folders.
    const std::string command = i % 10 == 0 ? "C:\\windows\\system32\\notepad.exe /tray " + std::to_string(i)
                                            : "\"C:\\Program Files\\Vendor " + std::to_string(i % 97) + "\\Agent" +
                                                  std::to_string(i) + ".exe\" --background";
    snapshot.Add("Agent " + std::to_string(i), "", command, places[i % 3], 0);
  }
  // Timed as from the menu's click: the rows made from the guard's snapshot, then the window.
  const Clock::time_point start = Clock::now();
  const std::vector<TOverviewRow> rows = OverviewRows(snapshot, true);
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kEntries));

  double shownMs = -1, checkedMs = -1;
  int linesAtFirst = 0, linesFound = 0;
  std::vector<std::string> first, found;
  std::string last, progressAtEnd, factsOfFirst;
  std::atomic<bool> driven{false};
  std::thread driver([&] {
    const ScopeExit signal([&] { driven = true; });
    HWND window = WaitForWindow(kCaption);
    if (!window) return;
    HWND list = ChildOfClass(window, WC_LISTVIEWA);
    while (Lines(list) < kEntries && MsSince(start) < 10000) Sleep(5);
    shownMs = MsSince(start);
    linesAtFirst = Lines(list);
    first = {ListCell(list, 0, 0), ListCell(list, 1, 0), ListCell(list, 1, 1), ListCell(list, 1, 2), ListCell(list, 1, 4)};
    last = ListCell(list, kEntries + 2, 0);
    const std::string done = "2000 entries shown of 2000";
    while (!ChildWithText(window, done) && MsSince(start) < 30000) Sleep(20);
    checkedMs = MsSince(start);
    SaveScreenshot(ArtifactPath("startup-overview.bmp"));
    progressAtEnd = ChildWithText(window, done) ? done : "";
    factsOfFirst = ListCell(list, 1, 3);
    SendMessageA(ChildOfClass(window, "Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("agent1999.EXE"));
    linesFound = Lines(list);
    found = {ListCell(list, 0, 0), ListCell(list, 1, 0)};
    // A heading selected with a row is no entry to act on.
    Select(list, 0);
    Select(list, 1);
    PressButton(window, "D&elete");
    // Esc closes it, as the program's message loop hands it the dialog keys.
    PressKey(list, VK_ESCAPE);
    WaitUntilGone(window, 5000);
  });
  TfrmStartupOverview overview(nullptr, windows.platform(), searchPath);
  overview.Create();
  std::vector<std::string> deleted;
  overview.OnDelete = [&](const std::vector<TOverviewRow>& selected) {
    for (const TOverviewRow& row : selected) deleted.push_back(row.valueName);
  };
  overview.ShowRows(rows);
  RunUntil(driven);
  driver.join();
  std::cout << "Overview of " << kEntries << " entries: rows shown after " << shownMs
            << " ms, every program file looked at after " << checkedMs << " ms\n";

  EXPECT_FALSE(IsWindowVisible(overview.Handle())) << "Esc left the window open";
  // One heading per place, the rows under it in the order read.
  const auto inFirstPlace = std::count_if(rows.begin(), rows.end(), [&](const TOverviewRow& row) {
    return row.section == rows.front().section;
  });
  EXPECT_EQ(linesAtFirst, kEntries + 3);
  EXPECT_EQ(first, (std::vector<std::string>{HeadingText(rows.front().section, static_cast<std::size_t>(inFirstPlace)),
                                             "    " + rows.front().name, rows.front().command,
                                             catalogue::SectionName(rows.front().section), "Starts"}));
  EXPECT_EQ(last, "    " + rows.back().name);
  EXPECT_EQ(progressAtEnd, "2000 entries shown of 2000");
  // Each program file was looked at: notepad is there, the vendors' programs are not.
  const std::vector<TOverviewRow>& looked = overview.Rows();
  const auto missing = std::count_if(looked.begin(), looked.end(), [](const TOverviewRow& row) {
    return row.facts && FactsText(row) == "Program file not found";
  });
  const auto there = std::count_if(looked.begin(), looked.end(), [](const TOverviewRow& row) {
    return row.facts && row.facts->lookup == platform::FileLookup::Found;
  });
  EXPECT_EQ(missing, kEntries - kEntries / 10);
  EXPECT_EQ(there, kEntries / 10);
  EXPECT_EQ(factsOfFirst, FactsText(looked.front()));
  EXPECT_EQ(linesFound, 2);
  EXPECT_EQ(deleted, std::vector<std::string>{"Agent 1999"});
  EXPECT_EQ(found, (std::vector<std::string>{"Local Machine Run (1)", "    Agent 1999"}));
  EXPECT_LT(shownMs, 2000) << "the rows must not wait for the program files";
}

}  // namespace korvalis::dialogs
