#pragma once
// The resident program apart from its windows: the snapshot and the check it drives, the three
// switches and their place in the registry, the closing record, and the activity log.
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/ActivityLog.h"
#include "app/ChangeMonitor.h"
#include "app/MainHost.h"
#include "app/Problems.h"
#include "app/ReportOnce.h"
#include "app/Options.h"
#include "app/Switches.h"
#include "catalogue/SearchPath.h"
#include "eventlog/zelEventLog.h"
#include "platform/RegistrySettings.h"

namespace korvalis::app {

constexpr const char* kSettingsKey = "Software\\Brenmoor";
constexpr const char* kSettingsSection = "Korvalis";
// "0" guards the six registry sections alone.
constexpr const char* kAllPlacesValue = "GuardAllPlaces";
constexpr const char* kMonitoringValue = "Monitoring";
constexpr const char* kNotificationValue = "Notification";
constexpr const char* kLogsValue = "Logs";
constexpr const char* kAskUpdatesValue = "AskUpdates";

class TKorvalisMain : private MonitorHost {
 public:
  TKorvalisMain(const platform::Platform& platform, MainHost& host, TActivityLog::Clock clock = TActivityLog::LocalTime,
                TSectionWatches::Clock monitorClock = std::chrono::steady_clock::now);
  ~TKorvalisMain() override;

  // The main window's creation: first snapshot, event log writer, the switches compared with the
  // baseline, then read.
  void FormCreate();
  // The main window's destruction: switches saved (and accepted as the program's own change),
  // the closing record written.
  void FormDestroy();
  // One tick of the check timer.
  void CheckRegTimerTimer();
  void FormClose() { host_.SetTimerEnabled(false); }

  void LoadSettings();
  void SaveSettings();
  void SetMonitoring(bool monitoring);
  void SetLogs(bool logs) { switches_.Logs = logs; }
  void SetNotification(bool notification) { switches_.Notification = notification; }
  // The options as they stand, starting with Windows read from its registry value.
  TOptions Options() const;
  // Applies what the options dialog handed back: the autostart value is written only when it
  // changes and then taken into the snapshot alone, so nothing pending elsewhere is accepted.
  void ApplyOptions(const TOptions& chosen);
  // Takes the program's own autostart value into the snapshot, so it never asks about it.
  void AcceptOwnChange();
  void WriteLog(const std::string& line) override;

  const TSwitches& Switches() const { return switches_; }
  // The events whose firing starts a check now; none while checks are off or one is under way.
  std::vector<std::uintptr_t> ChangeEvents() const;
  const TChangeMonitor& Monitor() const { return monitor_; }
  void ChangeAllowRule(const TAllowRule& rule, bool added) { monitor_.ChangeAllowRule(rule, added); }
  void ClearRefusals() { monitor_.ClearRefusals(); }
  void UndoPendingAsAdministrator() { monitor_.UndoPendingAsAdministrator(); }
  // The overview's actions, as TChangeMonitor carries them out; false while a check is under way.
  bool DeleteEntries(const std::vector<TChangeMonitor::TEntryName>& entries) { return monitor_.DeleteEntries(entries); }
  TChangeMonitor::UpdateUndo UndoUpdate(const TChangeMonitor::TEntryName& entry) { return monitor_.UndoUpdate(entry); }
  bool DisableEntries(const std::vector<TChangeMonitor::TEntryName>& entries, std::vector<std::string>& notDisabled) {
    return monitor_.DisableEntries(entries, notDisabled);
  }
  // Whether Event Viewer formats the records with this program file's message table.
  bool EventSourceRegistered() const;
  // Registers this program file as the records' message file, through the elevated copy.
  void RegisterAsEventSource();
  const platform::Platform& Platform() const { return platform_; }
  // What went wrong while the guard ran, newest last; each was a notice beside the tray icon.
  const TProblems& Problems() const { return problems_; }
  void ClearProblems() { problems_.Clear(); }
  // More distinct program files than this in one tick are recorded "(not checked)": each
  // signature is read on the thread that asks the next question.
  static constexpr std::size_t kSignersPerTick = 16;
  // Long enough for a thread to start on a loaded machine; a file that takes longer is stuck.
  static constexpr std::chrono::milliseconds kSignerWait{1000};

 private:
  // The window's answers, passed on as they are: the guard adds its records to them, nothing more.
  bool AskUser(const TChangeQuestion& question, bool whileNotRunning) override {
    return host_.AskUser(question, whileNotRunning);
  }
  std::vector<bool> AskUserAll(const std::vector<TChangeQuestion>& changes, bool whileNotRunning) override {
    return host_.AskUserAll(changes, whileNotRunning);
  }
  bool Closing() const override { return host_.Closing(); }
  bool ConfirmRisk(const std::string& question) override { return host_.ConfirmRisk(question); }
  void Notify(const std::string& text) override { host_.Notify(text); }
  bool OfferUndoAsAdministrator(const std::vector<std::string>& messages) override {
    return host_.OfferUndoAsAdministrator(messages);
  }
  platform::WindowHandle OwnerWindow() const override { return host_.OwnerWindow(); }
  std::string TakeAlwaysAllow() override { return host_.TakeAlwaysAllow(); }

  // What the guard adds: the records, the log, the signers and the problems.
  void Record(TDecision decision, const TRecordedEntry& entry, const std::string& detail) override;
  void ReportUndoFailed(const TRecordedEntry& entry, const std::exception& error) override;
  // The central error report of the guard: a notice, a line in the problems and the activity
  // log. Only while the program starts, before the tray icon is there, is it the window's box.
  void ReportError(const std::exception& error) override;
  void SettingAllowed(const std::string& valueName) override;
  void UndoNotOffered(const std::vector<std::string>& messages, const std::string& why) override;
  void ReportProblem(const std::string& text, const std::string& notice);
  void WriteRecord(TDecision decision, const TRecordedEntry& entry, const std::string& detail);
  std::string SignerOf(const std::string& programFile);
  bool ReadSwitch(platform::TRegistrySettings& settings, const char* name);
  bool ReadAskUpdates(platform::TRegistrySettings& settings);

  platform::Platform platform_;
  MainHost& host_;
  TSwitches switches_;
  TChangeMonitor monitor_;
  TActivityLog log_;
  std::unique_ptr<eventlog::TzelEventLog> EventLog;
  bool settingsLoaded_ = false;
  int ticking_ = 0;
  TReportOnce tickErrors_;
  int starting_ = 0;  // FormCreate under way: no tray icon to show a notice beside yet
  TProblems problems_;
  std::optional<catalogue::SearchPath> searchPath_;  // built at the first signature looked up
  bool signerStuck_ = false;                         // a signature did not answer in time this tick
  std::map<std::string, std::string> signers_;        // of this tick, by program file
};

}  // namespace korvalis::app
