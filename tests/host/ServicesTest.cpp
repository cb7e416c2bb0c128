// Services that start by themselves: asked about when one is added or switched to start so, or
// when what it runs changes; No disables it through the service manager or writes it back.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ChangeMonitor.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryWindows.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using namespace korvalis::testing;

namespace {

constexpr catalogue::Section kServices = 102;
const std::string kKey = platform::kServicesKey;

class ServicesTest : public ::testing::Test {
 protected:
  ServicesTest() {
    switches.Notification = true;
    switches.AllPlaces = true;
    windows.services.Add("Existing", platform::kServiceAutoStart, "C:\\existing.exe");
    windows.services.Add("Spooler", platform::kServiceDemandStart, "C:\\spool.exe");
    windows.services.Add("Netsvc", platform::kServiceAutoStart, "%SystemRoot%\\system32\\svchost.exe -k netsvcs",
                         "%SystemRoot%\\system32\\net.dll");
    monitor.TakeSnapshot();
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> asked;
    for (const auto& q : host.questions)
      asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name + " in " +
                      catalogue::SectionName(q.section));
    std::sort(asked.begin(), asked.end());  // the registry lists services in an order of its own
    return asked;
  }
  std::uint32_t Start(const std::string& service) const {
    const auto value = windows.registry.Get(RootKey::LocalMachine, kKey + "\\" + service, "Start");
    return value ? value->data.at(0) : 99u;
  }
  std::string Text(const std::string& key, const std::string& name) const {
    return windows.registry.GetString(RootKey::LocalMachine, kKey + "\\" + key, name).value_or("(none)");
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

}  // namespace

TEST_F(ServicesTest, OneAddedOrSwitchedToStartByItselfIsAskedAndNoDisablesAndStopsItButNeverDeletesIt) {
  windows.services.Add("Updater", platform::kServiceAutoStart, "\"C:\\Up\\up.exe\" -service");
  windows.services.SetRunning("Updater", true);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Spooler", "Start", platform::kServiceAutoStart);
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Spooler in Services and Drivers",
                                               "Add Updater in Services and Drivers"}));
  EXPECT_EQ(Start("Updater"), platform::kServiceDisabled);
  EXPECT_EQ(Start("Spooler"), platform::kServiceDisabled);
  EXPECT_FALSE(windows.services.IsRunning("Updater"));
  EXPECT_EQ(Text("Updater", "ImagePath"), "\"C:\\Up\\up.exe\" -service");

  // Set to start on demand, or deleted, a service starts nothing by itself: taken silently.
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Existing", "Start", platform::kServiceDemandStart);
  windows.registry.DeleteTree(RootKey::LocalMachine, kKey + "\\Netsvc");
  monitor.CheckAllSections();
  // The refused one switched back is undone again without a question.
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Updater", "Start", platform::kServiceAutoStart);
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 2u);
  EXPECT_EQ(Start("Updater"), platform::kServiceDisabled);
  EXPECT_EQ(host.notices.size(), 1u);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ServicesTest, AChangedPathStartTypeOrLibraryIsAskedAndWrittenBackWhileNoiseIsNot) {
  const std::string svchost = Text("Netsvc", "ImagePath");
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Existing", "Start", platform::kServiceBootStart);
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Netsvc", "ImagePath", "C:\\evil.exe", platform::kRegExpandSz);
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", "ServiceDll", "C:\\evil.dll");
  host.answers = {false, false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change Existing in Services and Drivers",
                                               "Change Netsvc in Services and Drivers",
                                               "Change Netsvc\\Parameters\\ServiceDll in Services and Drivers"}));
  EXPECT_EQ(Start("Existing"), platform::kServiceAutoStart);
  EXPECT_EQ(Text("Netsvc", "ImagePath"), svchost);
  EXPECT_EQ(Start("Netsvc"), platform::kServiceAutoStart);
  const auto dll = windows.registry.Get(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", "ServiceDll");
  ASSERT_TRUE(dll);
  EXPECT_EQ(dll->type, platform::kRegExpandSz);
  EXPECT_EQ(platform::TextOfBytes(dll->data), "%SystemRoot%\\system32\\net.dll");

  // What a busy Services key holds besides: letter case, the same data again, a delayed start,
  // a new display name, a service's own state, a service that starts on demand.
  host.questions.clear();
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Existing", "ImagePath", "c:\\EXISTING.EXE", platform::kRegExpandSz);
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", "ServiceDll",
                             "%SystemRoot%\\system32\\net.dll", platform::kRegExpandSz);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Existing", "DelayedAutostart", 1);
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Existing", "DisplayName", "Renamed");
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Existing\\Enum", "Count", 1);
  windows.services.Add("OnDemand", platform::kServiceDemandStart, "C:\\demand.exe", "C:\\demand.dll");
  monitor.CheckAllSections();
  // A key that could not be read for a while had not gone, and is not new when it can again.
  windows.registry.SetRights(RootKey::LocalMachine, kKey + "\\Netsvc", {false, false});
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Existing", "Description", "touched");
  monitor.CheckAllSections();
  windows.registry.SetRights(RootKey::LocalMachine, kKey + "\\Netsvc", {true, true});
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Existing", "Description", "touched again");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), std::vector<std::string>{});
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ServicesTest, WithoutAdministratorRightsANoIsReportedAsSuchAndDoesNotStand) {
  windows.services.administrator = false;
  windows.services.Add("Updater", platform::kServiceAutoStart, "C:\\up.exe");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors, std::vector<std::string>{"Failed to disable service 'Updater'"});
  EXPECT_EQ(Start("Updater"), platform::kServiceAutoStart);
  // The undo throws the error an administrator's copy is offered on, for the library as well.
  windows.registry.SetRights(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", {true, false});
  catalogue::TStartups read(0, windows.platform());
  read.LoadSections(catalogue::SectionSet::Of(kServices));
  for (int i = 0; i < read.Count(); ++i) {
    catalogue::TStartup& entry = read.Items(i);
    SCOPED_TRACE(entry.ValueName());
    entry.SetEnabled(entry.ValueName() != "Updater");
    if (entry.ValueName() == "Existing") continue;
    EXPECT_THROW(entry.Apply(), RightsMissingError);
  }
  // Taken as it stood, it is asked about again when it comes back.
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Updater", "Start", platform::kServiceDemandStart);
  monitor.CheckAllSections();
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Updater", "Start", platform::kServiceAutoStart);
  host.answers = {true};
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 2u);
}

}  // namespace korvalis::app
