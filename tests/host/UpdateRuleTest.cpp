#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/ChangeMonitor.h"
#include "app/UpdateRule.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using platform::Signature;
using namespace korvalis::testing;

namespace {

constexpr const char* kApp = "C:\\Program Files\\Acme\\Browser";

class UpdateRuleTest : public ::testing::Test {
 protected:
  UpdateRuleTest() {
    switches.Notification = true;
    switches.Logs = true;
    Program(std::string(kApp) + "\\1.2.0\\browser.exe", "Acme Software Ltd");
    Program(std::string(kApp) + "\\1.2.0\\engine.dll", "Acme Software Ltd");
    Run("\"" + std::string(kApp) + "\\1.2.0\\browser.exe\" --background");
    monitor.StartFromBaseline();
    monitor.TakeSnapshot();
  }
  void Program(const std::string& path, const std::string& signer, Signature signature = Signature::Valid) {
    windows.files.AddFile(path, {'M', 'Z'});
    windows.inspector.Describe(path, platform::memory::InspectedFile{signature, signer, "", "", 2});
  }
  void Run(const std::string& command) { windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Browser", command); }
  // Whether the change to the command was asked; answered Yes, it stands for the next case.
  bool Asked(const std::string& command) {
    host.questions.clear();
    Run(command);
    monitor.CheckAllSections();
    return !host.questions.empty();
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

}  // namespace

TEST_F(UpdateRuleTest, ASameSignerUpdateInALaterVersionFolderIsToldAndEverythingElseAsked) {
  const std::string next = std::string(kApp) + "\\1.3.0\\browser.exe";
  Program(next, "Acme Software Ltd");
  Program(std::string(kApp) + "\\1.3.0\\engine.dll", "Acme Software Ltd");
  EXPECT_FALSE(Asked("\"" + next + "\" --background"));
  EXPECT_EQ(host.notices.back(), "Updated: Browser, signed by Acme Software Ltd as before");
  EXPECT_EQ(host.log.back(), "Update told: Browser \"" + next + "\" --background");
  ASSERT_FALSE(host.records.empty());
  EXPECT_EQ(host.records.back().first, TDecision::UpdateTold);
  EXPECT_EQ(host.records.back().second.signer, "Acme Software Ltd");
  EXPECT_EQ(host.records.back().second.name, "Browser");

  // Recorded when told: the next update is told even after the earlier folder is gone.
  windows.files.RemoveFile(next);
  const std::string later = std::string(kApp) + "\\1.4.0\\browser.exe";
  Program(next, "Acme Software Ltd");
  Program(later, "Acme Software Ltd");
  EXPECT_FALSE(Asked("\"" + later + "\" --background"));

  // Each of these is asked, from the same earlier state.
  const std::string app = kApp;
  Program(app + "\\1.5.0\\browser.exe", "Acme Software Ltd");
  Program(app + "\\1.5.0\\helper.dll", "", Signature::None);  // side-loading
  Program(app + "\\1.6.0\\browser.exe", "Other Ltd");
  Program(app + "\\1.7.0\\browser.exe", "", Signature::None);
  Program(app + "\\1.8.0\\browser.exe", "Acme Software Ltd", Signature::NotValid);
  Program(app + "\\1.9.0\\browser.exe", "Acme Software Ltd");
  Program(app + "\\1.0.0\\browser.exe", "Acme Software Ltd");  // an older version's flaws
  Program("C:\\Users\\alice\\AppData\\Local\\Temp\\browser.exe", "Acme Software Ltd");
  Program("C:\\Program Files\\Other\\1.10.0\\browser.exe", "Acme Software Ltd");
  const std::string base = "\"" + later + "\" --background";
  for (const std::string& command :
       {"\"" + app + "\\1.5.0\\browser.exe\" --background", "\"" + app + "\\1.6.0\\browser.exe\" --background",
        "\"" + app + "\\1.7.0\\browser.exe\" --background", "\"" + app + "\\1.8.0\\browser.exe\" --background",
        "\"" + app + "\\1.9.0\\browser.exe\" --background --load-extension=C:\\x",
        "\"" + app + "\\1.0.0\\browser.exe\" --background",
        std::string("\"C:\\Users\\alice\\AppData\\Local\\Temp\\browser.exe\" --background"),
        std::string("\"C:\\Program Files\\Other\\1.10.0\\browser.exe\" --background"),
        std::string("powershell -enc ZQBjAGgAbwAgAGgAaQA=")}) {
    SCOPED_TRACE(command);
    Run(base);
    monitor.CheckAllSections();
    EXPECT_TRUE(Asked(command));
  }

  // The switch in the options asks about every update too.
  switches.AskUpdates = true;
  Run(base);
  monitor.CheckAllSections();
  Program(app + "\\1.11.0\\browser.exe", "Acme Software Ltd");
  EXPECT_TRUE(Asked("\"" + app + "\\1.11.0\\browser.exe\" --background"));
  EXPECT_TRUE(LaterVersionFolder("C:\\A\\4.18.1", "C:\\A\\4.18.2"));
  EXPECT_FALSE(LaterVersionFolder("C:\\A\\4.18.10", "C:\\A\\4.18.9"));
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(UpdateRuleTest, ARuleAllowsChangesOfItsEntrySignedByItsSignerAndARuleFromElsewhereIsAsked) {
  const std::string app = kApp;
  // Ticked in a question answered Yes: the rule is written where the guard keeps its rules.
  Program("C:\\Program Files\\Acme\\Sync\\sync.exe", "Acme Software Ltd");
  host.alwaysAllow = "Acme Software Ltd";
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Sync", "\"C:\\Program Files\\Acme\\Sync\\sync.exe\"");
  monitor.CheckAllSections();
  ASSERT_EQ(monitor.AllowRules(), (std::vector<TAllowRule>{{catalogue::kCurrentUserRun, "Sync", "Acme Software Ltd"}}));
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis\\Allow Rules",
                                       "Current User Run: Sync"),
            "Acme Software Ltd");
  const auto sync = [&](const std::string& command) {
    host.questions.clear();
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Sync", command);
    monitor.CheckAllSections();
    return !host.questions.empty();
  };
  Program("C:\\Sync\\other.exe", "Acme Software Ltd");
  EXPECT_FALSE(sync("\"C:\\Sync\\other.exe\" -x"));  // any change, as long as the signer is the rule's
  EXPECT_EQ(host.log.back(), "Allowed by rule: Sync \"C:\\Sync\\other.exe\" -x");
  Program("C:\\Sync\\unsigned.exe", "", Signature::None);
  Program("C:\\Sync\\foreign.exe", "Other Ltd");
  EXPECT_TRUE(sync("C:\\Sync\\unsigned.exe"));
  EXPECT_TRUE(sync("C:\\Sync\\foreign.exe"));
  EXPECT_TRUE(sync("powershell -enc ZQBjAGgAbwAgAGgAaQA="));

  // Another program's rule is a question of its own; refused, it is gone and covers nothing.
  host.questions.clear();
  host.answers = {false};
  windows.registry.PutString(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis\\Allow Rules", "Current User Run: Browser",
                             "Acme Software Ltd");
  monitor.CheckAllSections();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].section, catalogue::kKorvalisAllowRules);
  EXPECT_FALSE(windows.registry.GetString(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis\\Allow Rules",
                                          "Current User Run: Browser"));
  Program(app + "\\9.0\\browser.exe", "Acme Software Ltd");
  EXPECT_TRUE(Asked("\"" + app + "\\9.0\\browser.exe\" --other"));

  // Removed in the options: asked again.
  monitor.ChangeAllowRule(monitor.AllowRules().front(), false);
  EXPECT_TRUE(monitor.AllowRules().empty());
  EXPECT_TRUE(sync("\"C:\\Sync\\other.exe\" -y"));
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(UpdateRuleTest, ARecentUpdateIsUndoneWhileItsEarlierProgramIsThereAndStaysUndone) {
  const std::string app = kApp;
  const std::string earlier = "\"" + app + "\\1.2.0\\browser.exe\" --background";
  const std::string next = "\"" + app + "\\1.3.0\\browser.exe\" --background";
  Program(app + "\\1.3.0\\browser.exe", "Acme Software Ltd");
  ASSERT_FALSE(Asked(next));
  const TChangeMonitor::TEntryName browser{catalogue::kCurrentUserRun, "Browser"};
  // Kept across a restart; what a program wrote into the kept file in its place, a command that
  // is no earlier version of the same program, is never put back.
  const std::string kept = windows.environment.localAppData + "\\Korvalis\\updates-told.dat";
  const auto told = windows.files.Contents(kept);
  ASSERT_TRUE(told);
  {
    TChangeMonitor restarted{windows.platform(), switches, host};
    restarted.StartFromBaseline();
    EXPECT_EQ(restarted.UpdatedFrom(browser), std::optional<std::string>(earlier));
    windows.files.AddFile("C:\\Users\\alice\\evil.exe", {'M', 'Z'});
    TBaseline forged;
    forged.entries = {{catalogue::kCurrentUserRun, "Browser", "Browser", "C:\\Users\\alice\\evil.exe --background", 1, 0, {}, 0, "", ""}};
    ASSERT_TRUE(windows.files.WriteFile(kept, forged.Encode()));
    TChangeMonitor fooled{windows.platform(), switches, host};
    fooled.StartFromBaseline();
    EXPECT_EQ(fooled.UndoUpdate(browser), TChangeMonitor::UpdateUndo::NoRecentUpdate);
    EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, kRunKey, "Browser"), next);
    ASSERT_TRUE(windows.files.WriteFile(kept, *told));
  }
  EXPECT_EQ(monitor.UndoUpdate(browser), TChangeMonitor::UpdateUndo::Undone);
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, kRunKey, "Browser"), earlier);
  EXPECT_EQ(monitor.UndoUpdate(browser), TChangeMonitor::UpdateUndo::NoRecentUpdate);
  // The updater writing it again is undone without a question, and not told as an update again.
  host.notices.clear();
  EXPECT_FALSE(Asked(next));
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, kRunKey, "Browser"), earlier);
  for (const std::string& notice : host.notices) EXPECT_EQ(notice.find("Updated:"), std::string::npos) << notice;

  // Once the earlier program is gone, there is nothing to go back to.
  Program(app + "\\1.4.0\\browser.exe", "Acme Software Ltd");
  ASSERT_FALSE(Asked("\"" + app + "\\1.4.0\\browser.exe\" --background"));
  windows.files.RemoveFile(app + "\\1.2.0\\browser.exe");
  EXPECT_EQ(monitor.UndoUpdate(browser), TChangeMonitor::UpdateUndo::EarlierGone);
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(UpdateRuleTest, AnAcceptedEntrysSignerIsStoredFromTheBackgroundSoAnInstallerThatRemovedTheEarlierFolderFirstIsTold) {
  std::string stored;
  for (int i = 0; i < 500 && stored.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    monitor.CheckAllSections();
    const TBaselineLoad load = LoadBaseline(windows.platform());
    if (!load.baseline.entries.empty()) stored = load.baseline.entries.front().signer;
  }
  EXPECT_EQ(stored, "Acme Software Ltd");

  // A program that holds its file's read up holds no question.
  windows.inspector.BlockReadsOf("C:\\Tools\\held.exe");
  windows.files.AddFile("C:\\Tools\\held.exe", {'M', 'Z'});
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Held", "C:\\Tools\\held.exe");
  monitor.CheckAllSections();
  EXPECT_TRUE(windows.inspector.WaitUntilBlocked(true, 5000));
  host.questions.clear();
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Next", "C:\\Tools\\next.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
  windows.inspector.ReleaseBlockedReads();

  // After a restart, with the earlier version's folder already gone.
  windows.files.RemoveFile(std::string(kApp) + "\\1.2.0\\browser.exe");
  windows.files.RemoveFile(std::string(kApp) + "\\1.2.0\\engine.dll");
  const std::string next = std::string(kApp) + "\\1.3.0\\browser.exe";
  Program(next, "Acme Software Ltd");
  TChangeMonitor restarted{windows.platform(), switches, host};
  restarted.CheckOwnSettings();
  restarted.StartFromBaseline();
  host.questions.clear();
  Run("\"" + next + "\" --background");
  restarted.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(host.notices.back(), "Updated: Browser, signed by Acme Software Ltd as before");
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(UpdateRuleTest, AProgramOnADriveMappedToAShareIsNeverReadToRecordItsSignerOrToTellAnUpdate) {
  windows.inspector.remoteDrives = "Z";
  Program("Z:\\Acme\\1.2.0\\tool.exe", "Acme Software Ltd");
  Program("Z:\\Acme\\1.3.0\\tool.exe", "Acme Software Ltd");
  std::atomic<int> touched{0};
  windows.files.SetHook([&](const platform::memory::FileOperation& operation) {
    if (!operation.path.empty() && (operation.path[0] == 'Z' || operation.path[0] == 'z')) ++touched;
    return true;
  });
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Tool", "\"Z:\\Acme\\1.2.0\\tool.exe\"");
  monitor.CheckAllSections();
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    monitor.CheckAllSections();
  }
  host.questions.clear();
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Tool", "\"Z:\\Acme\\1.3.0\\tool.exe\"");
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(touched.load(), 0);
}

}  // namespace korvalis::app
