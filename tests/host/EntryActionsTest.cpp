// The overview's Delete and Disable: carried out as a No is, through the same write-back,
// refusals and offer to undo as administrator, and never asked about afterwards.
#include <gtest/gtest.h>

#include "app/ChangeMonitor.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using namespace korvalis::testing;

namespace {

constexpr const char* kApprovedRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

class EntryActionsTest : public ::testing::Test {
 protected:
  EntryActionsTest() {
    switches.Notification = true;
    switches.Logs = true;
    switches.AllPlaces = true;
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\agent.exe");
    windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Sound", "C:\\sound.exe");
    windows.registry.PutString(RootKey::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Load",
                               "C:\\load.exe");
    monitor.TakeSnapshot();
  }
  bool Has(RootKey root, const char* key, const std::string& name) const {
    return windows.registry.Get(root, key, name).has_value();
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

}  // namespace

TEST_F(EntryActionsTest, DeleteRemovesAndRefusesOffersAsAdministratorWhereRightsLackAndUndoesAComebackUnasked) {
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, false});
  ASSERT_TRUE(monitor.DeleteEntries({{catalogue::kCurrentUserRun, "agent"}, {catalogue::kLocalMachineRun, "Sound"}}));
  EXPECT_FALSE(Has(RootKey::CurrentUser, kRunKey, "Agent"));
  EXPECT_TRUE(Has(RootKey::LocalMachine, kRunKey, "Sound"));
  // Declined, as a No's offer can be: the entry stays, and no refusal of it stands.
  ASSERT_EQ(host.offers.size(), 1u);
  EXPECT_TRUE(monitor.PendingUndos().empty());
  ASSERT_EQ(monitor.Refusals().size(), 1u);
  EXPECT_EQ(monitor.Refusals()[0].valueName, "Agent");

  // Neither is a change to ask about; the one written back again is undone unasked and untold.
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\agent.exe");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_FALSE(Has(RootKey::CurrentUser, kRunKey, "Agent"));
  EXPECT_TRUE(host.notices.empty());
}

TEST_F(EntryActionsTest, DisableWritesTaskManagersSwitchAndNamesWhatHasNoOffState) {
  std::vector<std::string> notDisabled;
  ASSERT_TRUE(monitor.DisableEntries(
      {{catalogue::kCurrentUserRun, "Agent"}, {catalogue::kCurrentUserWindowsLoad, "Load"}}, notDisabled));
  EXPECT_EQ(notDisabled, std::vector<std::string>{"Load"});
  EXPECT_TRUE(Has(RootKey::CurrentUser, kRunKey, "Agent"));
  const auto value = windows.registry.Get(RootKey::CurrentUser, kApprovedRun, "Agent");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, platform::kRegBinary);
  ASSERT_EQ(value->data.size(), 12u);
  EXPECT_EQ(value->data[0], 3);
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(host.errors.empty());

  // The machine's switch, where the user may not write, is offered as administrator.
  windows.registry.SetRights(RootKey::LocalMachine, kApprovedRun, {true, false});
  ASSERT_TRUE(monitor.DisableEntries({{catalogue::kLocalMachineRun, "Sound"}}, notDisabled));
  EXPECT_EQ(host.offers.size(), 1u);
}

TEST_F(EntryActionsTest, DisableStopsAndDisablesAServiceWithoutRefusingItAndDeleteRefusesIt) {
  windows.services.Add("Updater", platform::kServiceAutoStart, "C:\\up.exe");
  windows.services.SetRunning("Updater", true);
  windows.services.Add("Agent", platform::kServiceAutoStart, "C:\\agent.exe");
  monitor.TakeSnapshot();
  std::vector<std::string> notDisabled;
  ASSERT_TRUE(monitor.DisableEntries({{102, "Updater"}}, notDisabled));
  ASSERT_TRUE(monitor.DeleteEntries({{102, "Agent"}}));
  const auto start = [&](const std::string& service) {
    return windows.registry.Get(RootKey::LocalMachine, platform::kServicesKey + std::string("\\") + service, "Start")
        ->data.at(0);
  };
  EXPECT_EQ(start("Updater"), platform::kServiceDisabled);
  EXPECT_FALSE(windows.services.IsRunning("Updater"));
  EXPECT_EQ(start("Agent"), platform::kServiceDisabled);
  ASSERT_EQ(monitor.Refusals().size(), 1u);
  EXPECT_EQ(monitor.Refusals()[0].valueName, "Agent");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(EntryActionsTest, DisableRegistersATaskWithItsSettingsSwitchOffAndLeavesItsTriggersAlone) {
  const std::string task =
      "<Task><Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers><Settings><Hidden>true</Hidden>"
      "<Enabled>true</Enabled></Settings><Actions><Exec><Command>C:\\t.exe</Command></Exec></Actions></Task>";
  windows.tasks.AddTask("\\Vendor", task);
  windows.tasks.AddTask("\\Bare", "<Task><Settings></Settings><Actions><Exec><Command>C:\\b.exe</Command></Exec></Actions></Task>");
  monitor.TakeSnapshot();
  std::vector<std::string> notDisabled;
  ASSERT_TRUE(monitor.DisableEntries({{103, "\\Vendor"}, {103, "\\Bare"}}, notDisabled));
  EXPECT_TRUE(notDisabled.empty());
  EXPECT_EQ(windows.tasks.Definition("\\Vendor"),
            "<Task><Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers><Settings><Hidden>true</Hidden>"
            "<Enabled>false</Enabled></Settings><Actions><Exec><Command>C:\\t.exe</Command></Exec></Actions></Task>");
  EXPECT_EQ(windows.tasks.Definition("\\Bare"),
            "<Task><Settings><Enabled>false</Enabled></Settings><Actions><Exec><Command>C:\\b.exe</Command></Exec></Actions></Task>");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(host.errors.empty());
}

}  // namespace korvalis::app
