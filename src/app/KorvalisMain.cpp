#include "app/KorvalisMain.h"

#include "app/Scope.h"
#include "app/Autostart.h"
#include "app/AsAdministrator.h"
#include "app/ElevatedCopy.h"
#include "text/StrMan.h"
#include "platform/Error.h"
#include "platform/RegistrySettings.h"

namespace korvalis::app {

TKorvalisMain::TKorvalisMain(const platform::Platform& platform, MainHost& host, TActivityLog::Clock clock)
    : platform_(platform), host_(host), monitor_(platform, switches_, *this), log_(platform, std::move(clock)) {}

TKorvalisMain::~TKorvalisMain() = default;

void TKorvalisMain::FormCreate() {
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

void TKorvalisMain::LoadSettings() {
  platform::TRegistrySettings settings(platform_.registry, platform::RootKey::CurrentUser, kSettingsKey);
  // Read, never written: the three switches are what the program saves.
  switches_.AllPlaces = ReadSwitch(settings, kAllPlacesValue);
  switches_.Notification = ReadSwitch(settings, kNotificationValue);
  SetLogs(ReadSwitch(settings, kLogsValue));
  SetMonitoring(ReadSwitch(settings, kMonitoringValue));
  settingsLoaded_ = true;
}

void TKorvalisMain::SaveSettings() {
  platform::TRegistrySettings settings(platform_.registry, platform::RootKey::CurrentUser, kSettingsKey);
  const std::pair<const char*, bool> values[] = {{kNotificationValue, switches_.Notification},
                                                  {kLogsValue, switches_.Logs},
                                                  {kMonitoringValue, switches_.Monitoring}};
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
  if (monitoring) monitor_.TakeSnapshot();
}

void TKorvalisMain::AcceptOwnChange() {
  if (switches_.Monitoring) monitor_.AcceptOwnWrite(catalogue::kCurrentUserRun, {kAutostartValue});
}

TOptions TKorvalisMain::Options() const {
  return TOptions{switches_.Monitoring, switches_.Notification, switches_.Logs, IsAutostartSet(platform_)};
}

void TKorvalisMain::ApplyOptions(const TOptions& chosen) {
  SetLogs(chosen.logs);
  SetNotification(chosen.notification);
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
  try {
    monitor_.CheckAllSections();
    tickErrors_.Clear();
  } catch (const std::exception& error) {
    // Shown once while it lasts; the guard keeps running.
    if (tickErrors_.Fresh(error.what())) host_.ReportError(error);
  }
  if (switches_.Monitoring) host_.SetTimerEnabled(true);
}

std::vector<std::uintptr_t> TKorvalisMain::ChangeEvents() const {
  if (!switches_.Monitoring || ticking_ > 0) return {};
  return monitor_.ChangeEvents();
}

void TKorvalisMain::WriteLog(const std::string& line) { log_.Write(line); }

bool TKorvalisMain::AskUser(const catalogue::TStartup& entry, catalogue::ChangeKind kind, bool whileNotRunning) {
  return host_.AskUser(entry, kind, whileNotRunning);
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
