#include <gtest/gtest.h>

#include "app/ChangeMonitor.h"
#include "app/ElevatedCopy.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using namespace korvalis::testing;

namespace {

constexpr catalogue::Section kMachineRun = catalogue::kLocalMachineRun;

// The request file named in the elevated copy's arguments: /elevated "path".
std::string RequestFileOf(const std::string& arguments) {
  const auto open = arguments.find('"');
  return arguments.substr(open + 1, arguments.rfind('"') - open - 1);
}

class ElevatedUndoTest : public ::testing::Test {
 protected:
  ElevatedUndoTest() {
    switches.Notification = true;
    switches.Logs = true;
    switches.AllPlaces = true;
    windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Existing", "C:\\e.exe");
    monitor.TakeSnapshot();
    StandardUser();
  }
  // The resident program's rights: the machine's keys are read-only to it, its tasks too.
  void StandardUser() { SetRights(false); }
  void SetRights(bool administrator) {
    for (const std::string& key : machineKeys) windows.registry.SetRights(RootKey::LocalMachine, key, {true, administrator});
    windows.tasks.standardUser = !administrator;
  }
  // The elevated copy: the same program against the same machine, with an administrator's rights.
  void ElevatedCopy(bool ok, std::function<void()> beforeReading = {}) {
    windows.elevation.elevated = [=](const std::string& arguments, std::uint32_t& exitCode) {
      SetRights(true);
      administrator = true;
      if (beforeReading) beforeReading();
      exitCode = static_cast<std::uint32_t>(RunElevatedRequest(windows.platform(), RequestFileOf(arguments),
                                                               [&](const std::vector<std::string>& steps, const std::string& code) {
                                                                 shownSteps = steps;
                                                                 allSteps.insert(allSteps.end(), steps.begin(), steps.end());
                                                                 shownCode = code;
                                                                 return ok;
                                                               }));
      StandardUser();
      administrator = false;
    };
  }
  std::optional<std::string> MachineRun(const std::string& name) {
    return windows.registry.GetString(RootKey::LocalMachine, kRunKey, name);
  }
  bool Refused(const std::string& valueName) const {
    for (const TRefusal& refusal : monitor.Refusals())
      if (refusal.valueName == valueName) return true;
    return false;
  }

  platform::memory::MemoryWindows windows;
  std::vector<std::string> machineKeys{kRunKey};
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
  std::vector<std::string> shownSteps;
  std::string shownCode;
  std::vector<std::string> allSteps;
  bool administrator = false;
};

}  // namespace

TEST_F(ElevatedUndoTest, AStandardUsersRefusalIsOfferedDeclinedTriedAgainAndCheckedInItsPlace) {
  host.defaultAnswer = false;
  host.acceptOffer = true;

  // Refused, offered by name, and the system's prompt declined: the change stays, the refusal too.
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "C:\\p.exe");
  monitor.CheckAllSections();
  ASSERT_EQ(host.offers.size(), 1u);
  ASSERT_EQ(host.offers[0].size(), 2u);
  EXPECT_EQ(host.offers[0][0], "Failed to delete value 'Payload'");
  const std::string codeLine = "Korvalis as administrator will show the code ";
  ASSERT_EQ(host.offers[0][1].rfind(codeLine, 0), 0u);
  const std::string offeredCode = host.offers[0][1].substr(codeLine.size());
  EXPECT_EQ(offeredCode.size(), 9u);  // "3FA2 9C01"
  EXPECT_EQ(host.errors, (std::vector<std::string>{"The change stays: administrator rights were not given"}));
  EXPECT_TRUE(MachineRun("Payload"));
  EXPECT_TRUE(Refused("Payload"));
  ASSERT_EQ(monitor.PendingUndos().size(), 1u);
  EXPECT_EQ(windows.elevation.started, 1);

  // Tried again from the refused entries, the user says no in the elevated copy's own window.
  ElevatedCopy(false);
  monitor.UndoPendingAsAdministrator();
  EXPECT_EQ(shownSteps, (std::vector<std::string>{
                           "Delete value \"Payload\" of HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run (" +
                           std::to_string(catalogue::kNativeViewBits) + "-bit view): text \"C:\\p.exe\""}));
  EXPECT_EQ(shownCode, offeredCode);
  EXPECT_TRUE(MachineRun("Payload"));
  EXPECT_EQ(host.errors.back(), "Payload is still there: it could not be undone as administrator");
  EXPECT_FALSE(Refused("Payload"));  // not carried out: it does not stand

  // Accepted in one request for all the refusals of an answer; one of them changed meanwhile.
  host.errors.clear();
  host.log.clear();
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Agent", "C:\\a.exe");
  windows.registry.Remove(RootKey::LocalMachine, kRunKey, "Existing");
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Sneak", "C:\\s.exe");
  ElevatedCopy(true, [&] { windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Sneak", "C:\\other.exe"); });
  host.questions.clear();
  monitor.CheckAllSections();
  ASSERT_EQ(host.offers.size(), 2u);
  EXPECT_EQ(host.offers[1].size(), 4u);  // three refusals and the request's code
  EXPECT_EQ(windows.elevation.started, 3);
  EXPECT_FALSE(MachineRun("Agent"));
  EXPECT_EQ(MachineRun("Existing"), "C:\\e.exe");
  EXPECT_EQ(MachineRun("Sneak"), "C:\\other.exe");
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Sneak was not undone: its place changed meanwhile"}));
  EXPECT_TRUE(Refused("Agent"));
  EXPECT_FALSE(Refused("Sneak"));
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "Undone as administrator: Agent C:\\a.exe"), host.log.end());
  EXPECT_TRUE(windows.elevation.lastArguments.rfind(kElevatedSwitch, 0) == 0);
  EXPECT_FALSE(windows.files.Exists(RequestFileOf(windows.elevation.lastArguments)));

  // What was undone is not taken for a change of its own; only the sneak's new command is asked.
  host.questions.clear();
  host.defaultAnswer = true;
  monitor.CheckAllSections();
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0].command, "C:\\other.exe");

  // A user's own key is never offered: the elevated copy may run in another profile.
  host.defaultAnswer = false;
  windows.registry.SetRights(RootKey::CurrentUser, kRunKey, {true, false});
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Mine", "C:\\m.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(host.offers.size(), 2u);
  EXPECT_EQ(host.errors.back(), "Failed to delete value 'Mine'");
}

TEST_F(ElevatedUndoTest, AFileAStandardUserCannotTakeFromTheMachinesStartupFolderIsQuarantinedAsAdministrator) {
  const std::string common = windows.shell.SpecialFolderPath(platform::kCsidlCommonStartup, 0);
  // As a standard user's token: nothing leaves the all-users Startup folder without elevation.
  windows.files.SetHook([&](const platform::memory::FileOperation& op) {
    return administrator || op.kind != platform::memory::FileOperation::Kind::Move || op.path.rfind(common, 0) != 0;
  });
  host.defaultAnswer = false;
  host.acceptOffer = true;
  ElevatedCopy(true);
  windows.files.AddFile(common + "\\Payload.bat", {'a', 'b'});
  monitor.CheckAllSections();
  ASSERT_EQ(host.offers.size(), 1u);
  EXPECT_EQ(host.offers[0].front(), "Cannot quarantine file " + common + "\\Payload.bat");
  EXPECT_EQ(shownSteps, (std::vector<std::string>{"Quarantine file \"" + common + "\\Payload.bat\", 2 bytes, beginning \"ab\""}));
  EXPECT_FALSE(windows.files.Exists(common + "\\Payload.bat"));
  EXPECT_EQ(windows.files.Contents("C:\\ProgramData\\Korvalis\\Quarantine\\Payload.bat"),
            (std::vector<std::uint8_t>{'a', 'b'}));
  EXPECT_TRUE(windows.files.AdministratorsOnly("C:\\ProgramData\\Korvalis\\Quarantine"));
  EXPECT_TRUE(Refused("Payload.bat"));
  EXPECT_TRUE(host.errors.empty());

  // Swapped for another file of the same name while the prompt was up: left alone.
  windows.files.AddFile(common + "\\Other.bat", {'o'});
  ElevatedCopy(true, [&] { windows.files.AddFile(common + "\\Other.bat", {'x'}); });
  monitor.CheckAllSections();
  EXPECT_EQ(windows.files.Contents(common + "\\Other.bat"), (std::vector<std::uint8_t>{'x'}));
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Other.bat was not undone: its place changed meanwhile"}));

  // A junction planted at the machine's quarantine: nothing goes through it, the file stays.
  host.errors.clear();
  windows.files.AddJunction("C:\\ProgramData\\Korvalis\\Quarantine", "C:\\users\\alice\\Planted");
  windows.files.AddFile(common + "\\Agent.lnk", {'L', 0});
  ElevatedCopy(true);
  monitor.CheckAllSections();
  EXPECT_TRUE(windows.files.Exists(common + "\\Agent.lnk"));
  EXPECT_FALSE(windows.files.Exists("C:\\users\\alice\\Planted\\Agent.lnk"));
  ASSERT_FALSE(host.errors.empty());
  EXPECT_EQ(host.errors.back(), "Agent.lnk is still there: it could not be undone as administrator");
}

TEST_F(ElevatedUndoTest, ThreeHundredRefusalsADotsValueADefaultValueAndATaskGoThroughTheElevatedCopy) {
  const std::string command = "Software\\Classes\\exefile\\shell\\open\\command";
  windows.registry.PutString(RootKey::LocalMachine, command, "", "\"%1\" %*");
  machineKeys.push_back(command);
  monitor.TakeSnapshot();
  StandardUser();
  host.defaultAnswer = false;
  host.acceptOffer = true;
  ElevatedCopy(true);
  for (int i = 0; i < 299; ++i) windows.registry.PutString(RootKey::LocalMachine, kRunKey, "V" + std::to_string(i), "C:\\v.exe");
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "..", "C:\\dots.exe");
  windows.registry.PutString(RootKey::LocalMachine, command, "", "C:\\hijack.exe \"%1\"");
  windows.tasks.AddTask("\\Folder\\Evil", "<Task><Actions><Exec><Command>C:\\evil.exe</Command></Exec></Actions></Task>", true);
  monitor.CheckAllSections();
  EXPECT_TRUE(host.errors.empty()) << host.errors.front();
  EXPECT_EQ(windows.elevation.started, 3);  // one request for each place's answer
  EXPECT_FALSE(MachineRun("V0") || MachineRun("V298") || MachineRun(".."));
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, command, ""), "\"%1\" %*");
  std::string xml;
  EXPECT_EQ(windows.tasks.ReadTask("\\Folder\\Evil", xml), platform::kErrorFileNotFound);
  EXPECT_TRUE(windows.files.Exists("C:\\ProgramData\\Korvalis\\Quarantine\\Evil.xml"));
  EXPECT_TRUE(Refused(".."));
  // Every step in full: the default value's write marked as one, the task by its path.
  EXPECT_EQ(allSteps.size(), 302u);
  const std::string view = std::to_string(catalogue::kNativeViewBits) + "-bit view";
  EXPECT_NE(std::find(allSteps.begin(), allSteps.end(),
                      "WRITE value (Default) of HKEY_LOCAL_MACHINE\\Software\\Classes\\exefile\\shell\\open\\command (" +
                          view + "): REG_SZ \"\"%1\" %*\", over REG_SZ \"C:\\hijack.exe \"%1\"\""),
            allSteps.end());
  EXPECT_EQ(allSteps.back().rfind("Delete task \"\\Folder\\Evil\": ", 0), 0u) << allSteps.back();
}

TEST_F(ElevatedUndoTest, AProgramFileAProgramOfTheUsersCouldChangeIsNeverRunElevated) {
  const std::string folder = "C:\\Program Files\\Korvalis";
  windows.security.Grant(folder, windows.security.user, platform::kRightWriteData);
  host.defaultAnswer = false;
  host.acceptOffer = true;
  ElevatedCopy(true);
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "C:\\p.exe");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.offers.empty());
  EXPECT_EQ(host.notOffered, (std::vector<std::vector<std::string>>{{"Failed to delete value 'Payload'"}}));
  ASSERT_EQ(host.notOfferedWhy.size(), 1u);
  EXPECT_NE(host.notOfferedWhy[0].find("\r\n" + folder + ": PC\\alice may change it\r\n"), std::string::npos);
  EXPECT_NE(host.notOfferedWhy[0].find("\"Install for all users\""), std::string::npos);
  EXPECT_EQ(windows.elevation.started, 0);
  EXPECT_TRUE(MachineRun("Payload"));

  // Started anyway, the copy does nothing and shows nothing; the same request from a program
  // file nobody else may change is shown.
  TElevatedRequest request;
  request.kind = TElevatedRequest::Kind::RegisterMessageFile;
  request.messageFile = windows.environment.programPath;
  const std::string text = EncodeRequest(request);
  const std::string path = windows.environment.localAppData + "\\Korvalis\\elevated.request";
  windows.files.AddFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  bool shown = false;
  const auto confirm = [&](const std::vector<std::string>&, const std::string&) { return shown = true, false; };
  EXPECT_EQ(RunElevatedRequest(windows.platform(), path, confirm), kElevatedRefused);
  EXPECT_FALSE(shown);
  windows.security.SetAccess(folder, {});
  EXPECT_EQ(RunElevatedRequest(windows.platform(), path, confirm), kElevatedDeclined);
  EXPECT_TRUE(shown);
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(ElevatedUndoTest, ADeclinedUndoWaitsAcrossARestartAndARewritingProgramBringsOnePromptInTenMinutes) {
  std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
  monitor.StartFromBaseline();
  host.defaultAnswer = false;
  host.acceptOffer = true;
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "C:\\p.exe");
  monitor.CheckAllSections();
  ASSERT_EQ(monitor.PendingUndos().size(), 1u);

  // Kept beside the baseline; what another program adds to that file does not wait.
  const std::string kept = WaitingUndosPath(windows.environment);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(windows.files.ReadFile(kept, bytes));
  TElevatedRequest forged;
  forged.undos = monitor.PendingUndos();
  forged.undos[0].writeBack.valueName = forged.undos[0].now.valueName = "Existing";
  forged.undos[0].writeBack.command = forged.undos[0].now.command = "C:\\e.exe";
  const std::string more = EncodeRequest(forged) + "Korvalis elevated request 1\nundo\nwrite nonsense\nend\n";
  bytes.insert(bytes.end(), more.begin(), more.end());
  ASSERT_TRUE(windows.files.WriteFile(kept, bytes));

  ScriptedHost again;
  again.acceptOffer = true;
  TChangeMonitor restarted{windows.platform(), switches, again, [&] { return now; }};
  restarted.StartFromBaseline();
  ASSERT_EQ(restarted.PendingUndos().size(), 1u);
  EXPECT_EQ(restarted.PendingUndos()[0].writeBack.valueName, "Payload");

  // The program takes its entry away and writes it back, again and again: one prompt in ten minutes.
  const auto rewrite = [&] {
    windows.registry.Remove(RootKey::LocalMachine, kRunKey, "Payload");
    restarted.CheckAllSections();
    windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "C:\\p.exe");
    restarted.CheckAllSections();
  };
  rewrite();
  EXPECT_EQ(again.offers.size(), 1u);
  now += std::chrono::minutes(1);
  rewrite();
  rewrite();
  EXPECT_EQ(again.offers.size(), 1u);
  ASSERT_EQ(restarted.PendingUndos().size(), 1u);
  EXPECT_EQ(again.notices.back(),
            std::string("Payload came back in ") + catalogue::SectionName(kMachineRun) +
                "; its undo waits for administrator rights in Refused Entries.");
  EXPECT_EQ(std::count(again.log.begin(), again.log.end(), "Undone again: Payload C:\\p.exe"), 0);
  now += std::chrono::minutes(10);
  rewrite();
  EXPECT_EQ(again.offers.size(), 2u);
  EXPECT_TRUE(MachineRun("Payload"));
}

TEST_F(ElevatedUndoTest, ExitingWhileTheElevatedCopyRunsKeepsTheUndoWithoutSayingRightsWereRefused) {
  host.defaultAnswer = false;
  host.acceptOffer = true;
  windows.elevation.elevated = [&](const std::string&, std::uint32_t&) { host.closing = true; };
  windows.elevation.ending = true;
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "C:\\p.exe");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(monitor.PendingUndos().size(), 1u);
  EXPECT_TRUE(Refused("Payload"));

  // Forgetting the refusals while a question is open waits until the check has ended.
  host.closing = false;
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Other", "C:\\o.exe");
  host.whileAsking = [&](const Question&) { monitor.ClearRefusals(); EXPECT_TRUE(Refused("Payload")); };
  monitor.CheckAllSections();
  EXPECT_TRUE(monitor.Refusals().empty());
  EXPECT_TRUE(monitor.PendingUndos().empty());
}

}  // namespace korvalis::app
