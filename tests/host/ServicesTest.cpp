// Services that start by themselves: asked about when one is added or switched to start so, or
// when what any service but a disabled one runs changes; No disables it through the service
// manager (or its key, where the manager does not know it) or writes it back.
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
    windows.services.Add("Spooler", platform::kServiceDemandStart, "C:\\spool.exe", "C:\\spoolsv.dll");
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

TEST_F(ServicesTest, OneAddedIsDisabledAndStoppedButNeverDeletedAndOneSwitchedFromDemandGetsItsStartTypeBack) {
  windows.services.Add("Updater", platform::kServiceAutoStart, "\"C:\\Up\\up.exe\" -service");
  windows.services.SetRunning("Updater", true);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Spooler", "Start", platform::kServiceAutoStart);
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Updater in Services and Drivers",
                                               "Change Spooler in Services and Drivers"}));
  EXPECT_EQ(Start("Updater"), platform::kServiceDisabled);
  EXPECT_EQ(Start("Spooler"), platform::kServiceDemandStart);
  EXPECT_FALSE(windows.services.IsRunning("Updater"));
  EXPECT_EQ(Text("Updater", "ImagePath"), "\"C:\\Up\\up.exe\" -service");

  // Set to start on demand, or deleted, a service starts nothing by itself: taken silently.
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Existing", "Start", platform::kServiceDemandStart);
  windows.registry.DeleteTree(RootKey::LocalMachine, kKey + "\\Netsvc");
  monitor.CheckAllSections();
  // The refused ones switched back are undone again without a question, each as it was refused.
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Updater", "Start", platform::kServiceAutoStart);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Spooler", "Start", platform::kServiceAutoStart);
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 2u);
  EXPECT_EQ(Start("Updater"), platform::kServiceDisabled);
  EXPECT_EQ(Start("Spooler"), platform::kServiceDemandStart);
  EXPECT_EQ(host.notices.size(), 2u);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ServicesTest, AChangedPathOrLibraryOfAServiceOfAnyStartTypeIsAskedAndWrittenBackWhileNoiseIsNot) {
  const std::string svchost = Text("Netsvc", "ImagePath");
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Spooler", "ImagePath", "C:\\fax.exe", platform::kRegExpandSz);
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Spooler\\Parameters", "ServiceDll", "C:\\fax.dll");
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Netsvc", "ImagePath", "C:\\evil.exe", platform::kRegExpandSz);
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", "ServiceDll", "C:\\evil.dll");
  host.answers = {false, false, false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change Netsvc in Services and Drivers",
                                               "Change Netsvc\\Parameters\\ServiceDll in Services and Drivers",
                                               "Change Spooler in Services and Drivers",
                                               "Change Spooler\\Parameters\\ServiceDll in Services and Drivers"}));
  EXPECT_EQ(Text("Spooler", "ImagePath"), "C:\\spool.exe");
  EXPECT_EQ(Start("Spooler"), platform::kServiceDemandStart);
  EXPECT_EQ(Text("Spooler\\Parameters", "ServiceDll"), "C:\\spoolsv.dll");
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
  windows.registry.SetRights(RootKey::LocalMachine, kKey + "\\Spooler\\Parameters", {true, false});
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

TEST_F(ServicesTest, AFailedUndoOfAServicesLibraryNamesTheServiceAsTheUserKnowsIt) {
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", "ServiceDll", "C:\\evil.dll");
  windows.registry.SetRights(RootKey::LocalMachine, kKey + "\\Netsvc\\Parameters", {true, false});
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors, std::vector<std::string>{"Failed to set data for 'Netsvc'"});
}

TEST_F(ServicesTest, ADisableIsDoneOnlyWhenTheServicesKeyReadsSoAlsoWhereTheManagerDoesNotKnowIt) {
  using Kind = platform::memory::RegistryOperation::Kind;
  windows.services.AddToRegistryOnly("Ghost", platform::kServiceAutoStart, "C:\\ghost.exe");
  windows.services.AddToRegistryOnly("Stubborn", platform::kServiceAutoStart, "C:\\stubborn.exe");
  windows.services.AddToRegistryOnly("Locked", platform::kServiceAutoStart, "C:\\locked.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kKey + "\\Locked", {true, false});
  windows.services.Add("Busy", platform::kServiceAutoStart, "C:\\busy.exe");
  windows.services.SetRunning("Busy", true);
  windows.services.stopRefusal = 1061;  // a service that cannot take a stop now
  // A program that writes its start type back the moment it is changed.
  windows.registry.SetHook([this](const platform::memory::RegistryOperation& operation) {
    if (operation.kind == Kind::QueryValueInfo && operation.path == kKey + "\\Stubborn" && operation.name == "Start")
      windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Stubborn", "Start", platform::kServiceAutoStart);
    return platform::kSuccess;
  });
  host.answers = {false, false, false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Start("Ghost"), platform::kServiceDisabled);
  EXPECT_EQ(Start("Busy"), platform::kServiceDisabled);
  EXPECT_TRUE(windows.services.IsRunning("Busy"));
  EXPECT_EQ(Start("Stubborn"), platform::kServiceAutoStart);
  EXPECT_EQ(Start("Locked"), platform::kServiceAutoStart);
  // Only the key's refusal is one an administrator could overcome.
  ASSERT_EQ(host.offers.size(), 1u);
  EXPECT_EQ(host.offers[0].front(), "Failed to disable service 'Locked'");
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to disable service 'Stubborn'",
                                                   "Failed to disable service 'Locked'"}));
  std::vector<std::string> refused;
  for (const TRefusal& refusal : monitor.Refusals()) refused.push_back(refusal.valueName);
  std::sort(refused.begin(), refused.end());
  EXPECT_EQ(refused, (std::vector<std::string>{"Busy", "Ghost"}));
}

TEST_F(ServicesTest, ABootOrSystemDriverIsUndoneOnlyAfterASecondQuestionThatNamesTheRiskAlsoWhenItComesBack) {
  windows.services.Add("Filter", platform::kServiceBootStart, "System32\\drivers\\filter.sys");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(host.risks, std::vector<std::string>{
                            "Disabling the driver Filter may keep Windows from starting. Disable it anyway?"});
  EXPECT_EQ(Start("Filter"), platform::kServiceBootStart);
  EXPECT_TRUE(monitor.Refusals().empty());
  // Changed, it is put back only after a Yes to the second question.
  windows.registry.PutString(RootKey::LocalMachine, kKey + "\\Filter", "ImagePath", "C:\\evil.sys", platform::kRegExpandSz);
  host.answers = {false};
  host.riskAnswers = {true};
  monitor.CheckAllSections();
  EXPECT_EQ(host.risks.back(),
            "Putting the driver Filter back as it was may keep Windows from starting. Put it back anyway?");
  EXPECT_EQ(Text("Filter", "ImagePath"), "System32\\drivers\\filter.sys");
  // Added, refused and disabled; each time it comes back, undone only after the question again.
  windows.services.Add("Rootkit", platform::kServiceSystemStart, "C:\\rk.sys");
  host.answers = {false};
  host.riskAnswers = {true, true};
  monitor.CheckAllSections();
  EXPECT_EQ(Start("Rootkit"), platform::kServiceDisabled);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Rootkit", "Start", platform::kServiceSystemStart);
  monitor.CheckAllSections();
  EXPECT_EQ(Start("Rootkit"), platform::kServiceDisabled);
  EXPECT_EQ(host.risks.size(), 4u);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Rootkit", "Start", platform::kServiceSystemStart);
  monitor.CheckAllSections();
  EXPECT_EQ(Start("Rootkit"), platform::kServiceSystemStart);
  EXPECT_EQ(host.risks.size(), 5u);
  for (const TRefusal& refusal : monitor.Refusals()) EXPECT_NE(refusal.valueName, "Rootkit");
  // A No given because the program is ending undoes no driver, and asks nothing more.
  windows.services.Add("Late", platform::kServiceSystemStart, "C:\\late.sys");
  host.closing = true;
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Start("Late"), platform::kServiceSystemStart);
  EXPECT_EQ(host.risks.size(), 5u);
  EXPECT_EQ(host.questions.size(), 4u);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ServicesTest, RefusalsForgottenWhileTheSecondQuestionIsOpenDoNotLoseTheYesGivenToIt) {
  // The tray menu runs inside the question's modal loop: Refused Entries may forget them meanwhile.
  windows.services.Add("Rootkit", platform::kServiceSystemStart, "C:\\rk.sys");
  host.answers = {false};
  host.riskAnswers = {true};
  monitor.CheckAllSections();
  ASSERT_EQ(Start("Rootkit"), platform::kServiceDisabled);
  windows.registry.PutDword(RootKey::LocalMachine, kKey + "\\Rootkit", "Start", platform::kServiceSystemStart);
  host.riskAnswers = {true};
  host.whileRisk = [this] { monitor.ClearRefusals(); };
  monitor.CheckAllSections();
  EXPECT_EQ(host.risks.size(), 2u);
  EXPECT_EQ(Start("Rootkit"), platform::kServiceDisabled);
  EXPECT_TRUE(monitor.Refusals().empty());
}

TEST_F(ServicesTest, AnImagePathThatIsNoTextIsAskedAboutAsUnreadableAndUndoneAsAnyOther) {
  windows.services.Add("Odd", platform::kServiceAutoStart, "C:\\odd.exe");
  windows.registry.Put(RootKey::LocalMachine, kKey + "\\Odd", "ImagePath", platform::kRegBinary, {0x43, 0x3a, 0x5c});
  windows.registry.Put(RootKey::LocalMachine, kKey + "\\Existing", "ImagePath", platform::kRegDword,
                       platform::DwordBytes(7));
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Odd in Services and Drivers",
                                               "Change Existing in Services and Drivers"}));
  for (const Question& question : host.questions)
    EXPECT_EQ(question.command, "ImagePath unreadable: its data is not text");
  EXPECT_EQ(Start("Odd"), platform::kServiceDisabled);
  EXPECT_EQ(Text("Existing", "ImagePath"), "C:\\existing.exe");
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(ServicesTest, FiveHundredImportedInOneBurstAreOneGroupedQuestionAndAllEndDisabled) {
  for (int i = 0; i < 500; ++i)
    windows.services.Add("Flood" + std::to_string(i), platform::kServiceAutoStart,
                         "C:\\Flood\\f" + std::to_string(i) + ".exe");
  host.defaultAnswer = false;
  monitor.CheckAllSections();
  EXPECT_EQ(host.groups, std::vector<std::size_t>{500});
  int disabled = 0;
  for (int i = 0; i < 500; ++i) disabled += Start("Flood" + std::to_string(i)) == platform::kServiceDisabled;
  EXPECT_EQ(disabled, 500);
  EXPECT_TRUE(host.errors.empty());
}

}  // namespace korvalis::app
