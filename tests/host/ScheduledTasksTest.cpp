// Scheduled tasks as a guarded place: what their definitions say, and what the guard asks about
// and undoes.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Baseline.h"
#include "app/ChangeMonitor.h"
#include "catalogue/Quarantine.h"
#include "catalogue/TaskDefinition.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using catalogue::ParseTaskDefinition;

namespace {

constexpr catalogue::Section kTasks = 103;

std::string Definition(const std::string& triggers, const std::string& actions, const std::string& settings = "",
                       const std::string& date = "2026-12-01T10:00:00") {
  return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
         "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
         "<RegistrationInfo><Date>" + date + "</Date><URI>\\Updater</URI></RegistrationInfo>"
         "<Triggers>" + triggers + "</Triggers><Settings>" + settings + "</Settings>"
         "<Actions Context=\"Author\">" + actions + "</Actions></Task>";
}
std::string Exec(const std::string& command, const std::string& arguments = "") {
  return "<Exec><Command>" + command + "</Command>" + (arguments.empty() ? "" : "<Arguments>" + arguments + "</Arguments>") +
         "</Exec>";
}
const std::string kAtLogon = "<LogonTrigger><Enabled>true</Enabled></LogonTrigger>";
const std::string kDaily =
    "<CalendarTrigger><StartBoundary>2026-12-09T09:00:00</StartBoundary><ScheduleByDay><DaysInterval>1</DaysInterval>"
    "</ScheduleByDay></CalendarTrigger>";

std::string WithPrincipal(std::string xml, const std::string& principal) {
  return xml.replace(xml.find("<Actions"), 0, "<Principals><Principal id=\"Author\">" + principal + "</Principal></Principals>");
}

std::string CommandOf(const std::string& xml) {
  const auto definition = ParseTaskDefinition(xml);
  return definition ? catalogue::TaskCommand(*definition) : "(not a definition)";
}

}  // namespace

TEST(TaskDefinition, ActionsAndTriggersInWordsAndWhatIsRefused) {
  EXPECT_EQ(CommandOf(Definition(kAtLogon, Exec("C:\\x.exe", "-a"))), "C:\\x.exe -a (at logon of any user)");
  EXPECT_EQ(CommandOf(Definition("<LogonTrigger><UserId>PC\\alice</UserId></LogonTrigger><BootTrigger/>" + kDaily,
                                 Exec("C:\\Program Files\\Up\\up.exe") +
                                     "<ComHandler><ClassId>{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}</ClassId></ComHandler>")),
            "\"C:\\Program Files\\Up\\up.exe\" & COM handler {0F87369F-A4E5-4CFC-BD3E-73E6154572DD} "
            "(at logon of PC\\alice; at boot; daily at 09:00)");
  EXPECT_EQ(CommandOf(Definition("<TimeTrigger><StartBoundary>2026-12-09T09:00:00+01:00</StartBoundary></TimeTrigger>"
                                 "<IdleTrigger/><EventTrigger><Subscription>&lt;QueryList/&gt;</Subscription></EventTrigger>"
                                 "<CalendarTrigger><StartBoundary>2026-12-09T18:30:00</StartBoundary><ScheduleByWeek>"
                                 "<WeeksInterval>2</WeeksInterval><DaysOfWeek><Monday/><Friday/></DaysOfWeek>"
                                 "</ScheduleByWeek></CalendarTrigger>"
                                 "<BootTrigger><Enabled>false</Enabled></BootTrigger>",
                                 Exec("x.exe", "&quot;&#x41;&#66;&quot;"))),
            "x.exe \"AB\" (at 09:00 on 2026-12-09; on idle; on an event; every 2 weeks on Monday, Friday at 18:30)");
  const auto hidden = ParseTaskDefinition(Definition(kAtLogon, Exec("x.exe"), "<Enabled>false</Enabled><Hidden>true</Hidden>"));
  ASSERT_TRUE(hidden);
  EXPECT_FALSE(hidden->enabled);
  EXPECT_TRUE(hidden->hidden);
  // Well-formed and within bounds, or nothing: no guess from a broken or hostile definition.
  std::string nested;
  for (int i = 0; i < 40; ++i) nested = "<a>" + nested + "</a>";
  for (const std::string& broken :
       {std::string("<Task><Actions>"), std::string("<Task></Tusk>"), std::string("<Other/>"),
        std::string("<!DOCTYPE Task [<!ENTITY x \"y\">]><Task/>"), std::string("<Task>&unknown;</Task>"),
        std::string("<Task a=\"1/>"), std::string("<Task/><Task/>"), "<Task>" + nested + "</Task>",
        Definition(kAtLogon, Exec(std::string(platform::kMaxTaskDefinitionBytes, 'x')))})
    EXPECT_FALSE(ParseTaskDefinition(broken)) << broken.substr(0, 60);
}

class ScheduledTasksTest : public ::testing::Test {
 protected:
  ScheduledTasksTest() {
    switches.Notification = true;
    switches.AllPlaces = true;
  }
  std::vector<std::string> Asked() {
    std::vector<std::string> asked;
    for (const auto& q : host.questions)
      if (q.section == kTasks) asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name + ": " + q.command);
    host.questions.clear();
    return asked;
  }
  std::string Quarantined(const std::string& name) {
    const auto bytes = windows.files.Contents(catalogue::QuarantineFolder(windows.environment) + "\\" + name);
    return bytes ? platform::TaskFileText(*bytes) : std::string("(none)");
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  testing::ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

TEST_F(ScheduledTasksTest, AddedChangedAndReEnabledTasksAreAskedAndUndoneNoiseIsNot) {
  const std::string daily = Definition(kDaily, Exec("C:\\up.exe", "/check"));
  const std::string disabled = Definition(kAtLogon, Exec("C:\\old.exe"), "<Enabled>false</Enabled>");
  windows.tasks.AddTask("\\Vendor\\Update", daily);
  windows.tasks.AddTask("\\Old", disabled);
  monitor.TakeSnapshot();

  // Added for logon, refused: kept in the quarantine with where it came from, then deleted.
  const std::string logon = Definition(kAtLogon, Exec("C:\\evil.exe", "-q"), "<Hidden>true</Hidden>");
  windows.tasks.AddTask("\\Evil", logon);
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add \\Evil: C:\\evil.exe -q (at logon of any user)"}));
  EXPECT_FALSE(windows.tasks.Definition("\\Evil"));
  EXPECT_EQ(Quarantined("Evil.xml"), logon);
  EXPECT_EQ(Quarantined("Evil.xml.origin.txt"), "\\Evil\r\n");
  // Registered again while its copy lies in the quarantine: undone unasked; once the user has
  // taken the copy out to register it, asked once more.
  windows.tasks.AddTask("\\Evil", logon);
  monitor.CheckAllSections();
  EXPECT_TRUE(Asked().empty());
  EXPECT_FALSE(windows.tasks.Definition("\\Evil"));
  const std::string quarantine = catalogue::QuarantineFolder(windows.environment);
  for (const char* held : {"\\Evil.xml", "\\Evil.xml.origin.txt"})
    windows.files.RemoveFile(quarantine + held);
  windows.tasks.AddTask("\\Evil", logon);
  host.answers = {true};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add \\Evil: C:\\evil.exe -q (at logon of any user)"}));

  // Its trigger changed, refused: the earlier definition is registered again.
  const std::string atLogon = Definition(kAtLogon, Exec("C:\\up.exe", "/check"));
  windows.tasks.AddTask("\\Vendor\\Update", atLogon);
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change \\Vendor\\Update: C:\\up.exe /check (at logon of any user)"}));
  EXPECT_EQ(windows.tasks.Definition("\\Vendor\\Update"), daily);
  EXPECT_EQ(Quarantined("Update.xml"), atLogon);

  // Written again as it was, with a new registration date, or in other letters: nothing to ask.
  windows.tasks.AddTask("\\Vendor\\Update", Definition(kDaily, Exec("C:\\UP.EXE", "/check"), "", "2026-12-09T11:00:00"));
  monitor.CheckAllSections();
  EXPECT_TRUE(Asked().empty());

  // Enabled again, it is a change; refused, it is registered disabled as it was, and so again
  // unasked when it is enabled once more.
  const std::string enabled = Definition(kAtLogon, Exec("C:\\old.exe"));
  windows.tasks.AddTask("\\Old", enabled);
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change \\Old: C:\\old.exe (at logon of any user)"}));
  EXPECT_EQ(windows.tasks.Definition("\\Old"), disabled);
  windows.tasks.AddTask("\\Old", enabled);
  monitor.CheckAllSections();
  EXPECT_TRUE(Asked().empty());
  EXPECT_EQ(windows.tasks.Definition("\\Old"), disabled);
  EXPECT_TRUE(host.errors.empty());

  // A machine task a standard user may not delete: the No fails for lack of rights, and
  // nothing is kept aside for a task that stayed.
  windows.tasks.AddTask("\\Machine", Definition(kAtLogon, Exec("C:\\m.exe")), true);
  windows.tasks.standardUser = true;
  host.answers = {false};
  monitor.CheckAllSections();
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_NE(host.errors[0].find("Cannot delete scheduled task \\Machine"), std::string::npos);
  catalogue::TStartups read(platform::WindowHandle{}, windows.platform());
  read.LoadSections(catalogue::SectionSet::Of(kTasks));
  for (int i = 0; i < read.Count(); ++i)
    if (read.Items(i).ValueName() == "\\Machine") {
      read.Items(i).SetEnabled(false);
      EXPECT_THROW(read.Items(i).Apply(), RightsMissingError);
    }
  EXPECT_TRUE(windows.tasks.Definition("\\Machine"));
  EXPECT_EQ(Quarantined("Machine.xml"), "(none)");
}

TEST_F(ScheduledTasksTest, AsWhomATaskRunsIsSaidAndAChangeOfItIsAChange) {
  const std::string job = Definition(kAtLogon, Exec("C:\\x.exe"));
  EXPECT_EQ(CommandOf(WithPrincipal(job, "<UserId>S-1-5-18</UserId>")), "C:\\x.exe (at logon of any user) as SYSTEM");
  EXPECT_EQ(CommandOf(WithPrincipal(job, "<UserId>NT AUTHORITY\\LOCAL SERVICE</UserId>")),
            "C:\\x.exe (at logon of any user) as LOCAL SERVICE");
  EXPECT_EQ(CommandOf(WithPrincipal(job, "<UserId>PC\\bob</UserId><RunLevel>HighestAvailable</RunLevel>")),
            "C:\\x.exe (at logon of any user) as PC\\bob with highest privileges");
  EXPECT_EQ(CommandOf(WithPrincipal(job, "<GroupId>S-1-5-32-544</GroupId><RunLevel>LeastPrivilege</RunLevel>")),
            "C:\\x.exe (at logon of any user) as members of Administrators");

  // The user's own task goes unsaid; the same task moved to SYSTEM is asked, and No puts it back.
  const std::string own = WithPrincipal(job, "<UserId>PC\\Alice</UserId>");
  windows.tasks.AddTask("\\Job", own);
  monitor.TakeSnapshot();
  windows.tasks.AddTask("\\Job", WithPrincipal(job, "<UserId>SYSTEM</UserId>"));
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change \\Job: C:\\x.exe (at logon of any user) as SYSTEM"}));
  EXPECT_EQ(windows.tasks.Definition("\\Job"), own);
}

TEST_F(ScheduledTasksTest, ATaskStoredBeforeItsCommandSaidAsWhomItRunsIsNotAChangeUnlessItsPrincipalChanged) {
  const std::string job = Definition(kAtLogon, Exec("C:\\x.exe"));
  const std::string system = WithPrincipal(job, "<UserId>S-1-5-18</UserId><RunLevel>HighestAvailable</RunLevel>");
  windows.tasks.AddTask("\\Job", system);
  windows.tasks.AddTask("\\Moved", WithPrincipal(job, "<UserId>SYSTEM</UserId>"));
  // Stored by the earlier build, the command without as whom it runs; \Moved then ran as its author.
  TBaseline earlier;
  earlier.places = catalogue::SectionSet::Of(kTasks);
  for (const auto& [path, xml] : {std::pair{"\\Job", system}, std::pair{"\\Moved", job}})
    earlier.entries.push_back(TBaselineEntry{kTasks, path, path, "C:\\x.exe (at logon of any user)", 0, 0,
                                             std::vector<std::uint8_t>(xml.begin(), xml.end())});
  SaveBaseline(windows.platform(), earlier);
  monitor.TakeSnapshot();
  monitor.StartFromBaseline();
  host.answers = {true};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change \\Moved: C:\\x.exe (at logon of any user) as SYSTEM"}));
}

TEST_F(ScheduledTasksTest, AnUnreadableDefinitionIsAskedAboutAndNoQuarantinesIt) {
  const std::string good = Definition(kAtLogon, Exec("C:\\up.exe"));
  windows.tasks.AddTask("\\Good", good);
  monitor.TakeSnapshot();

  const std::string broken = "<Task><Actions><Exec><Command>C:\\evil.exe";
  const std::string giant = Definition(kAtLogon, Exec("C:\\evil.exe", std::string(platform::kMaxTaskDefinitionBytes, 'x')));
  windows.tasks.AddTask("\\Broken", broken);
  windows.tasks.AddTask("\\Giant", giant);
  windows.tasks.AddTask("\\Good", broken);
  host.answers = {false, false, false};
  monitor.CheckAllSections();
  std::vector<std::string> asked = Asked();
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (std::vector<std::string>{"Add \\Broken: definition unreadable", "Add \\Giant: definition unreadable",
                                             "Change \\Good: definition unreadable"}));
  EXPECT_FALSE(windows.tasks.Definition("\\Broken"));
  EXPECT_FALSE(windows.tasks.Definition("\\Giant"));
  EXPECT_EQ(windows.tasks.Definition("\\Good"), good);
  EXPECT_EQ(Quarantined("Broken.xml"), broken);
  EXPECT_EQ(Quarantined("Giant.xml"), giant);
  EXPECT_EQ(Quarantined("Good.xml"), broken);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ScheduledTasksTest, AnUndoOfManyTasksListsThemOnce) {
  monitor.TakeSnapshot();
  constexpr int kTasks = 100;
  for (int i = 0; i < kTasks; ++i)
    windows.tasks.AddTask("\\Flood\\T" + std::to_string(i), Definition(kAtLogon, Exec("C:\\f.exe", std::to_string(i))));
  host.defaultAnswer = false;
  const std::uint64_t before = windows.tasks.listings;
  monitor.CheckAllSections();
  EXPECT_EQ(host.groups, (std::vector<std::size_t>{kTasks}));
  std::vector<platform::RegisteredTask> left;
  ASSERT_EQ(windows.tasks.ListTasks(left), platform::kSuccess);
  EXPECT_TRUE(left.empty());
  EXPECT_TRUE(host.errors.empty());
  // The check's reading and a few more of the whole place; never one per task.
  EXPECT_LT(windows.tasks.listings - before, 5u);
}

TEST_F(ScheduledTasksTest, ATaskHiddenInTheSchedulersCacheIsAskedAboutAndNoDeletesItsKeys) {
  using platform::RootKey;
  const std::string cache = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache";
  const std::string hiddenId = "{0A1B2C3D-0000-4000-8000-00000000000A}", directId = "{0A1B2C3D-0000-4000-8000-00000000000B}",
                    listedId = "{0A1B2C3D-0000-4000-8000-00000000000C}", unseenId = "{0A1B2C3D-0000-4000-8000-00000000000D}",
                    decoyId = "{0A1B2C3D-0000-4000-8000-00000000000E}";
  const auto tree = [&](const std::string& path, const std::string& id, bool sd) {
    windows.registry.PutString(RootKey::LocalMachine, cache + "\\Tree" + path, "Id", id);
    if (sd) windows.registry.Put(RootKey::LocalMachine, cache + "\\Tree" + path, "SD", 3, {1, 0, 4, 0x80});
    windows.registry.PutString(RootKey::LocalMachine, cache + "\\Tasks\\" + id, "Path", path);
  };
  // Listed through the API, or kept from this user by its descriptor: no hidden task.
  windows.tasks.AddTask("\\Listed", Definition(kAtLogon, Exec("C:\\l.exe")));
  tree("\\Listed", listedId, false);
  tree("\\Vendor\\Unseen", unseenId, true);
  monitor.TakeSnapshot();

  // Its descriptor deleted, and two written into Tasks alone, one under a managed task's path.
  tree("\\Vendor\\Hidden", hiddenId, false);
  windows.registry.PutString(RootKey::LocalMachine, cache + "\\Tasks\\" + directId, "Path", "\\Direct");
  windows.registry.PutString(RootKey::LocalMachine, cache + "\\Tasks\\" + decoyId, "Path", "\\Vendor\\Unseen");
  windows.registry.AddKey(RootKey::LocalMachine, cache + "\\Logon\\" + hiddenId);
  host.answers = {false, false, false};
  // The registry alone changed: seen by the safety read, as the scheduler's watch is its folder.
  monitor.CheckSection(*catalogue::PlaceOf(kTasks));
  std::vector<std::string> asked = Asked();
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (std::vector<std::string>{"Add \\Direct: hidden from the task scheduler",
                                             "Add \\Vendor\\Hidden: hidden from the task scheduler",
                                             "Add \\Vendor\\Unseen: hidden from the task scheduler"}));
  EXPECT_TRUE(host.errors.empty());
  for (const std::string& gone : {std::string("\\Tree\\Vendor\\Hidden"), "\\Tasks\\" + hiddenId, "\\Logon\\" + hiddenId, "\\Tasks\\" + directId,
                                  "\\Tasks\\" + decoyId})
    EXPECT_FALSE(windows.registry.HasKey(RootKey::LocalMachine, cache + gone)) << gone;
  for (const std::string& kept : {std::string("\\Tree\\Vendor\\Unseen"), "\\Tasks\\" + unseenId, std::string("\\Tree\\Listed")})
    EXPECT_TRUE(windows.registry.HasKey(RootKey::LocalMachine, cache + kept)) << kept;
  monitor.CheckSection(*catalogue::PlaceOf(kTasks));
  EXPECT_TRUE(Asked().empty());
}

}  // namespace korvalis::app
