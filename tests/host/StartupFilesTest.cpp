// Files in the startup folders as the guard sees them: by their content, never wholly held,
// and a No that either holds or is reported.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ChangeMonitor.h"
#include "catalogue/Quarantine.h"
#include "platform/memory/MemoryWindows.h"
#include "text/Fileman.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::memory::FileOperation;
using namespace korvalis::testing;

namespace {

constexpr const char* kUserStartup = "C:\\users\\alice\\Start Menu\\Programs\\Startup";

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class StartupFilesTest : public ::testing::Test {
 protected:
  StartupFilesTest() {
    switches.Notification = true;
    switches.AllPlaces = true;
  }
  std::string In(const std::string& name) const { return std::string(kUserStartup) + "\\" + name; }
  std::string Quarantined(const std::string& name) { return catalogue::QuarantineFolder(windows.environment) + "\\" + name; }
  // A check a minute later: every place is due for its safety read.
  void CheckLater() {
    now += std::chrono::minutes(1);
    monitor.CheckAllSections();
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  std::chrono::steady_clock::time_point now{};
  TChangeMonitor monitor{windows.platform(), switches, host, [this] { return now; }};
};

}  // namespace

TEST_F(StartupFilesTest, AFileThatCannotBeReadIsNoChangeAndIsAskedAboutOnceItCanBe) {
  windows.files.AddFile(In("run.bat"), Bytes("old"));
  monitor.TakeSnapshot();
  windows.files.WriteFile(In("run.bat"), Bytes("new"));
  windows.files.SetHook([&](const FileOperation& op) { return op.kind != FileOperation::Kind::Digest; });
  CheckLater();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot read file " + In("run.bat")});

  windows.files.SetHook(nullptr);
  host.answers = {false};
  CheckLater();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].kind, catalogue::ChangeKind::Changed);
  EXPECT_EQ(windows.files.Contents(In("run.bat")), Bytes("old"));
}

TEST_F(StartupFilesTest, ARefusedRemovalOfAFileTooLargeToKeepIsReportedAndNothingElseIsWritten) {
  windows.files.AddFile(In("setup.exe"), std::vector<std::uint8_t>(200 * 1024, 0x5A));
  monitor.TakeSnapshot();
  windows.files.RemoveFile(In("setup.exe"));
  host.answers = {false};
  CheckLater();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot put back file " + In("setup.exe") + ", its content was not kept"});
  EXPECT_FALSE(windows.files.Exists(In("setup.exe")));
  CheckLater();  // taken as it stands, not asked again and again
  EXPECT_EQ(host.questions.size(), 1u);
}

TEST_F(StartupFilesTest, ADamagedShortcutDroppedInIsAskedAboutAsAFileAndQuarantinedOnNo) {
  monitor.TakeSnapshot();
  windows.files.AddFile(In("broken.lnk"), {0x13, 0x37, 0xC0, 0xDE, 0x00, 0xFF});
  host.answers = {false};
  CheckLater();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].name, "broken.lnk");
  EXPECT_EQ(host.questions[0].command, In("broken.lnk"));
  EXPECT_FALSE(windows.files.Exists(In("broken.lnk")));
  EXPECT_EQ(windows.files.Contents(Quarantined("broken.lnk")), (std::vector<std::uint8_t>{0x13, 0x37, 0xC0, 0xDE, 0x00, 0xFF}));
}

TEST_F(StartupFilesTest, AQuarantineThatLeavesTheFileIsReportedAndItsNoDoesNotStand) {
  monitor.TakeSnapshot();
  windows.files.AddFile(In("drop.vbs"), Bytes("x"));
  windows.files.SetMovesLeaveTheSource(true);
  host.answers = {false};
  CheckLater();
  EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot quarantine file " + In("drop.vbs")});
  EXPECT_TRUE(windows.files.Exists(In("drop.vbs")));
  EXPECT_FALSE(windows.files.Exists(Quarantined("drop.vbs")));
  EXPECT_TRUE(monitor.Refusals().empty());

  // A name the system's calls cannot spell is reported the same way, never passed over.
  host.errors.clear();
  windows.files.AddFile(In("caf?.bat"), Bytes("y"));
  host.answers = {false};
  CheckLater();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Cannot handle the name of file " + In("caf?.bat"),
                                                   "Cannot quarantine file " + In("caf?.bat")}));
  EXPECT_TRUE(monitor.Refusals().empty());
}

TEST_F(StartupFilesTest, AStandingRefusalOfAFileHoldsForItsContentWhileTheQuarantineHoldsIt) {
  monitor.TakeSnapshot();
  windows.files.AddFile(In("run.bat"), Bytes("payload"));
  host.answers = {false};
  CheckLater();
  ASSERT_EQ(host.questions.size(), 1u);
  ASSERT_TRUE(windows.files.Exists(Quarantined("run.bat")));

  // Taken back from the quarantine by the user: asked once more.
  ASSERT_TRUE(windows.files.MoveFileTo(Quarantined("run.bat"), In("run.bat")));
  windows.files.RemoveFile(Quarantined("run.bat.origin.txt"));
  host.answers = {false};
  CheckLater();
  EXPECT_EQ(host.questions.size(), 2u);
  EXPECT_TRUE(windows.files.Exists(Quarantined("run.bat")));

  // Dropped again by the program: undone without a question.
  windows.files.AddFile(In("run.bat"), Bytes("payload"));
  CheckLater();
  EXPECT_EQ(host.questions.size(), 2u);
  EXPECT_FALSE(windows.files.Exists(In("run.bat")));

  // Another file under the same name is another question.
  windows.files.AddFile(In("run.bat"), Bytes("something else"));
  host.answers = {true};
  CheckLater();
  EXPECT_EQ(host.questions.size(), 3u);
  EXPECT_TRUE(windows.files.Exists(In("run.bat")));

  // A refused change written again is undone again, its earlier bytes put back.
  windows.files.WriteFile(In("run.bat"), Bytes("changed"));
  host.answers = {false};
  CheckLater();
  EXPECT_EQ(host.questions.size(), 4u);
  windows.files.WriteFile(In("run.bat"), Bytes("changed"));
  CheckLater();
  EXPECT_EQ(host.questions.size(), 4u);
  EXPECT_EQ(windows.files.Contents(In("run.bat")), Bytes("something else"));
}

TEST_F(StartupFilesTest, TheQuarantineKeepsOneCopyPerContentSoNoFileRefusedAgainAndAgainRunsOutOfNames) {
  const platform::Platform platform = windows.platform();
  for (int i = 0; i < 1001; ++i) {
    windows.files.AddFile(In("run.bat"), Bytes("payload"));
    ASSERT_EQ(catalogue::Quarantine(platform, catalogue::QuarantineFolder(platform.environment), In("run.bat")), Quarantined("run.bat"));
    ASSERT_FALSE(windows.files.Exists(In("run.bat")));
  }
  // Other content under the same name: a name of its own, by its hash, not a number.
  std::vector<std::string> held;
  for (const char* content : {"second", "third"}) {
    windows.files.AddFile(In("run.bat"), Bytes(content));
    held.push_back(catalogue::Quarantine(platform, catalogue::QuarantineFolder(platform.environment), In("run.bat")));
    EXPECT_EQ(windows.files.Contents(held.back()), Bytes(content));
    EXPECT_EQ(windows.files.Contents(held.back() + ".origin.txt"), Bytes(In("run.bat") + "\r\n"));
  }
  EXPECT_NE(held[0], held[1]);
  const std::string name = text::FileNamePart(held[0]);
  EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), 16u);
  EXPECT_EQ(name.substr(16), "-run.bat");
  std::vector<platform::FolderEntry> entries;
  ASSERT_TRUE(windows.files.FindEntries(Quarantined("*"), entries));
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](const auto& e) { return !e.IsFolder(); }), 6);

  // A task's definition written again: the copy already there stands for it, and is what a
  // failed delete leaves in place.
  const std::vector<std::uint8_t> definition = Bytes("<Task/>");
  const std::string copy = catalogue::QuarantineCopy(platform, catalogue::QuarantineFolder(platform.environment), "Evil.xml", "\\Evil", definition);
  EXPECT_EQ(catalogue::QuarantineCopy(platform, catalogue::QuarantineFolder(platform.environment), "Evil.xml", "\\Evil", definition), "");
  EXPECT_EQ(windows.files.Contents(copy), definition);
  EXPECT_NE(catalogue::QuarantineCopy(platform, catalogue::QuarantineFolder(platform.environment), "Evil.xml", "\\Other", definition), copy);
}

TEST_F(StartupFilesTest, WithoutTheLocalApplicationDataFolderNothingIsQuarantinedAnywhere) {
  windows.environment.localAppData.clear();
  ASSERT_TRUE(windows.files.SetCurrentFolder(kUserStartup));
  monitor.TakeSnapshot();
  windows.files.AddFile(In("drop.vbs"), Bytes("x"));
  host.answers = {false};
  CheckLater();
  EXPECT_EQ(host.errors, std::vector<std::string>{"Cannot quarantine file " + In("drop.vbs")});
  EXPECT_TRUE(windows.files.Exists(In("drop.vbs")));
  EXPECT_FALSE(windows.files.Exists(In("Korvalis")));
}

}  // namespace korvalis::app
