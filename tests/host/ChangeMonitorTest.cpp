#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "app/ChangeMonitor.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using catalogue::ChangeKind;
using platform::RootKey;
using platform::memory::MemoryShell;
using platform::memory::RegistryOperation;
using namespace korvalis::testing;

class ChangeMonitorTest : public ::testing::Test {
 protected:
  ChangeMonitorTest() {
    switches.Notification = true;
    switches.Logs = true;
  }
  void UserRun(const std::string& name, const std::string& command) {
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, name, command);
  }
  void MachineRun(const std::string& name, const std::string& command) {
    windows.registry.PutString(RootKey::LocalMachine, kRunKey, name, command);
  }
  std::optional<std::string> UserRunValue(const std::string& name) {
    return windows.registry.GetString(RootKey::CurrentUser, kRunKey, name);
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> asked;
    for (const auto& q : host.questions)
      asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name + " in " +
                      std::to_string(q.section));
    return asked;
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

TEST_F(ChangeMonitorTest, AnAddedValueRefusedIsDeletedAndTheDecisionLineIsWritten) {
  monitor.TakeSnapshot();
  UserRun("Updater", "C:\\Tools\\upd.exe /q");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Updater in 8"}));
  EXPECT_EQ(host.log, (std::vector<std::string>{"Add: Updater C:\\Tools\\upd.exe /q"}));
  EXPECT_FALSE(UserRunValue("Updater"));
  host.questions.clear();
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
}

TEST_F(ChangeMonitorTest, AnAllowedAdditionStaysAndIsNotAskedAgain) {
  monitor.TakeSnapshot();
  UserRun("Updater", "C:\\upd.exe");
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(UserRunValue("Updater"), "C:\\upd.exe");
}

TEST_F(ChangeMonitorTest, ARefusedRemovalWritesTheValueBackWithItsEarlierCommand) {
  UserRun("Agent", "C:\\agent.exe -x");
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Agent");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove Agent in 8"}));
  EXPECT_EQ(UserRunValue("Agent"), "C:\\agent.exe -x");
}

TEST_F(ChangeMonitorTest, ARefusedChangeShowsTheNewCommandAndWritesTheEarlierOneBack) {
  UserRun("Agent", "C:\\agent.exe");
  monitor.TakeSnapshot();
  UserRun("Agent", "C:\\evil.exe");
  host.answers = {false};
  monitor.CheckAllSections();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].kind, ChangeKind::Changed);
  EXPECT_EQ(host.questions[0].command, "C:\\evil.exe");
  EXPECT_EQ(UserRunValue("Agent"), "C:\\agent.exe");
}

TEST_F(ChangeMonitorTest, AChangesQuestionCarriesTheEarlierCommandAndAnAdditionOrRemovalNone) {
  using Befores = std::map<std::string, std::optional<std::string>>;
  const auto befores = [&] {
    Befores byName;
    for (const Question& q : host.questions) byName[q.name] = q.before;
    return byName;
  };
  UserRun("Browser", "C:\\App\\1.2.0\\browser.exe");
  UserRun("Gone", "C:\\gone.exe");
  UserRun("Old", "C:\\old.exe");
  monitor.TakeSnapshot();
  UserRun("Browser", "C:\\App\\1.3.0\\browser.exe");
  UserRun("New", "C:\\new.exe");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Gone");
  monitor.CheckAllSections();
  EXPECT_EQ(befores(),
            (Befores{{"Browser", "C:\\App\\1.2.0\\browser.exe"}, {"Gone", std::nullopt}, {"New", std::nullopt}}));

  // Too many for one by one: the grouped question carries them the same way.
  host.questions.clear();
  UserRun("Browser", "%TEMP%\\browser.exe");
  UserRun("New", "C:\\newer.exe");
  UserRun("Third", "C:\\third.exe");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Old");
  monitor.CheckAllSections();
  EXPECT_EQ(host.groups, (std::vector<std::size_t>{4}));
  EXPECT_EQ(befores(), (Befores{{"Browser", "C:\\App\\1.3.0\\browser.exe"},
                                {"New", "C:\\new.exe"},
                                {"Old", std::nullopt},
                                {"Third", std::nullopt}}));
}

TEST_F(ChangeMonitorTest, CommandsDifferingOnlyInAsciiCaseAreEqualButABlankIsAChange) {
  UserRun("Agent", "C:\\Agent.exe");
  UserRun("Other", "C:\\other.exe");
  monitor.TakeSnapshot();
  UserRun("AGENT", "c:\\AGENT.EXE");
  UserRun("Other", "C:\\other.exe ");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change Other in 8"}));
}

TEST_F(ChangeMonitorTest, ARenamedValueIsAskedAsAddedThenAsRemoved) {
  UserRun("Old", "C:\\a.exe");
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Old");
  UserRun("New", "C:\\a.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add New in 8", "Remove Old in 8"}));
}

TEST_F(ChangeMonitorTest, NothingIsWrittenBackBeforeTheLastQuestionOfTheSectionIsAnswered) {
  UserRun("Keep", "C:\\k.exe");
  monitor.TakeSnapshot();
  UserRun("First", "C:\\1.exe");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Keep");
  host.defaultAnswer = false;
  std::vector<bool> firstPresentWhileAsked;
  host.whileAsking = [&](const Question&) { firstPresentWhileAsked.push_back(UserRunValue("First").has_value()); };
  monitor.CheckAllSections();
  EXPECT_EQ(firstPresentWhileAsked, (std::vector<bool>{true, true}));
  EXPECT_FALSE(UserRunValue("First"));
  EXPECT_EQ(UserRunValue("Keep"), "C:\\k.exe");
}

TEST_F(ChangeMonitorTest, WithNotificationOffEverythingIsAllowedSilentlyAndTheSnapshotRenewed) {
  switches.Notification = false;
  monitor.TakeSnapshot();
  UserRun("Quiet", "C:\\q.exe");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(UserRunValue("Quiet"), "C:\\q.exe");
  switches.Notification = true;
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());  // taken into the snapshot
}

TEST_F(ChangeMonitorTest, WithLogsOffNoDecisionLineIsFormed) {
  switches.Logs = false;
  monitor.TakeSnapshot();
  UserRun("A", "a.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(host.log.empty());
}

TEST_F(ChangeMonitorTest, AStartupFolderShortcutIsNeverReported) {
  monitor.TakeSnapshot();
  windows.files.AddFile(windows.shell.SpecialFolderPath(platform::kCsidlStartup, 0) + "\\Sneaky.lnk",
                        MemoryShell::Encode({}));
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
}

TEST_F(ChangeMonitorTest, EmptyDataCountsAsRemovalAndRefusingItWritesTheCommandBack) {
  UserRun("Agent", "C:\\a.exe");
  monitor.TakeSnapshot();
  UserRun("Agent", "");
  UserRun("Blank", "");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove Agent in 8"}));
  EXPECT_EQ(UserRunValue("Agent"), "C:\\a.exe");
}

TEST_F(ChangeMonitorTest, TwoDifferencesGiveTwoQuestionsAndOneRenewal) {
  monitor.TakeSnapshot();
  UserRun("A", "a.exe");
  UserRun("B", "b.exe");
  const int opensBefore = windows.registry.Count(RegistryOperation::Kind::Open);
  monitor.CheckSection(*catalogue::PlaceOf(catalogue::kCurrentUserRun));
  EXPECT_EQ(host.questions.size(), 2u);
  // One fresh reading and one renewal of the section: two openings of its key, one of its parent.
  EXPECT_EQ(windows.registry.Count(RegistryOperation::Kind::Open) - opensBefore, 3);
}

TEST_F(ChangeMonitorTest, AValueMovedFromTheUserToTheMachineIsAskedInBothPlaces) {
  UserRun("Mover", "C:\\m.exe");
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Mover");
  MachineRun("Mover", "C:\\m.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove Mover in 8", "Add Mover in 4"}));
}

TEST_F(ChangeMonitorTest, ADecoyInTheUserKeyDoesNotLetAPayloadInTheMachineKeyPastUnasked) {
  monitor.TakeSnapshot();
  UserRun("Decoy", "C:\\decoy.exe");
  MachineRun("Payload", "C:\\payload.exe");
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Decoy in 8", "Add Payload in 4"}));
  EXPECT_FALSE(windows.registry.Get(RootKey::LocalMachine, kRunKey, "Payload"));
}

TEST_F(ChangeMonitorTest, AChangeMadeWhileADialogIsOpenIsAskedWhenItsSectionIsReached) {
  monitor.TakeSnapshot();
  UserRun("First", "C:\\1.exe");
  host.whileAsking = [&](const Question& q) {
    if (q.name == "First") windows.registry.PutString(RootKey::CurrentUser, kRunOnceKey, "Sneak", "C:\\s.exe");
  };
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add First in 8", "Add Sneak in 9"}));
}

TEST_F(ChangeMonitorTest, ARenewalAskedForDuringADialogWaitsForTheEndOfTheSweep) {
  UserRun("Gone", "C:\\g.exe");
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Gone");
  UserRun("New", "C:\\n.exe");
  host.whileAsking = [&](const Question&) {
    monitor.TakeSnapshot();  // the user switched monitoring on from the tray meanwhile
    EXPECT_TRUE(monitor.Checking());
  };
  monitor.CheckAllSections();
  // Both questions were asked about live snapshot entries; the renewal then took the state.
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add New in 8", "Remove Gone in 8"}));
  ASSERT_EQ(monitor.Snapshot().Count(), 1);
  EXPECT_EQ(monitor.Snapshot().Items(0).Name(), "New");
}

TEST_F(ChangeMonitorTest, AWriteBackThatFailsIsReportedAndNotAskedAgain) {
  monitor.TakeSnapshot();
  MachineRun("Payload", "C:\\p.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, false});
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to delete value 'Payload'"}));
  EXPECT_EQ(host.offers.size(), 1u);  // shown with the offer to undo it as administrator
  host.questions.clear();
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(host.errors.size(), 1u);
}

TEST_F(ChangeMonitorTest, OneFailingWriteBackDoesNotKeepTheOthersFromBeingPutBack) {
  UserRun("A", "a.exe");
  UserRun("B", "b.exe");
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "A");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "B");
  windows.registry.SetHook([](const RegistryOperation& op) {
    return op.kind == RegistryOperation::Kind::SetValue && op.name == "A" ? platform::kErrorAccessDenied
                                                                          : platform::kSuccess;
  });
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to set data for 'A'"}));
  EXPECT_EQ(UserRunValue("B"), "b.exe");
}

TEST_F(ChangeMonitorTest, APlantedValueOfAnotherTypeDoesNotBlindTheGuard) {
  monitor.TakeSnapshot();
  UserRun("Before", "C:\\b.exe");
  // Read before the user's Run key.
  windows.registry.PutDword(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
                            "Planted", 1);
  UserRun("After", "C:\\a.exe");
  MachineRun("Later", "C:\\l.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Before in 8", "Add After in 8", "Add Later in 4"}));
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Invalid data type for 'Planted'"}));
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors.size(), 1u);  // shown once while the value stays
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Planted");
  monitor.CheckAllSections();
  windows.registry.PutDword(RootKey::CurrentUser, kRunKey, "Planted", 2);
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors.size(), 2u);  // back again: shown again
}

TEST_F(ChangeMonitorTest, AStringValueRetypedToANumberIsAskedAsRemoved) {
  UserRun("Agent", "C:\\a.exe");
  monitor.TakeSnapshot();
  windows.registry.PutDword(RootKey::CurrentUser, kRunKey, "Agent", 7);
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove Agent in 8"}));
  EXPECT_EQ(windows.registry.Get(RootKey::CurrentUser, kRunKey, "Agent")->type, platform::kRegSz);
}

TEST_F(ChangeMonitorTest, AValueThatCannotBeReadIsNotTakenForRemoved) {
  UserRun("Locked", "C:\\l.exe");
  monitor.TakeSnapshot();
  windows.registry.SetHook([](const RegistryOperation& op) {
    if (op.kind == RegistryOperation::Kind::EnumValue) return platform::kErrorMoreData;  // read by name
    return op.kind == RegistryOperation::Kind::ReadValue && op.name == "Locked" ? platform::kErrorAccessDenied
                                                                                : platform::kSuccess;
  });
  UserRun("New", "C:\\n.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add New in 8"}));
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to get data for 'Locked'"}));
  windows.registry.SetHook(nullptr);
  host.questions.clear();
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());  // readable again, and still as it was
}

TEST_F(ChangeMonitorTest, AUserWhoMayNotWriteTheMachineKeysIsStillGuardedThere) {
  MachineRun("Existing", "C:\\e.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, false});
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Added", "C:\\x.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Added in 4"}));
}

// The unnamed default value of a key is shown under a Name made from its command, but it is
// still the default value that is compared and written back.
TEST_F(ChangeMonitorTest, ADefaultValueNamedLikeAnotherValueIsAskedOnceNotAtEveryTick) {
  UserRun("agent", "C:\\Other\\x.exe");
  monitor.TakeSnapshot();
  UserRun("", "C:\\Tools\\agent.exe");
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add agent in 8"}));
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].command, "C:\\Tools\\agent.exe");
}

TEST_F(ChangeMonitorTest, ARefusedDefaultValueIsDeletedAndTheValueItIsNamedAfterStays) {
  UserRun("agent", "C:\\Other\\x.exe");
  monitor.TakeSnapshot();
  UserRun("", "C:\\Tools\\agent.exe");
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_FALSE(UserRunValue(""));
  EXPECT_EQ(UserRunValue("agent"), "C:\\Other\\x.exe");
  host.questions.clear();
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
}

TEST_F(ChangeMonitorTest, ARefusedRemovalOfTheDefaultValueWritesTheDefaultValueBack) {
  UserRun("", "C:\\Tools\\agent.exe");
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "");
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove agent in 8"}));
  EXPECT_EQ(UserRunValue(""), "C:\\Tools\\agent.exe");
  EXPECT_FALSE(UserRunValue("agent"));
}

TEST_F(ChangeMonitorTest, AReadProblemFoundInARenewalIsReportedOnlyOnceTheSnapshotIsWhole) {
  UserRun("Agent", "C:\\agent.exe");
  // Read before the user's Run key.
  windows.registry.PutDword(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
                            "Planted", 1);
  // The report's message box runs a message loop, and with it a due tick.
  struct ReentrantHost : ScriptedHost {
    std::function<void()> onError;
    void ReportError(const std::exception& error) override {
      ScriptedHost::ReportError(error);
      if (onError) onError();
    }
  } reentrant;
  TChangeMonitor renewing{windows.platform(), switches, reentrant};
  reentrant.onError = [&] { renewing.CheckAllSections(); };
  renewing.TakeSnapshot();
  EXPECT_EQ(reentrant.errors, (std::vector<std::string>{"Invalid data type for 'Planted'"}));
  EXPECT_TRUE(reentrant.questions.empty());
  EXPECT_EQ(UserRunValue("Agent"), "C:\\agent.exe");
}

}  // namespace korvalis::app
