// Every kind of place through read, compare, write back and read again, in memory: a new kind
// of place fails here until it is planted too.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "app/ChangeMonitor.h"
#include "catalogue/Places.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using catalogue::PlaceKind;
using platform::RootKey;
using namespace korvalis::testing;

namespace {

constexpr catalogue::Section kServices = 102;
constexpr catalogue::Section kTasks = 103;

std::string LogonTask(const std::string& program) {
  return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
         "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
         "<RegistrationInfo><URI>\\Planted</URI></RegistrationInfo>"
         "<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>"
         "<Actions Context=\"Author\"><Exec><Command>" + program + "</Command></Exec></Actions></Task>";
}

// What a planted entry leaves in a fresh reading of its place: the commands, in order.
std::vector<std::string> Read(platform::memory::MemoryWindows& windows, catalogue::Section section) {
  catalogue::TStartups fresh(0, windows.platform());
  fresh.LoadSections(catalogue::SectionSet::Of(section));
  std::vector<std::string> read;
  for (int i = 0; i < fresh.Count(); ++i)
    read.push_back(fresh.Items(i).ValueName() + "=" + fresh.Items(i).Command() + "/" +
                   std::to_string(fresh.Items(i).ValueType()));
  return read;
}

}  // namespace

TEST(PlaceKindsTest, EveryKindIsReadComparedWrittenBackByANoAndReadAgainAsItWasLeft) {
  using Plant = std::function<void(platform::memory::MemoryWindows&)>;
  const std::map<PlaceKind, std::pair<catalogue::Section, Plant>> planted{
      {PlaceKind::Registry,
       {catalogue::kCurrentUserRun,
        [](auto& windows) { windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Planted", "C:\\planted.exe"); }}},
      {PlaceKind::Folder,
       {catalogue::kCurrentUserStartupFolder,
        [](auto& windows) {
          windows.files.AddTextFile("C:\\users\\alice\\Start Menu\\Programs\\Startup\\planted.bat", "C:\\planted.exe");
        }}},
      {PlaceKind::Service,
       {kServices, [](auto& windows) { windows.services.Add("Planted", platform::kServiceAutoStart, "C:\\planted.exe"); }}},
      {PlaceKind::Task, {kTasks, [](auto& windows) { windows.tasks.AddTask("\\Planted", LogonTask("C:\\planted.exe")); }}},
  };
  std::set<PlaceKind> kinds;
  for (const catalogue::Section section : catalogue::ReadOrder(true))
    if (catalogue::PlaceOf(section)->Kind().HoldsEntries()) kinds.insert(catalogue::PlaceOf(section)->kind);
  for (const PlaceKind kind : kinds) EXPECT_TRUE(planted.count(kind)) << "no entry planted for a kind of place";

  for (const auto& [kind, plant] : planted) {
    const catalogue::Section section = plant.first;
    SCOPED_TRACE(catalogue::SectionName(section));
    EXPECT_EQ(catalogue::PlaceOf(section)->kind, kind);
    platform::memory::MemoryWindows windows;
    TSwitches switches;
    switches.Notification = switches.AllPlaces = true;
    ScriptedHost host;
    TChangeMonitor monitor{windows.platform(), switches, host};
    monitor.TakeSnapshot();
    const std::vector<std::string> before = Read(windows, section);
    plant.second(windows);
    const std::vector<std::string> plantedRead = Read(windows, section);
    EXPECT_EQ(plantedRead.size(), before.size() + 1);

    host.answers = {false};
    monitor.CheckAllSections();
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].kind, catalogue::ChangeKind::Added);
    EXPECT_EQ(host.questions[0].section, section);
    // Written back: gone, or where the place never deletes (a service) switched off.
    const std::vector<std::string> after = Read(windows, section);
    EXPECT_NE(after, plantedRead);
    EXPECT_LE(after.size(), plantedRead.size());

    host.questions.clear();
    monitor.CheckAllSections();
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(Read(windows, section), after);
  }
}

// A value below a subkey is stored in the baseline as one text: read back at the next start,
// a change made meanwhile and refused puts it back at its own subkey.
TEST(PlaceKindsTest, AValueBelowASubkeyComesBackFromTheBaselineToWhereItWas) {
  const std::string hijacks = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
  const std::vector<std::pair<catalogue::Section, std::string>> below{
      {40, hijacks + "\\sethc.exe"}, {kServices, "SYSTEM\\CurrentControlSet\\Services\\Shared\\Parameters"}};
  for (const auto& [section, key] : below) {
    SCOPED_TRACE(key);
    const std::string value = section == kServices ? "ServiceDll" : "Debugger";
    platform::memory::MemoryWindows windows;
    TSwitches switches;
    switches.Notification = switches.AllPlaces = true;
    if (section == kServices) windows.services.Add("Shared", platform::kServiceAutoStart, "C:\\svchost.exe -k shared");
    windows.registry.PutString(RootKey::LocalMachine, key, value, "C:\\planted.exe");
    {
      ScriptedHost first;
      TChangeMonitor accepted{windows.platform(), switches, first};
      accepted.TakeSnapshot();
      accepted.StartFromBaseline();
    }
    windows.registry.PutString(RootKey::LocalMachine, key, value, "C:\\other.exe");
    ScriptedHost host;
    host.answers = {false};
    TChangeMonitor restarted{windows.platform(), switches, host};
    restarted.TakeSnapshot();
    restarted.StartFromBaseline();
    restarted.CheckAllSections();
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].kind, catalogue::ChangeKind::Changed);
    EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, key, value), "C:\\planted.exe");
  }
}

}  // namespace korvalis::app
