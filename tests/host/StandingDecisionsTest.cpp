// What the guard remembers across a check and across a restart: the baseline of what was
// accepted, the refusals that stick, and the one question for a flood of changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Baseline.h"
#include "app/ChangeMonitor.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using platform::memory::RegistryOperation;
using namespace korvalis::testing;

namespace {

class StandingDecisionsTest : public ::testing::Test {
 protected:
  StandingDecisionsTest() {
    switches.Notification = true;
    switches.Logs = true;
  }
  void UserRun(const std::string& name, const std::string& command) {
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, name, command);
  }
  std::optional<std::string> UserRunValue(const std::string& name) {
    return windows.registry.GetString(RootKey::CurrentUser, kRunKey, name);
  }
  // The program as it starts: first reading, then the stored baseline.
  std::unique_ptr<TChangeMonitor> Start(ScriptedHost& with) {
    auto monitor = std::make_unique<TChangeMonitor>(windows.platform(), switches, with, [this] { return now; });
    monitor->TakeSnapshot();
    monitor->StartFromBaseline();
    return monitor;
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
};

}  // namespace

TEST_F(StandingDecisionsTest, WhatChangedWhileNotRunningIsAskedAtTheNextStartAndAQuestionLeftOpenIsAskedAgain) {
  UserRun("Kept", "C:\\kept.exe");
  Start(host)->CheckAllSections();  // a first start with no baseline asks nothing
  EXPECT_TRUE(host.questions.empty());

  UserRun("Sneaked", "C:\\sneaked.exe");  // while the program was not running
  ScriptedHost killed;
  killed.whileAsking = [&](const Question&) { throw std::runtime_error("ended from the task manager"); };
  EXPECT_THROW(Start(killed)->CheckAllSections(), std::runtime_error);
  ASSERT_EQ(killed.questions.size(), 1u);
  EXPECT_TRUE(killed.questions[0].whileNotRunning);

  ScriptedHost again;
  again.answers = {false};
  auto monitor = Start(again);
  monitor->CheckAllSections();
  ASSERT_EQ(again.questions.size(), 1u);
  EXPECT_EQ(again.questions[0].name, "Sneaked");
  EXPECT_TRUE(again.questions[0].whileNotRunning);
  EXPECT_FALSE(UserRunValue("Sneaked"));
  // Once answered, a new change is a change of now.
  UserRun("Later", "C:\\later.exe");
  monitor->CheckAllSections();
  ASSERT_EQ(again.questions.size(), 2u);
  EXPECT_FALSE(again.questions[1].whileNotRunning);
}

TEST_F(StandingDecisionsTest, ManyChangesAreOneQuestionAndEachAnswerIsWrittenBackOrReportedOnItsOwn) {
  auto monitor = Start(host);
  for (int i = 0; i < 5; ++i) UserRun("Bulk" + std::to_string(i), "C:\\bulk" + std::to_string(i) + ".exe");
  host.answers = {true, false, true, false, false};
  windows.registry.SetHook([](const RegistryOperation& op) {
    return op.kind == RegistryOperation::Kind::DeleteValue && op.name == "Bulk3" ? platform::kErrorAccessDenied
                                                                                  : platform::kSuccess;
  });
  monitor->CheckAllSections();
  EXPECT_EQ(host.groups, (std::vector<std::size_t>{5}));
  EXPECT_EQ(host.log.size(), 5u);  // a decision line for each
  EXPECT_TRUE(UserRunValue("Bulk0"));
  EXPECT_FALSE(UserRunValue("Bulk1"));
  EXPECT_TRUE(UserRunValue("Bulk3"));  // its write-back failed ...
  EXPECT_FALSE(UserRunValue("Bulk4"));  // ... and the others still went ahead
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to delete value 'Bulk3'"}));
}

TEST_F(StandingDecisionsTest, ARefusedEntryThatComesBackIsUndoneWithoutAQuestionUntilItsCommandChanges) {
  auto monitor = Start(host);
  UserRun("Nag", "C:\\nag.exe");
  host.answers = {false};
  monitor->CheckAllSections();
  for (int round = 0; round < 3; ++round) {
    UserRun("Nag", "C:\\nag.exe");
    now += std::chrono::seconds(20);
    monitor->CheckAllSections();
    EXPECT_FALSE(UserRunValue("Nag")) << round;
  }
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.notices.size(), 1u);  // one notice a minute, however often it comes back
  EXPECT_EQ(host.log.back(), "Undone again: Nag C:\\nag.exe");

  // The refusal is kept with the baseline, so it holds after a restart too.
  ScriptedHost restarted;
  auto later = Start(restarted);
  UserRun("Nag", "C:\\nag.exe");
  later->CheckAllSections();
  EXPECT_TRUE(restarted.questions.empty());
  EXPECT_FALSE(UserRunValue("Nag"));

  UserRun("Nag", "C:\\nag.exe --other");  // another command is another question
  restarted.answers = {false};
  later->CheckAllSections();
  EXPECT_EQ(restarted.questions.size(), 1u);
  EXPECT_EQ(later->Refusals().size(), 2u);

  // Cleared, and stored so: after the next start the same entry is a question again.
  later->ClearRefusals();
  ScriptedHost cleared;
  auto third = Start(cleared);
  UserRun("Nag", "C:\\nag.exe");
  third->CheckAllSections();
  EXPECT_EQ(cleared.questions.size(), 1u);
}

TEST_F(StandingDecisionsTest, ALaterChangeOfAPlaceThatShowedNoDifferenceAtStartIsNotSaidToBeWhileNotRunning) {
  UserRun("Kept", "C:\\kept.exe");
  Start(host);
  auto monitor = Start(host);
  monitor->CheckAllSections();  // the first check after start: nothing changed
  UserRun("Later", "C:\\later.exe");
  monitor->CheckAllSections();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_FALSE(host.questions[0].whileNotRunning);

  // Renewed before the first check (monitoring switched off and on again): nothing it then
  // finds changed is said to have changed while it was not running.
  UserRun("Away", "C:\\away.exe");
  auto renewed = Start(host);
  renewed->TakeSnapshot();
  UserRun("Present", "C:\\present.exe");
  renewed->CheckAllSections();
  ASSERT_EQ(host.questions.size(), 2u);
  EXPECT_EQ(host.questions[1].name, "Present");
  EXPECT_FALSE(host.questions[1].whileNotRunning);
}

TEST_F(StandingDecisionsTest, ARunOnceValueGoneIsTakenAndLoggedAtStartAndWhileRunningButOneAddedIsAsked) {
  const auto runOnce = [&](const std::string& name) {
    windows.registry.PutString(RootKey::CurrentUser, kRunOnceKey, name, "C:\\setup.exe /finish");
  };
  runOnce("Finish");
  runOnce("Later");
  UserRun("Agent", "C:\\agent.exe");
  Start(host);
  // Windows ran and deleted it at logon; another program deleted the Run value meanwhile.
  windows.registry.Remove(RootKey::CurrentUser, kRunOnceKey, "Finish");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Agent");
  auto monitor = Start(host);
  monitor->CheckAllSections();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].name, "Agent");
  EXPECT_FALSE(windows.registry.GetString(RootKey::CurrentUser, kRunOnceKey, "Finish"));
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Ran once: Finish C:\\setup.exe /finish"), host.log.end());
  // Run by Explorer after the program started: taken too, never written back to run again.
  host.defaultAnswer = false;
  windows.registry.Remove(RootKey::CurrentUser, kRunOnceKey, "Later");
  monitor->CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_FALSE(windows.registry.GetString(RootKey::CurrentUser, kRunOnceKey, "Later"));
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Ran once: Later C:\\setup.exe /finish"), host.log.end());
  // An addition is asked about, and its No holds.
  runOnce("Dropper");
  monitor->CheckAllSections();
  ASSERT_EQ(host.questions.size(), 2u);
  EXPECT_EQ(host.questions[1].name, "Dropper");
  EXPECT_FALSE(windows.registry.GetString(RootKey::CurrentUser, kRunOnceKey, "Dropper"));
}

TEST_F(StandingDecisionsTest, ANoGivenBecauseTheProgramIsEndingUndoesButIsNoStandingRefusal) {
  auto monitor = Start(host);
  for (int i = 0; i < 5; ++i) UserRun("Bulk" + std::to_string(i), "C:\\bulk.exe");
  UserRun("Single", "C:\\single.exe");
  host.whileAsking = [&](const Question&) { host.closing = true; };
  host.defaultAnswer = false;
  monitor->CheckAllSections();  // one grouped question, ended by closing
  EXPECT_EQ(host.groups, (std::vector<std::size_t>{6}));
  EXPECT_FALSE(UserRunValue("Single"));
  EXPECT_TRUE(monitor->Refusals().empty());
  host.closing = false;
  host.whileAsking = nullptr;
  UserRun("Single", "C:\\single.exe");
  monitor->CheckAllSections();
  ASSERT_EQ(host.questions.size(), 7u);  // asked again, not undone as refused
  EXPECT_EQ(host.questions.back().name, "Single");
  EXPECT_EQ(monitor->Refusals().size(), 1u);  // the user's own No sticks
}

TEST_F(StandingDecisionsTest, AProgramThatKeepsWritingItselfBackIsUndoneWithoutLogsOrABaselineWriteEachRound) {
  auto monitor = Start(host);
  UserRun("Nag", "C:\\nag.exe");
  host.answers = {false};
  monitor->CheckAllSections();
  switches.Logs = false;
  int baselineWrites = 0;
  windows.files.SetHook([&](const platform::memory::FileOperation& op) {
    if (op.kind == platform::memory::FileOperation::Kind::Move && op.path.find("baseline") != std::string::npos)
      ++baselineWrites;
    return true;
  });
  host.log.clear();
  for (int round = 0; round < 5; ++round) {
    UserRun("Nag", "C:\\nag.exe");
    now += std::chrono::seconds(5);
    monitor->CheckAllSections();
    EXPECT_FALSE(UserRunValue("Nag")) << round;
  }
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(baselineWrites, 1);  // the one notice of the minute; the other rounds changed nothing stored
}

}  // namespace korvalis::app
