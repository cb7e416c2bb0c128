#include <gtest/gtest.h>

#include "app/ChangeMonitor.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using platform::memory::RegistryOperation;
using namespace korvalis::testing;
using namespace std::chrono_literals;

class SectionWatchesTest : public ::testing::Test {
 protected:
  SectionWatchesTest() {
    switches.Notification = true;
    monitor.TakeSnapshot();
  }
  int Reads() const { return windows.registry.Count(RegistryOperation::Kind::QueryInfo); }
  std::vector<std::string> Asked() const {
    std::vector<std::string> asked;
    for (const auto& q : host.questions)
      asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name);
    return asked;
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  std::chrono::steady_clock::time_point now{};
  TChangeMonitor monitor{windows.platform(), switches, host, [this] { return now; }};
};

TEST_F(SectionWatchesTest, AQuietTickReadsNoKeyAtAll) {
  const int before = Reads();
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  EXPECT_EQ(Reads(), before);
}

TEST_F(SectionWatchesTest, OnlyTheKeyThatChangedIsRead) {
  const int opens = windows.registry.Count(RegistryOperation::Kind::Open);
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "New", "C:\\n.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add New"}));
  // Arming and reading the one section: its key twice, and its parent, watched for the key deleted.
  EXPECT_EQ(windows.registry.Count(RegistryOperation::Kind::Open) - opens, 3);
}

TEST_F(SectionWatchesTest, EverySectionIsReadAgainOnceAMinuteRegardless) {
  const int before = Reads();
  now += 59s;
  monitor.CheckAllSections();
  EXPECT_EQ(Reads(), before);
  now += 1s;
  monitor.CheckAllSections();
  EXPECT_EQ(Reads() - before, 4);  // the four keys that exist; the missing services keys have none
}

TEST_F(SectionWatchesTest, AKeyCreatedAfterTheStartIsSeenThroughItsParent) {
  ASSERT_FALSE(windows.registry.HasKey(RootKey::LocalMachine, kRunServicesKey));
  windows.registry.PutString(RootKey::LocalMachine, kRunServicesKey, "Service", "C:\\s.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Service"}));
}

TEST_F(SectionWatchesTest, AKeyDeletedWhileWatchedAndCreatedAgainIsFollowed) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\a.exe");
  monitor.TakeSnapshot();
  host.defaultAnswer = false;
  windows.registry.DeleteTree(RootKey::CurrentUser, kRunKey);
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove Agent"}));
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, kRunKey, "Agent"), "C:\\a.exe");  // refused: back
  host.questions.clear();
  windows.registry.DeleteTree(RootKey::CurrentUser, kRunKey);
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Other", "C:\\o.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Other", "Remove Agent"}));
}

TEST_F(SectionWatchesTest, AnEmptyKeyDeletedAndMadeAgainIsWatchedAgainAtOnce) {
  // As a cleaner does it: the key goes, comes back empty, and a value follows later. The key's
  // own watch need not see it deleted; no time passes, so no safety read covers for a lost watch.
  windows.registry.CreateKey(RootKey::CurrentUser, kRunKey, platform::KeyAccess::All);
  monitor.TakeSnapshot();
  windows.registry.DeleteTree(RootKey::CurrentUser, kRunKey);
  monitor.CheckAllSections();
  windows.registry.CreateKey(RootKey::CurrentUser, kRunKey, platform::KeyAccess::All);
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Again", "C:\\again.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Again"}));
}

TEST_F(SectionWatchesTest, TheProgramsOwnWriteBackIsReadOnceAndNotAskedAbout) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Updater", "C:\\u.exe");
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 1u);
}

TEST_F(SectionWatchesTest, AChangeToTheSameKeyWhileAQuestionIsOpenIsAskedNotSwallowed) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Decoy", "C:\\d.exe");
  host.whileAsking = [&](const Question& q) {
    if (q.name == "Decoy") windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Payload", "C:\\p.exe");
  };
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Decoy", "Add Payload"}));
  EXPECT_FALSE(windows.registry.Get(RootKey::CurrentUser, kRunKey, "Payload"));
}

TEST(SectionWatchesOfPlaces, AKeyMissingWithItsParentWasWatchedByNothingAndWaitedForTheSafetyRead) {
  platform::memory::MemoryWindows windows;
  std::chrono::steady_clock::time_point now{};
  TSectionWatches watches(windows.platform(), [&] { return now; });
  const catalogue::PlaceList place = {catalogue::PlaceOf(catalogue::kLocalMachinePoliciesRun)};
  watches.Arm(*catalogue::PlaceOf(catalogue::kLocalMachinePoliciesRun));
  EXPECT_TRUE(watches.Due(place).Empty());  // armed on the nearest key there is
  windows.registry.PutString(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
                             "Probe", "C:\\p.exe");
  EXPECT_TRUE(watches.Due(place).Contains(catalogue::kLocalMachinePoliciesRun));
}

TEST(SectionWatchesOfPlaces, PlacesUnderOneKeyShareItsWatchAndOneArmedAgainTakesNothingFromTheOther) {
  platform::memory::MemoryWindows windows;
  std::chrono::steady_clock::time_point now{};
  TSectionWatches watches(windows.platform(), [&] { return now; });
  const std::string version = "Software\\Microsoft\\Windows\\CurrentVersion";
  windows.registry.AddKey(RootKey::LocalMachine, version + "\\Run");
  windows.registry.AddKey(RootKey::LocalMachine, version + "\\RunOnce");
  const catalogue::TPlace& run = *catalogue::PlaceOf(catalogue::kLocalMachineRun);
  const catalogue::TPlace& once = *catalogue::PlaceOf(catalogue::kLocalMachineRunOnce);
  const catalogue::PlaceList both = {&run, &once};
  watches.Arm(run);
  watches.Arm(once);
  EXPECT_TRUE(watches.Due(both).Empty());
  windows.registry.AddKey(RootKey::LocalMachine, version + "\\Beside");  // a new name in their shared parent
  const catalogue::SectionSet due = watches.Due(both);
  EXPECT_TRUE(due.Contains(run.section) && due.Contains(once.section));
  watches.Arm(run);  // read again: a fresh watch of the parent, while the other place still holds what it saw
  EXPECT_EQ(watches.Due(both), catalogue::SectionSet::Of(once.section));
  watches.Arm(once);
  EXPECT_TRUE(watches.Due(both).Empty());
  windows.registry.DeleteTree(RootKey::LocalMachine, version + "\\Beside");
  EXPECT_EQ(watches.Due(both), catalogue::SectionSet::Of(run.section).With(once.section));
}

TEST(SectionWatchesOfPlaces, APlaceMadeWithItsValuesInOneBurstIsDueAtOnceThoughItsFirstKeyCameAsTheWatchWasArmed) {
  platform::memory::MemoryWindows windows;
  std::chrono::steady_clock::time_point now{};
  TSectionWatches watches(windows.platform(), [&] { return now; });
  const catalogue::Section tools = 95;  // Accessibility\ATs, missing with its parent
  const catalogue::PlaceList place = {catalogue::PlaceOf(tools)};
  const std::string version = "Software\\Microsoft\\Windows NT\\CurrentVersion";
  windows.registry.AddKey(RootKey::LocalMachine, version);
  // The burst's first key lands after the look for it, before the watch above it is armed.
  windows.registry.SetHook([&](const RegistryOperation& operation) {
    if (operation.kind == RegistryOperation::Kind::Open && operation.path == version)
      windows.registry.AddKey(RootKey::LocalMachine, version + "\\Accessibility");
    return platform::kSuccess;
  });
  watches.Arm(*catalogue::PlaceOf(tools));
  windows.registry.SetHook(nullptr);
  EXPECT_TRUE(watches.Due(place).Empty());
  windows.registry.PutString(RootKey::LocalMachine, version + "\\Accessibility\\ATs\\Tool", "StartExe", "C:\\t.exe");
  EXPECT_TRUE(watches.Due(place).Contains(tools));
}

TEST_F(SectionWatchesTest, AKeyThatCannotBeWatchedIsReadEveryTick) {
  windows.registry.SetRights(RootKey::LocalMachine, kRunOnceKey, {false, false});
  monitor.TakeSnapshot();
  const int opens = windows.registry.Count(RegistryOperation::Kind::Open);
  monitor.CheckAllSections();
  monitor.CheckAllSections();
  // Each tick tries to arm (its parent, then the key) and to read the unreadable key.
  EXPECT_EQ(windows.registry.Count(RegistryOperation::Kind::Open) - opens, 6);
}

TEST(SectionWatchesFolders, AStartupFolderMadeAfterTheWatchWasArmedIsSeenAtOnceAndSoAreTheFilesPutInIt) {
  platform::memory::MemoryWindows windows;
  const std::string folder = "C:\\Users\\bob\\AppData\\Startup";
  windows.shell.SetSpecialFolder(platform::kCsidlStartup, folder);
  std::chrono::steady_clock::time_point now{};
  TSectionWatches watches(windows.platform(), [&] { return now; });
  const catalogue::PlaceList user = {catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder)};
  watches.Arm(*catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder));
  windows.files.AddFile("C:\\Users\\note.txt");  // a file beside is no sign
  EXPECT_TRUE(watches.Due(user).Empty());
  windows.files.AddFolder(folder);
  EXPECT_FALSE(watches.Due(user).Empty());

  watches.Arm(*catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder));
  EXPECT_TRUE(watches.Due(user).Empty());
  windows.files.AddFile(folder + "\\run.bat", {1});
  EXPECT_FALSE(watches.Due(user).Empty());
}

}  // namespace korvalis::app
