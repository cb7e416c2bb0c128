// Task Manager's switches of the Run values and the Startup folder's files: turning an entry
// back on is asked as its addition, and an entry it disabled is shown so.
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

constexpr const char* kApproved = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
constexpr const char* kUserStartup = "C:\\users\\alice\\Start Menu\\Programs\\Startup";

// The first byte, then the FILETIME of the switch.
std::vector<std::uint8_t> Switch(std::uint8_t state) { return {state, 0, 0, 0, 0x10, 0x7e, 0x3a, 0x5c, 0x2f, 0x61, 0xd9, 0x01}; }

class StartupApprovedTest : public ::testing::Test {
 protected:
  StartupApprovedTest() {
    switches.Notification = true;
    switches.Logs = true;
    switches.AllPlaces = true;
  }
  void Approve(const std::string& key, const std::string& name, std::uint8_t state) {
    windows.registry.Put(RootKey::CurrentUser, kApproved + key, name, platform::kRegBinary, Switch(state));
  }
  std::vector<std::uint8_t> Approval(const std::string& key, const std::string& name) const {
    const auto value = windows.registry.Get(RootKey::CurrentUser, kApproved + key, name);
    return value ? value->data : std::vector<std::uint8_t>{};
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> asked;
    for (const auto& q : host.questions)
      asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name + " " +
                      q.command + " in " + catalogue::SectionName(q.section) +
                      (q.disabledInTaskManager ? " (disabled)" : ""));
    return asked;
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

}  // namespace

TEST_F(StartupApprovedTest, TurnedBackOnIsAskedAsAddedNoDisablesItAgainAndDisablingAsksNothing) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Updater", "C:\\upd.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\agent.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Helper", "C:\\helper.exe");
  Approve("Run", "Updater", 0x03);
  Approve("Run", "Agent", 0x07);
  Approve("Run", "Gone", 0x03);  // switches an entry the Run key does not hold
  monitor.TakeSnapshot();

  Approve("Run", "Updater", 0x02);                                                  // switched on
  windows.registry.Remove(RootKey::CurrentUser, kApproved + std::string("Run"), "Agent");  // missing: on
  windows.registry.Remove(RootKey::CurrentUser, kApproved + std::string("Run"), "Gone");
  Approve("Run", "Helper", 0x03);  // switched off
  host.answers = {false, true};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Updater C:\\upd.exe in Current User Run",
                                               "Add Agent C:\\agent.exe in Current User Run"}));
  EXPECT_EQ(host.log, (std::vector<std::string>{"Add: Updater C:\\upd.exe", "Add: Agent C:\\agent.exe"}));
  for (const Question& q : host.questions) EXPECT_FALSE(q.before) << "an entry turned back on was no command before";
  EXPECT_EQ(Approval("Run", "Updater"), Switch(0x03));  // as it was, its time too
  EXPECT_TRUE(Approval("Run", "Agent").empty());
  EXPECT_EQ(Approval("Run", "Helper"), Switch(0x03));

  // What the answers left is no difference; the entry disabled says so when it is asked about.
  host.questions.clear();
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Helper", "C:\\evil.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\agent2.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change Agent C:\\agent2.exe in Current User Run",
                                               "Change Helper C:\\evil.exe in Current User Run (disabled)"}));
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(StartupApprovedTest, AStartupFileTurnedBackOnWhileNotRunningIsAskedFromTheStoredSwitches) {
  platform::memory::LinkFields link;
  link.path = "C:\\tray.exe";
  windows.files.AddFile(std::string(kUserStartup) + "\\Tray.lnk", platform::memory::MemoryShell::Encode(link));
  Approve("StartupFolder", "Tray.lnk", 0x03);
  {
    ScriptedHost before;
    TChangeMonitor first(windows.platform(), switches, before);
    first.TakeSnapshot();
    first.StartFromBaseline();
  }
  windows.registry.Remove(RootKey::CurrentUser, kApproved + std::string("StartupFolder"), "Tray.lnk");
  monitor.TakeSnapshot();
  monitor.StartFromBaseline();
  host.answers = {false};
  monitor.CheckAllSections();
  ASSERT_EQ(Asked(), (std::vector<std::string>{"Add Tray \"C:\\tray.exe\"  in Current User Startup Folder"}));
  EXPECT_TRUE(host.questions[0].whileNotRunning);
  EXPECT_EQ(Approval("StartupFolder", "Tray.lnk"), Switch(0x03));
}

}  // namespace korvalis::app
