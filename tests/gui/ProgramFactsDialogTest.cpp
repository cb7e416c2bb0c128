// What the questions say about the program files, on a real screen: a copy of a small program
// signed at build time under a root the machine is made to trust, the unsigned original, a
// program that is gone, one that is a pipe, and one whose read does not end.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "catalogue/Startups.h"
#include "dialogs/CommandText.h"
#include "dialogs/ProgramFacts.h"
#include "dialogs/win32/GroupedChangeDlg.h"
#include "dialogs/win32/StartupItemChangeDlg.h"
#include "gui/GuiTest.h"
#include "platform/memory/MemoryWindows.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Windows.h"
#include "support/SignedSamples.h"
#include "support/WindowDriver.h"

namespace korvalis::dialogs {

using catalogue::ChangeKind;
using namespace korvalis::testing;

namespace {

constexpr char kSignedFacts[] =
    "Signed by Korvalis Test Publisher, revocation not checked\r\nCompany: Korvalis Test Works\r\nProduct: Korvalis Probe";
constexpr char kUnsignedFacts[] = "Not signed\r\nCompany: Korvalis Test Works\r\nProduct: Korvalis Probe";

// The window's first label whose text begins so, once one does; empty when none does in time.
std::string LabelBeginningWith(HWND window, const std::string& start, int timeoutMs = 10000) {
  for (int waited = 0;; waited += 50) {
    for (const std::string& text : StaticTexts(window))
      if (text.rfind(start, 0) == 0) return text;
    if (waited >= timeoutMs) return "";
    Sleep(50);
  }
}

// The window's label beginning so, once it reads expected or the time is up: what it read last.
std::string LabelOnceItIs(HWND window, const std::string& start, const std::string& expected) {
  std::string text;
  for (int waited = 0; waited < 10000 && text != expected; waited += 50) {
    text = LabelBeginningWith(window, start, 0);
    if (text != expected) Sleep(50);
  }
  return text;
}

void Select(HWND list, int row) {
  LVITEMA item{};
  item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool ButtonShown(HWND dialog, const std::string& caption) {
  const HWND button = ChildWithText(dialog, caption);
  return button && IsWindowVisible(button);
}

// Where the samples stand in the questions, as installed programs would.
std::string Browser() {
  return InstalledSample(SignedSample("trusted.exe"), "C:\\Program Files\\Acme\\Browser\\1.3.0\\browser.exe");
}
std::string Tool() { return InstalledSample(UnsignedSample(), "C:\\Program Files\\Acme\\Tools\\agent.exe"); }

class ProgramFactsDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(TrustSamplesRoot()) << "the signed samples are made at build time"; }

  // Runs the question about these commands while the driver acts on it from its own thread;
  // the driver's action must close it.
  void AskGrouped(const std::vector<std::string>& commands, const std::function<void(HWND dialog, HWND list)>& drive) {
    std::vector<TGroupedChange> changes;
    for (std::size_t i = 0; i < commands.size(); ++i)
      changes.push_back({entries.Add("Agent " + std::to_string(i), "", commands[i], catalogue::kCurrentUserRun, 0),
                         ChangeKind::Added});
    AskGrouped(changes, drive);
  }

  void AskGrouped(const std::vector<TGroupedChange>& changes,
                  const std::function<void(HWND dialog, HWND list)>& drive) {
    const std::string caption = "Startup Programs Changed (" + std::to_string(changes.size()) + ")";
    std::thread driver([&] {
      if (HWND dialog = WaitForWindow(caption)) {
        drive(dialog, ChildOfClass(dialog, WC_LISTVIEWA));
        if (!WaitUntilGone(dialog, 5000)) {
          ADD_FAILURE() << "the question stayed open";
          PressButton(dialog, "&Undo all");
        }
      }
    });
    TfrmGroupedChangeDlg dialog(nullptr, windows.platform(), searchPath);
    dialog.Create();
    dialog.Confirm(changes, false);
    driver.join();
  }

  platform::win32::Win32Windows windows;
  catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
  catalogue::TStartups entries{0, windows.platform()};
};

}  // namespace

TEST_F(ProgramFactsDialogTest, TheSingleQuestionSaysWhoSignedTheProgramAndWhoseProductItIs) {
  struct Case {
    std::string command, facts, screenshot;
  };
  const Case cases[] = {
      {"\"" + Browser() + "\" /background", kSignedFacts, "change-dialog-signed.bmp"},
      {"\"" + Tool() + "\"", kUnsignedFacts, "change-dialog-unsigned.bmp"},
      {"C:\\Gone\\agent.exe -q", "Program file not found", ""},
  };
  for (const Case& c : cases) {
    const catalogue::TStartup* entry = entries.Add("Agent", "", c.command, catalogue::kCurrentUserRun, 0);
    std::string shown;
    std::thread driver([&] {
      if (HWND dialog = WaitForWindow("Startup Programs Changed")) {
        shown = LabelBeginningWith(dialog, c.facts.substr(0, 5));
        if (!c.screenshot.empty()) SaveScreenshot(ArtifactPath(c.screenshot));
        PressButton(dialog, "&No");
      }
    });
    TfrmChangeDlg dialog(nullptr, windows.platform(), searchPath);
    dialog.Create();
    EXPECT_FALSE(dialog.Confirm(*entry, ChangeKind::Added));
    driver.join();
    EXPECT_EQ(shown, c.facts) << c.command;
  }
}

TEST_F(ProgramFactsDialogTest, AnEncodedPowerShellCommandIsShownDecodedBeforeTheHostsSignature) {
  // "Start-Process calc" as UTF-16LE, in base64, the way a Run value hides it.
  const catalogue::TStartup* entry =
      entries.Add("Updater", "",
                  "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe -NoProfile -WindowStyle Hidden "
                  "-enc UwB0AGEAcgB0AC0AUAByAG8AYwBlAHMAcwAgAGMAYQBsAGMA",
                  catalogue::kCurrentUserRun, 0);
  std::string shown;
  std::thread driver([&] {
    if (HWND dialog = WaitForWindow("Startup Programs Changed")) {
      // Once the host has been looked at too.
      for (int waited = 0; waited < 10000; waited += 50) {
        shown = LabelBeginningWith(dialog, "Runs a script:");
        if (shown.find(kProgramFactsPending) == std::string::npos) break;
        Sleep(50);
      }
      SaveScreenshot(ArtifactPath("encoded-powershell.bmp"));
      PressButton(dialog, "&No");
    }
  });
  TfrmChangeDlg dialog(nullptr, windows.platform(), searchPath);
  dialog.Create();
  EXPECT_FALSE(dialog.Confirm(*entry, ChangeKind::Added));
  driver.join();
  EXPECT_EQ(shown.substr(0, shown.find('\r')), "Runs a script: PowerShell command: Start-Process calc");
  EXPECT_NE(shown.find("\r\nHost: "), std::string::npos) << shown;
  EXPECT_EQ(shown.find(kProgramFactsPending), std::string::npos) << shown;
}

TEST_F(ProgramFactsDialogTest, TheGroupedQuestionHasAColumnOfThemAndTheSelectedRowsFactsInFull) {
  std::vector<std::string> cells;
  std::string selectedFacts, libraryFacts;
  AskGrouped({"\"" + Browser() + "\" /background", "\"" + Tool() + "\"", "C:\\Gone\\agent.exe",
              "rundll32.exe C:\\Gone\\agent.dll,Start"},
             [&](HWND dialog, HWND list) {
               for (int waited = 0; waited < 10000 && ListCell(list, 2, 4) == "Checking ..."; waited += 50) Sleep(50);
               for (int row = 0; row < 4; ++row) cells.push_back(ListCell(list, row, 4));
               Select(list, 0);
               selectedFacts = LabelBeginningWith(dialog, "Signed by");
               SaveScreenshot(ArtifactPath("grouped-change-dialog-signatures.bmp"));
               // The library's own facts reach its row, though looked up after every host.
               Select(list, 3);
               for (int waited = 0; waited < 10000; waited += 50) {
                 libraryFacts = LabelBeginningWith(dialog, "Loads the library");
                 if (libraryFacts.find("Checking") == std::string::npos) break;
                 Sleep(50);
               }
               PressButton(dialog, "&Undo all");
             });
  EXPECT_EQ(cells,
            (std::vector<std::string>{"Signed by Korvalis Test Publisher, revocation not checked", "Not signed",
                                      "Program file not found", "Loads the library C:\\Gone\\agent.dll, entry point Start"}));
  EXPECT_EQ(selectedFacts,
            "Signed by Korvalis Test Publisher, revocation not checked;  Company: Korvalis Test Works;  "
            "Product: Korvalis Probe");
  EXPECT_EQ(libraryFacts.rfind("Loads the library C:\\Gone\\agent.dll, entry point Start;  Library file not found;  Host: ", 0),
            0u)
      << libraryFacts;
}

TEST_F(ProgramFactsDialogTest, AChangeShowsTheEarlierCommandAndItsFilesFactsWhereTheyDiffer) {
  const std::string signedCommand = "\"" + SignedSample("trusted.exe") + "\" /background";
  const std::string earlierFacts =
      "Earlier program file: Signed by Korvalis Test Publisher, revocation not checked; Company: Korvalis Test Works; "
      "Product: Korvalis Probe";
  // A signed program replaced by an unsigned one; then the same program given other arguments,
  // whose file says nothing new.
  const catalogue::TStartup* before = entries.Add("Agent", "", signedCommand, catalogue::kCurrentUserRun, 0);
  const catalogue::TStartup* unsignedNow = entries.Add("Agent", "", UnsignedSample(), catalogue::kCurrentUserRun, 0);
  const catalogue::TStartup* signedNow =
      entries.Add("Agent", "", "\"" + SignedSample("trusted.exe") + "\" /quiet", catalogue::kCurrentUserRun, 0);
  struct Case {
    const catalogue::TStartup* now;
    std::string nowFacts, before, screenshot;
  };
  const Case cases[] = {
      {unsignedNow, "Not signed", "Before: " + signedCommand + "\r\n" + earlierFacts, "change-dialog-before.bmp"},
      {signedNow, "Signed by", "Before: " + signedCommand, ""}};
  for (const Case& c : cases) {
    std::string shown;
    std::thread driver([&] {
      if (HWND dialog = WaitForWindow("Startup Programs Changed")) {
        LabelBeginningWith(dialog, c.nowFacts);
        shown = LabelOnceItIs(dialog, "Before: ", c.before);
        if (!c.screenshot.empty()) SaveScreenshot(ArtifactPath(c.screenshot));
        PressButton(dialog, "&No");
      }
    });
    TfrmChangeDlg dialog(nullptr, windows.platform(), searchPath);
    dialog.Create();
    EXPECT_FALSE(dialog.Confirm(*c.now, ChangeKind::Changed, false, before));
    driver.join();
    EXPECT_EQ(shown, c.before);
  }

  // In the grouped question the selected change's detail says it; an addition's says nothing of it.
  const std::string groupedBefore = "Before: " + signedCommand + ";  " + earlierFacts;
  const catalogue::TStartup* addition = entries.Add("Other", "", "C:\\Gone\\other.exe", catalogue::kCurrentUserRun, 0);
  std::string changed, added = "not read";
  AskGrouped({{unsignedNow, ChangeKind::Changed, before}, {addition, ChangeKind::Added, nullptr}},
             [&](HWND dialog, HWND list) {
               Select(list, 0);
               changed = LabelOnceItIs(dialog, "Before: ", groupedBefore);
               SaveScreenshot(ArtifactPath("grouped-change-dialog-before.bmp"));
               Select(list, 1);
               Sleep(100);
               added = LabelBeginningWith(dialog, "Before: ", 0);
               PressButton(dialog, "&Undo all");
             });
  EXPECT_EQ(changed, groupedBefore);
  EXPECT_EQ(added, "");
}

TEST_F(ProgramFactsDialogTest, TheGroupedQuestionShowsTheSelectedRowsCutCommandWhole) {
  const std::string huge = "C:\\Tools\\huge.exe " + std::string(5000, 'x');
  bool shownForShort = true, shownForHuge = false;
  int wholeLength = 0;
  AskGrouped({"C:\\short.exe", huge}, [&](HWND dialog, HWND list) {
    Select(list, 0);
    Sleep(100);
    shownForShort = ButtonShown(dialog, "Show whole command ...");
    Select(list, 1);
    Sleep(100);
    shownForHuge = ButtonShown(dialog, "Show whole command ...");
    PressButton(dialog, "Show whole command ...");
    if (HWND whole = WaitForWindow("Whole Command")) {
      for (const ChildWindow& child : Children(whole))
        if (child.className == "Edit") wholeLength = GetWindowTextLengthA(child.handle);
      PressButton(whole, "&Close");
      WaitUntilGone(whole);
    }
    PressButton(dialog, "&Undo all");
  });
  EXPECT_FALSE(shownForShort);
  EXPECT_TRUE(shownForHuge);
  EXPECT_EQ(wholeLength, static_cast<int>(huge.size()));
}

TEST_F(ProgramFactsDialogTest, AnEarlierCommandTooLongToShowIsShownWholeAfterTheNewOne) {
  const std::string huge = "C:\\Tools\\huge.exe " + std::string(kShownCommandAtMost, 'x');
  const catalogue::TStartup* before = entries.Add("Agent", "", huge, catalogue::kCurrentUserRun, 0);
  const catalogue::TStartup* now = entries.Add("Agent", "", "C:\\short.exe", catalogue::kCurrentUserRun, 0);
  std::string whole;
  bool shown = false;
  std::thread driver([&] {
    if (HWND dialog = WaitForWindow("Startup Programs Changed")) {
      shown = ButtonShown(dialog, "Show whole command ...");
      PressButton(dialog, "Show whole command ...");
      if (HWND window = WaitForWindow("Whole Command")) {
        for (const ChildWindow& child : Children(window))
          if (child.className == "Edit") whole = WindowText(child.handle);
        PressButton(window, "&Close");
        WaitUntilGone(window);
      }
      PressButton(dialog, "&No");
    }
  });
  TfrmChangeDlg dialog(nullptr, windows.platform(), searchPath);
  dialog.Create();
  EXPECT_FALSE(dialog.Confirm(*now, ChangeKind::Changed, false, before));
  driver.join();
  EXPECT_TRUE(shown);
  EXPECT_EQ(whole, "C:\\short.exe\r\n\r\nBefore: " + huge);
}

TEST_F(ProgramFactsDialogTest, AnAnswerDoesNotWaitForAProgramFileWhoseReadNeverEnds) {
  platform::memory::MemoryWindows memory;
  const std::string program = "C:\\Tools\\stuck.exe";
  ASSERT_TRUE(memory.files.CreateFolders("C:\\Tools") && memory.files.WriteFile(program, {'M', 'Z'}));
  memory.inspector.BlockReadsOf(program);
  const catalogue::TStartup* entry = entries.Add("Agent", "", program, catalogue::kCurrentUserRun, 0);
  bool answeredWhileBlocked = false;
  std::thread driver([&] {
    if (HWND dialog = WaitForWindow("Startup Programs Changed")) {
      answeredWhileBlocked = memory.inspector.WaitUntilBlocked(true, 10000);
      PressButton(dialog, "&No");
      // Should the answer wait for the read after all, this ends the read, and the test fails.
      if (!WaitUntilGone(dialog, 5000)) memory.inspector.ReleaseBlockedReads();
    }
  });
  {
    TfrmChangeDlg dialog(nullptr, memory.platform(), catalogue::SearchPath{});
    dialog.Create();
    EXPECT_FALSE(dialog.Confirm(*entry, ChangeKind::Added));
  }
  const bool stillBlocked = memory.inspector.ReadBlocked();
  driver.join();
  EXPECT_TRUE(answeredWhileBlocked);
  EXPECT_TRUE(stillBlocked) << "the answer waited for the read";
  // The read, released once the question and its window are gone, ends without touching them.
  memory.inspector.ReleaseBlockedReads();
  EXPECT_TRUE(memory.inspector.WaitUntilBlocked(false, 10000));
}

TEST_F(ProgramFactsDialogTest, AProgramThatIsALocalPipeIsNamedSoAndNeverOpened) {
  const std::string pipe = "\\\\.\\pipe\\korvalis-agent-" + std::to_string(GetCurrentProcessId());
  // Held open with no reader: a question that opened it would wait for what this end writes.
  const platform::win32::UniqueFile server(CreateNamedPipeA(
      pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1, 512, 512, 0, nullptr));
  ASSERT_TRUE(server);
  const catalogue::TStartup* entry = entries.Add("Agent", "", pipe + " /run", catalogue::kCurrentUserRun, 0);
  std::string shown;
  bool closed = false;
  std::thread driver([&] {
    if (HWND dialog = WaitForWindow("Startup Programs Changed")) {
      shown = LabelBeginningWith(dialog, "Program file");
      PressButton(dialog, "&No");
      closed = WaitUntilGone(dialog, 2000);
    }
  });
  {
    TfrmChangeDlg dialog(nullptr, windows.platform(), searchPath);
    dialog.Create();
    EXPECT_FALSE(dialog.Confirm(*entry, ChangeKind::Added));
  }
  driver.join();
  EXPECT_EQ(shown, "Program file is a local pipe: not looked up");
  EXPECT_TRUE(closed);
  EXPECT_FALSE(ConnectNamedPipe(server.get(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING)) << "the question connected to the pipe";
}

}  // namespace korvalis::dialogs
