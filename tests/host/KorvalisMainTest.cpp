#include <gtest/gtest.h>

#include "app/Autostart.h"
#include "app/ElevatedCopy.h"
#include "app/KorvalisMain.h"
#include "dialogs/InfoLinks.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"

namespace korvalis::app {

using platform::RootKey;
using namespace korvalis::testing;

namespace {

constexpr const char* kSwitchesKey = "Software\\Brenmoor\\Korvalis";

class RecordingHost : public MainHost {
 public:
  void SetTimerEnabled(bool enabled) override {
    timerEnabled = enabled;
    ++timerSwitches;
  }
  bool AskUser(const app::TChangeQuestion& question, bool) override {
    const catalogue::TStartup& entry = *question.entry;
    asked.push_back(entry.Name());
    const catalogue::TStartup* outer = asking;
    asking = &entry;
    if (whileAsking) whileAsking();
    asking = outer;
    return answer;
  }
  void ReportError(const std::exception& error) override { errors.push_back(error.what()); }
  void Notify(const std::string& text) override { notices.push_back(text); }
  void CheckAfter(std::chrono::milliseconds wait) override { checkAfter.push_back(wait); }

  bool timerEnabled = false;
  std::vector<std::chrono::milliseconds> checkAfter;
  int timerSwitches = 0;
  bool answer = true;
  std::function<void()> whileAsking;
  const catalogue::TStartup* asking = nullptr;  // the entry of the question open now
  std::vector<std::string> asked;
  std::vector<std::string> errors;
  std::vector<std::string> notices;
};

class KorvalisMainTest : public ::testing::Test {
 protected:
  std::optional<std::string> Switch(const char* name) {
    return windows.registry.GetString(RootKey::CurrentUser, kSwitchesKey, name);
  }
  std::string LogText() {
    const auto bytes = windows.files.Contents(windows.environment.localAppData + "\\Korvalis\\korvalis.log");
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }

  platform::memory::MemoryWindows windows;
  RecordingHost host;
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  std::unique_ptr<TKorvalisMain> main =
      std::make_unique<TKorvalisMain>(windows.platform(), host, [] { return std::string("T"); }, [this] { return now; });
};

}  // namespace

TEST_F(KorvalisMainTest, AFirstStartTurnsEverySwitchOnAndTheClosingWritesThemAndTheRecord) {
  main->FormCreate();
  EXPECT_TRUE(windows.registry.HasKey(RootKey::CurrentUser, "Software\\Brenmoor"));
  EXPECT_TRUE(main->Switches().Monitoring);
  EXPECT_TRUE(main->Switches().Notification);
  EXPECT_TRUE(main->Switches().Logs);
  EXPECT_TRUE(host.timerEnabled);
  main->FormClose();
  main->FormDestroy();
  EXPECT_FALSE(host.timerEnabled);
  EXPECT_EQ(Switch("Notification"), "1");
  EXPECT_EQ(Switch("Logs"), "1");
  EXPECT_EQ(Switch("Monitoring"), "1");
  ASSERT_EQ(windows.eventLog.records.size(), 1u);
  EXPECT_EQ(windows.eventLog.records[0].source, "Korvalis");
  EXPECT_EQ(windows.eventLog.records[0].strings, (std::vector<std::string>{"\r\nUser: alice\r\nKorvalis closed"}));
  EXPECT_EQ(LogText(), "T Korvalis started\r\nT Setting loaded successfully\r\nT Setting saved successfully\r\n");
}

TEST_F(KorvalisMainTest, AZeroSwitchStaysOffAndTextThatIsNoNumberCountsAsOn) {
  windows.registry.PutString(RootKey::CurrentUser, kSwitchesKey, "Monitoring", "0");
  windows.registry.PutString(RootKey::CurrentUser, kSwitchesKey, "Logs", "yes");
  main->FormCreate();
  EXPECT_FALSE(main->Switches().Monitoring);
  EXPECT_FALSE(host.timerEnabled);
  EXPECT_TRUE(main->Switches().Logs);
  main->FormDestroy();
  EXPECT_EQ(Switch("Monitoring"), "0");
  EXPECT_EQ(Switch("Logs"), "1");
}

TEST_F(KorvalisMainTest, APlantedSwitchOfAnotherTypeIsReportedAndCannotTurnTheGuardOff) {
  windows.registry.PutDword(RootKey::CurrentUser, kSwitchesKey, "Monitoring", 0);
  main->FormCreate();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Invalid data type for 'Monitoring'"}));
  EXPECT_TRUE(main->Switches().Monitoring);
  EXPECT_TRUE(host.timerEnabled);
  main->FormDestroy();
  EXPECT_EQ(Switch("Monitoring"), "1");
}

TEST_F(KorvalisMainTest, ACreationThatFailsAtTheFirstSnapshotWritesNoSwitchesAndNoRecord) {
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) -> platform::Status {
    if (op.kind == platform::memory::RegistryOperation::Kind::Open) throw Error("Registry unavailable");
    return platform::kSuccess;
  });
  EXPECT_THROW(main->FormCreate(), Error);
  windows.registry.SetHook(nullptr);
  main->FormDestroy();
  EXPECT_FALSE(Switch("Monitoring"));
  EXPECT_TRUE(windows.eventLog.records.empty());
}

TEST_F(KorvalisMainTest, SwitchesThatCannotBeSavedAreReportedAndTheClosingRecordIsStillWritten) {
  main->FormCreate();
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) {
    return op.kind == platform::memory::RegistryOperation::Kind::SetValue ? platform::kErrorAccessDenied
                                                                          : platform::kSuccess;
  });
  main->FormDestroy();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to set data for 'Notification'"}));
  EXPECT_EQ(windows.eventLog.records.size(), 1u);
}

TEST_F(KorvalisMainTest, SwitchingMonitoringOffStopsTheChecksAndOnTakesANewSnapshot) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Held", "C:\\h.exe");
  main->FormCreate();
  // A removal waiting for its place to be quiet is asked as monitoring goes off, not taken.
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Held");
  main->CheckRegTimerTimer();
  EXPECT_TRUE(host.asked.empty());
  main->SetMonitoring(false);
  EXPECT_EQ(host.asked, (std::vector<std::string>{"Held"}));
  EXPECT_FALSE(host.timerEnabled);
  host.asked.clear();
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "WhileOff", "C:\\w.exe");
  main->SetMonitoring(true);
  EXPECT_TRUE(host.timerEnabled);
  main->CheckRegTimerTimer();
  EXPECT_TRUE(host.asked.empty());  // taken into the new snapshot, never asked
}

TEST_F(KorvalisMainTest, ATickAsksAboutChangesAndRestartsTheTimerOnlyWhileMonitoring) {
  main->FormCreate();
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Updater", "C:\\upd.exe");
  host.whileAsking = [&] {
    EXPECT_FALSE(host.timerEnabled);  // no second check while a question is open
    main->SetMonitoring(false);
  };
  main->CheckRegTimerTimer();
  EXPECT_EQ(host.asked, (std::vector<std::string>{"Updater"}));
  EXPECT_FALSE(host.timerEnabled);
  EXPECT_NE(LogText().find("T Add: Updater C:\\upd.exe\r\n"), std::string::npos);
  EXPECT_EQ(LogText().find("Checking for startup changes"), std::string::npos);
}

TEST_F(KorvalisMainTest, AnErrorInATickIsReportedOnceAndTheGuardKeepsRunning) {
  main->FormCreate();
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Updater", "C:\\upd.exe");
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) {
    if (op.kind == platform::memory::RegistryOperation::Kind::QueryInfo) throw Error("Registry unavailable");
    return platform::kSuccess;
  });
  main->CheckRegTimerTimer();
  main->CheckRegTimerTimer();
  // A notice and a problem, never a box that would hold the questions after it.
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.notices, (std::vector<std::string>{"Registry unavailable."}));
  ASSERT_EQ(main->Problems().Items().size(), 1u);
  EXPECT_EQ(main->Problems().Items()[0].text, "Registry unavailable.");
  EXPECT_NE(LogText().find("T Problem: Registry unavailable.\r\n"), std::string::npos);
  EXPECT_TRUE(host.timerEnabled);
  windows.registry.SetHook(nullptr);
  main->CheckRegTimerTimer();
  EXPECT_EQ(host.notices.size(), 1u);
  EXPECT_EQ(host.asked, (std::vector<std::string>{"Updater"}));  // the section was read once it could be
}

TEST_F(KorvalisMainTest, ACheckStartedInsideAnOpenQuestionAskedItTwiceAndUsedFreedEntries) {
  main->FormCreate();
  // The two ways a user turns the timer on while a question is open: the tray menu's toggle,
  // and OK in the options dialog.
  const std::vector<std::function<void()>> turnOn = {
      [&] {
        main->SetMonitoring(false);
        main->SetMonitoring(true);
      },
      [&] {
        main->SetMonitoring(false);
        main->ApplyOptions(TOptions{true, true, true, true});
      }};
  for (std::size_t round = 0; round < turnOn.size(); ++round) {
    const std::string name = "Updater" + std::to_string(round);
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, name, "C:\\Tools\\upd.exe /q");
    host.asked.clear();
    bool toggled = false;
    host.whileAsking = [&] {
      if (std::exchange(toggled, true)) return;
      const catalogue::TStartup& open = *host.asking;
      const std::string folder = dialogs::LocateFolderArgument(open.Command());
      const std::string address = dialogs::OnlineInfoAddress(open.Command(), open.Name());
      turnOn[round]();
      windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Another" + name, "C:\\another.exe");
      // The question's message loop dispatches whatever timer tick is due.
      if (host.timerEnabled) main->CheckRegTimerTimer();
      // Locate and Online of the open question still read its entry.
      EXPECT_EQ(dialogs::LocateFolderArgument(open.Command()), folder);
      EXPECT_EQ(dialogs::OnlineInfoAddress(open.Command(), open.Name()), address);
    };
    main->CheckRegTimerTimer();
    EXPECT_EQ(host.asked, (std::vector<std::string>{name})) << round;
    EXPECT_TRUE(host.timerEnabled) << round;  // the outer tick turns the timer on as it ends
  }
}

TEST_F(KorvalisMainTest, OptionsOkWhileAQuestionIsOpenAcceptsNothingButItsOwnAutostartValue) {
  main->FormCreate();
  // OK as it was, and OK with starting with Windows turned on: another program's value added
  // meanwhile is still asked about, the program's own value is not.
  for (const bool autostart : {false, true}) {
    const std::string name = "Updater" + std::to_string(autostart);
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, name, "C:\\Tools\\upd.exe");
    host.asked.clear();
    bool pressed = false;
    host.whileAsking = [&] {
      if (std::exchange(pressed, true)) return;
      TOptions chosen = main->Options();
      chosen.startsWithWindows = autostart;
      main->ApplyOptions(chosen);
      windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Another" + name, "C:\\another.exe");
    };
    main->CheckRegTimerTimer();
    main->CheckRegTimerTimer();
    EXPECT_EQ(host.asked, (std::vector<std::string>{name, "Another" + name})) << autostart;
  }
  EXPECT_TRUE(IsAutostartSet(windows.platform()));
}

TEST_F(KorvalisMainTest, TheProgramsOwnChangeIsNotAskedAbout) {
  main->FormCreate();
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Korvalis", "\"C:\\k.exe\"");
  main->AcceptOwnChange();
  main->CheckRegTimerTimer();
  EXPECT_TRUE(host.asked.empty());
}

TEST_F(KorvalisMainTest, AnotherProgramsChangeOfTheSwitchesIsAskedAtStartBeforeItTakesEffect) {
  main->FormCreate();
  main->SetLogs(false);  // the program's own change, saved at the close
  main->FormDestroy();
  const auto restart = [&] {
    main.reset();
    main = std::make_unique<TKorvalisMain>(windows.platform(), host, [] { return std::string("T"); }, [this] { return now; });
    host.asked.clear();
    main->FormCreate();
  };
  restart();
  EXPECT_TRUE(host.asked.empty());
  EXPECT_FALSE(main->Switches().Logs);
  main->FormDestroy();

  // Switched off while it was not running; the one that silences questions is asked too.
  windows.registry.PutString(RootKey::CurrentUser, kSwitchesKey, "Monitoring", "0");
  windows.registry.PutString(RootKey::CurrentUser, kSwitchesKey, "Notification", "0");
  windows.registry.PutString(RootKey::CurrentUser, kSwitchesKey, "GuardAllPlaces", "0");
  host.answer = false;
  restart();
  EXPECT_EQ(host.asked.size(), 3u);
  EXPECT_EQ(Switch("Monitoring"), "1");
  EXPECT_EQ(Switch("Notification"), "1");
  EXPECT_EQ(Switch("GuardAllPlaces"), std::nullopt);
  EXPECT_TRUE(main->Switches().Monitoring);
  EXPECT_TRUE(main->Switches().Notification);
  EXPECT_TRUE(main->Switches().AllPlaces);
  EXPECT_TRUE(host.timerEnabled);

  // Allowed while running: the switch in force follows the registry. The change is asked once
  // the place has been quiet, at the tick the host is asked for.
  host.answer = true;
  windows.registry.PutString(RootKey::CurrentUser, kSwitchesKey, "Logs", "1");
  main->CheckRegTimerTimer();
  EXPECT_EQ(host.asked.size(), 3u);
  EXPECT_EQ(host.checkAfter, (std::vector<std::chrono::milliseconds>{kSettling.quiet}));
  now += kSettling.quiet;
  main->CheckRegTimerTimer();
  EXPECT_EQ(host.asked.size(), 4u);
  EXPECT_TRUE(main->Switches().Logs);
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(KorvalisMainTest, TheEventSourceIsRegisteredThroughTheElevatedCopyAndADeclinedPromptIsSaid) {
  const std::string sources = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
  windows.registry.AddKey(RootKey::LocalMachine, sources);
  windows.registry.SetRights(RootKey::LocalMachine, sources, {true, false});
  EXPECT_FALSE(main->EventSourceRegistered());
  main->RegisterAsEventSource();  // the prompt declined
  EXPECT_EQ(host.errors, (std::vector<std::string>{"The change stays: administrator rights were not given"}));
  EXPECT_FALSE(main->EventSourceRegistered());
  windows.elevation.elevated = [&](const std::string& arguments, std::uint32_t& exitCode) {
    windows.registry.SetRights(RootKey::LocalMachine, sources, {true, true});
    const auto open = arguments.find('"');
    exitCode = static_cast<std::uint32_t>(
        RunElevatedRequest(windows.platform(), arguments.substr(open + 1, arguments.rfind('"') - open - 1),
                           [](const std::vector<std::string>& steps, const std::string&) { return steps.size() == 1; }));
  };
  main->RegisterAsEventSource();
  EXPECT_EQ(host.errors.size(), 1u);
  EXPECT_TRUE(main->EventSourceRegistered());
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, sources + "\\Korvalis", "EventMessageFile"),
            windows.environment.programPath);
}

}  // namespace korvalis::app

namespace korvalis::app {

namespace {
using Strings = std::vector<std::string>;
std::vector<std::pair<std::uint32_t, Strings>> RecordsSince(const platform::memory::MemoryEventLog& log,
                                                             std::size_t first) {
  std::vector<std::pair<std::uint32_t, Strings>> records;
  for (std::size_t i = first; i < log.records.size(); ++i)
    records.emplace_back(log.records[i].eventId, log.records[i].strings);
  return records;
}
}  // namespace

TEST_F(KorvalisMainTest, EveryDecisionIsARecordOfItsOwnIdNamingPlaceEntryCommandSignerAndUser) {
  main->FormCreate();
  const std::string place = catalogue::SectionName(catalogue::kCurrentUserRun);
  windows.files.AddFile("C:\\Apps\\upd.exe");
  windows.inspector.Describe("C:\\Apps\\upd.exe", {platform::Signature::Valid, "Acme Software Ltd", "", "", 0, true});
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Updater", "C:\\Apps\\upd.exe /q");
  host.answer = false;
  main->CheckRegTimerTimer();
  const Strings updater{place, "Updater", "C:\\Apps\\upd.exe /q", "Acme Software Ltd", "alice", ""};
  EXPECT_EQ(RecordsSince(windows.eventLog, 0),
            (std::vector<std::pair<std::uint32_t, Strings>>{{1001, updater}, {1003, updater}, {1004, updater}}));
  ASSERT_EQ(windows.eventLog.records.size(), 3u);
  EXPECT_EQ(windows.eventLog.records[1].type, 2);  // a refusal is a warning

  // A failed undo is a notice, a problem that names the entry and a record; the guard goes on.
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\agent.exe");
  windows.registry.SetRights(RootKey::CurrentUser, kRunKey, {true, false});
  main->CheckRegTimerTimer();
  const std::string failure = "Agent in " + place + " was not undone: Failed to delete value 'Agent'";
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(host.notices, Strings{failure});
  EXPECT_EQ(main->Problems().Items().back().text, failure);
  ASSERT_EQ(windows.eventLog.records.size(), 6u);
  EXPECT_EQ(windows.eventLog.records[5].eventId, 1007u);
  EXPECT_EQ(windows.eventLog.records[5].type, 1);
  EXPECT_EQ(windows.eventLog.records[5].strings,
            (Strings{place, "Agent", "C:\\agent.exe", "(program file not found)", "alice",
                     "Failed to delete value 'Agent'"}));
  windows.registry.SetRights(RootKey::CurrentUser, kRunKey, {true, true});

  // With logs off no decision is recorded, and with notification off too a change is taken unasked.
  main->SetLogs(false);
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Quiet", "C:\\quiet.exe");
  main->CheckRegTimerTimer();
  EXPECT_EQ(windows.eventLog.records.size(), 6u);
  main->SetLogs(true);
  main->SetNotification(false);
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Unasked", "C:\\unasked.exe");
  main->CheckRegTimerTimer();
  EXPECT_EQ(RecordsSince(windows.eventLog, 6),
            (std::vector<std::pair<std::uint32_t, Strings>>{
                {1002, Strings{place, "Unasked", "C:\\unasked.exe", "(program file not found)", "alice", ""}}}));
}

TEST_F(KorvalisMainTest, ABurstOfNewProgramsReadsABoundedNumberOfSignaturesBeforeItsQuestion) {
  main->FormCreate();
  constexpr std::size_t kAdded = TKorvalisMain::kSignersPerTick + 4;
  for (std::size_t i = 0; i < kAdded; ++i)
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Tool" + std::to_string(i),
                               "C:\\Tools\\tool" + std::to_string(i) + ".exe");
  main->CheckRegTimerTimer();
  // At most the tick's share; fewer only where a loaded machine kept a read past its wait.
  EXPECT_LE(windows.inspector.inspected.size(), TKorvalisMain::kSignersPerTick);
  std::size_t asked = 0, unchecked = 0;
  for (const auto& record : windows.eventLog.records) {
    if (record.eventId != static_cast<std::uint32_t>(TDecision::Asked)) continue;
    ++asked;
    if (record.strings.at(3) == kSignerNotChecked) ++unchecked;
  }
  EXPECT_EQ(asked, kAdded);
  EXPECT_GE(unchecked, kAdded - TKorvalisMain::kSignersPerTick);
}

TEST(DecisionRecordTest, ALongCommandIsCutAtACharacterSoTheEventLogTakesTheRecord) {
  // A two-byte character straddles the limit: it is left out whole.
  const std::string command = std::string(kLongestInsertion - 1, 'x') + "\xC3\xA9" + std::string(20000, 'y');
  const std::vector<std::string> strings =
      InsertionStrings(TRecordedEntry{catalogue::kCurrentUserRun, "Big", command, "", ""}, "(not signed)", "alice", "");
  EXPECT_EQ(strings.at(2), std::string(kLongestInsertion - 1, 'x') + " ...");
  EXPECT_EQ(strings.at(1), "Big");
}

TEST_F(KorvalisMainTest, TheProblemsKeepTheNewestWithinTheirBound) {
  TProblems problems(2);
  for (const char* text : {"first", "second", "third"}) problems.Add("T", text);
  ASSERT_EQ(problems.Items().size(), 2u);
  EXPECT_EQ(problems.Items().front().text, "second");
  EXPECT_EQ(problems.Items().back().text, "third");
}

}  // namespace korvalis::app

namespace korvalis::app {

TEST_F(KorvalisMainTest, ARecordsSignatureStuckOnAFileAProgramHoldsDoesNotHoldTheQuestion) {
  main->FormCreate();
  windows.files.AddFile("C:\\Tools\\held.exe", {'M', 'Z'});
  windows.inspector.BlockReadsOf("C:\\Tools\\held.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Held", "C:\\Tools\\held.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Other", "C:\\Tools\\other.exe");
  main->CheckRegTimerTimer();
  std::size_t asked = 0, unchecked = 0;
  for (const auto& record : windows.eventLog.records) {
    if (record.eventId != static_cast<std::uint32_t>(TDecision::Asked)) continue;
    ++asked;
    unchecked += record.strings.at(3) == kSignerNotChecked;
  }
  EXPECT_EQ(asked, 2u);
  EXPECT_EQ(unchecked, 2u);  // the rest of the tick does not wait on the stuck file again
  windows.inspector.ReleaseBlockedReads();
  EXPECT_TRUE(windows.inspector.WaitUntilBlocked(false, 5000));
}

}  // namespace korvalis::app
