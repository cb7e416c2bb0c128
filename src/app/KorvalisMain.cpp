#include "app/KorvalisMain.h"

#include "app/Bounded.h"
#include "app/Scope.h"
#include "app/Autostart.h"
#include "app/AsAdministrator.h"
#include "app/ElevatedCopy.h"
#include "text/StrMan.h"
#include "platform/Error.h"
#include "platform/RegistrySettings.h"

namespace korvalis::app {

TKorvalisMain::TKorvalisMain(const platform::Platform& platform, MainHost& host, TActivityLog::Clock clock,
                             TSectionWatches::Clock monitorClock)
    : platform_(platform),
      host_(host),
      monitor_(platform, switches_, *this, std::move(monitorClock), kSettling),
      log_(platform, std::move(clock)) {}

TKorvalisMain::~TKorvalisMain() = default;

void TKorvalisMain::FormCreate() {
  const TScope starting(starting_);
  monitor_.TakeSnapshot();
  EventLog = std::make_unique<eventlog::TzelEventLog>(platform_);
  EventLog->SetApplicationName(kEventSourceName);
  EventLog->SetIncludeUserName(true);
  WriteLog("Korvalis started");
  // Before the switches take effect: a tampered Monitoring=0 is still asked about.
  monitor_.CheckOwnSettings();
  LoadSettings();
  WriteLog("Setting loaded successfully");
  // What changed while the program was not running is asked about right away.
  monitor_.StartFromBaseline();
  if (switches_.Monitoring) host_.CheckSoon();
}

void TKorvalisMain::FormDestroy() {
  host_.SetTimerEnabled(false);
  // Switches that were never read are not written over what the registry holds.
  if (settingsLoaded_) {
    try {
      SaveSettings();
      WriteLog("Setting saved successfully");
    } catch (const std::exception& error) {
      host_.ReportError(error);  // the closing record is still written
    }
  }
  if (EventLog) EventLog->LogMessage("Korvalis closed");
  EventLog.reset();
}

bool TKorvalisMain::ReadSwitch(platform::TRegistrySettings& settings, const char* name) {
  // A value of the wrong type leaves the switch on, so a planted value cannot switch the guard
  // off; the guard of Korvalis Settings reads the same value and reports it.
  try {
    return settings.ReadBool(kSettingsSection, name, true);
  } catch (const Error&) {
    return true;
  }
}

bool TKorvalisMain::ReadAskUpdates(platform::TRegistrySettings& settings) {
  // Off unless chosen: updates are told. A value of the wrong type asks, as the safer side.
  try {
    return settings.ReadBool(kSettingsSection, kAskUpdatesValue, false);
  } catch (const Error&) {
    return true;
  }
}

void TKorvalisMain::LoadSettings() {
  platform::TRegistrySettings settings(platform_.registry, platform::RootKey::CurrentUser, kSettingsKey);
  // Read, never written: the three switches are what the program saves.
  switches_.AllPlaces = ReadSwitch(settings, kAllPlacesValue);
  switches_.Notification = ReadSwitch(settings, kNotificationValue);
  SetLogs(ReadSwitch(settings, kLogsValue));
  switches_.AskUpdates = ReadAskUpdates(settings);
  SetMonitoring(ReadSwitch(settings, kMonitoringValue));
  settingsLoaded_ = true;
}

void TKorvalisMain::SaveSettings() {
  platform::TRegistrySettings settings(platform_.registry, platform::RootKey::CurrentUser, kSettingsKey);
  const std::pair<const char*, bool> values[] = {{kNotificationValue, switches_.Notification},
                                                  {kLogsValue, switches_.Logs},
                                                  {kMonitoringValue, switches_.Monitoring},
                                                  {kAskUpdatesValue, switches_.AskUpdates}};
  // What the program wrote is its own change, never a question at the next start.
  std::vector<std::string> written;
  try {
    for (const auto& [name, on] : values) {
      settings.WriteBool(kSettingsSection, name, on);
      written.push_back(name);
    }
  } catch (...) {
    monitor_.AcceptOwnWrite(catalogue::kKorvalisSettings, written);
    throw;
  }
  monitor_.AcceptOwnWrite(catalogue::kKorvalisSettings, written);
}

void TKorvalisMain::SettingAllowed(const std::string& valueName) {
  // The switches in force follow what the registry holds; GuardAllPlaces, read at start only,
  // takes effect at the next start, as ever.
  if (!settingsLoaded_) return;
  platform::TRegistrySettings settings(platform_.registry, platform::RootKey::CurrentUser, kSettingsKey);
  if (valueName == kNotificationValue) switches_.Notification = ReadSwitch(settings, kNotificationValue);
  if (valueName == kLogsValue) SetLogs(ReadSwitch(settings, kLogsValue));
  if (valueName == kAskUpdatesValue) switches_.AskUpdates = ReadAskUpdates(settings);
  if (valueName == kMonitoringValue) {
    const bool monitoring = ReadSwitch(settings, kMonitoringValue);
    if (monitoring != switches_.Monitoring) SetMonitoring(monitoring);
  }
}

void TKorvalisMain::SetMonitoring(bool monitoring) {
  switches_.Monitoring = monitoring;
  // During a tick the timer stays off: its tick would run a second check inside the open
  // question of the first. The tick turns it on when it ends, if monitoring is on by then.
  if (ticking_ == 0) host_.SetTimerEnabled(monitoring);
  if (monitoring)
    monitor_.TakeSnapshot();
  else
    monitor_.AskHeldNow();
}

void TKorvalisMain::AcceptOwnChange() {
  if (switches_.Monitoring) monitor_.AcceptOwnWrite(catalogue::kCurrentUserRun, {kAutostartValue});
}

TOptions TKorvalisMain::Options() const {
  return TOptions{switches_.Monitoring, switches_.Notification, switches_.Logs, IsAutostartSet(platform_),
                  switches_.AskUpdates};
}

void TKorvalisMain::ApplyOptions(const TOptions& chosen) {
  SetLogs(chosen.logs);
  SetNotification(chosen.notification);
  switches_.AskUpdates = chosen.askUpdates;
  // The value is written first: turning monitoring on renews the whole snapshot, which then
  // holds it; with monitoring on all along only the value itself is accepted.
  if (chosen.startsWithWindows != IsAutostartSet(platform_)) {
    SetAutostart(platform_, chosen.startsWithWindows);
    AcceptOwnChange();
  }
  if (chosen.monitoring != switches_.Monitoring) SetMonitoring(chosen.monitoring);
}

void TKorvalisMain::CheckRegTimerTimer() {
  if (ticking_ > 0) return;  // a tick dispatched by an open question's message loop
  const TScope tick(ticking_);
  host_.SetTimerEnabled(false);
  signers_.clear();  // a program file may have been signed anew since, and each tick has its own budget
  signerStuck_ = false;
  try {
    monitor_.CheckAllSections();
    tickErrors_.Clear();
  } catch (const std::exception& error) {
    // Shown once while it lasts; the guard keeps running.
    if (tickErrors_.Fresh(error.what())) ReportError(error);
  }
  if (!switches_.Monitoring) return;
  host_.SetTimerEnabled(true);
  if (const auto wait = monitor_.SettleWait()) host_.CheckAfter(*wait);
}

std::vector<std::uintptr_t> TKorvalisMain::ChangeEvents() const {
  if (!switches_.Monitoring || ticking_ > 0) return {};
  return monitor_.ChangeEvents();
}

void TKorvalisMain::WriteLog(const std::string& line) { log_.Write(line); }

void TKorvalisMain::ReportError(const std::exception& error) {
  const std::string text = ErrorReportText(error.what());
  ReportProblem(text, text);
}

void TKorvalisMain::ReportProblem(const std::string& text, const std::string& notice) {
  problems_.Add(log_.Now(), text);
  log_.Write("Problem: " + text);
  // Before the tray icon is there only the window's box can show it. Later a box would hold
  // every question after it until it is closed; a notice holds nothing.
  if (starting_ > 0)
    host_.ReportError(Error(text));
  else
    host_.Notify(notice);
}

void TKorvalisMain::ReportUndoFailed(const TRecordedEntry& entry, const std::exception& error) {
  WriteRecord(TDecision::Failed, entry, error.what());
  const std::string text =
      entry.name + " in " + catalogue::SectionName(entry.section) + " was not undone: " + ErrorReportText(error.what());
  ReportProblem(text, text);
}

void TKorvalisMain::UndoNotOffered(const std::vector<std::string>& messages, const std::string& why) {
  std::string listed;
  for (const std::string& message : messages) listed += ErrorReportText(message) + "\r\n";
  ReportProblem(listed + "\r\n" + why, listed + "Not offered as administrator: see Problems in the tray menu.");
}

void TKorvalisMain::Record(TDecision decision, const TRecordedEntry& entry, const std::string& detail) {
  // Decisions are logs, as the switch says; a failure is recorded whatever it says.
  if (switches_.Logs || decision == TDecision::Failed) WriteRecord(decision, entry, detail);
}

void TKorvalisMain::WriteRecord(TDecision decision, const TRecordedEntry& entry, const std::string& detail) {
  if (!EventLog) return;
  const std::vector<std::string> strings =
      InsertionStrings(entry, entry.signer.empty() ? SignerOf(entry.programFile) : entry.signer, EventLog->UserName(),
                       detail);
  EventLog->LogRecord(DecisionEventType(decision), static_cast<std::uint32_t>(decision), strings);
}

std::string TKorvalisMain::SignerOf(const std::string& programFile) {
  if (const auto known = signers_.find(programFile); known != signers_.end()) return known->second;
  if (signers_.size() >= kSignersPerTick || signerStuck_) return kSignerNotChecked;
  platform::FileFacts facts;
  if (platform_.inspector.IsRemote(programFile)) {
    facts.lookup = platform::UntouchedLookup(programFile);
  } else {
    if (!searchPath_)
      searchPath_ = catalogue::LocalFolders(platform_.inspector, platform_.environment,
                                            catalogue::BuildSearchPath(platform_.environment));
    // A file a program chose may be a pipe or held under an oplock: read off this thread, and
    // once one does not answer in time, the rest of the tick's records say "not checked".
    platform::FileSystem& files = platform_.files;
    platform::Environment& environment = platform_.environment;
    platform::FileInspector& inspector = platform_.inspector;
    const std::optional<platform::FileFacts> read = RunBounded<platform::FileFacts>(
        [&files, &environment, &inspector, folders = *searchPath_, programFile] {
          return inspector.Inspect(catalogue::FindProgramFile(files, environment, folders, programFile));
        },
        kSignerWait);
    if (!read) {
      signerStuck_ = true;
      return kSignerNotChecked;
    }
    facts = *read;
  }
  return signers_.emplace(programFile, SignerText(facts)).first->second;
}

}  // namespace korvalis::app

namespace korvalis::app {

bool TKorvalisMain::EventSourceRegistered() const {
  return text::SameTextAscii(eventlog::RegisteredMessageFile(platform_.registry, kEventSourceName),
                             platform_.environment.ProgramPath());
}

void TKorvalisMain::RegisterAsEventSource() {
  TElevatedRequest request;
  request.kind = TElevatedRequest::Kind::RegisterMessageFile;
  request.messageFile = platform_.environment.ProgramPath();
  const TElevatedRun run = RunAsAdministrator(platform_, request, host_.OwnerWindow());
  if (run.state == TElevatedRun::State::Declined)
    host_.ReportError(Error("The change stays: administrator rights were not given"));
  else if (run.state == TElevatedRun::State::Failed)
    host_.ReportError(Error(run.message));
  // The registry says whether it took, whatever the answer.
  else if (!EventSourceRegistered())
    host_.ReportError(Error("Korvalis is still not registered as the source of its event records"));
}

}  // namespace korvalis::app
