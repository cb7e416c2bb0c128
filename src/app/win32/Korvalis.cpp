#include "app/win32/Korvalis.h"

#include <algorithm>
#include <chrono>

#include "app/InstallCheck.h"
#include "dialogs/win32/AsAdministratorDlg.h"
#include "dialogs/win32/GroupedChangeDlg.h"
#include "dialogs/win32/AllowRulesDlg.h"
#include "dialogs/win32/KorvalisOpt.h"
#include "dialogs/win32/StartupItemChangeDlg.h"
#include "text/VisibleText.h"
#include "ui/Application.h"

namespace korvalis::app {

using namespace ui;

namespace {
constexpr UINT_PTR kCheckTimerId = 1;
constexpr UINT_PTR kSettleTimerId = 2;
// Posted to start a check once the message loop is free, as a fired change event would.
constexpr UINT kCheckSoonMessage = WM_APP + 1;
}

TfrmMain::TfrmMain(const platform::Platform& platform, const catalogue::SearchPath& searchPath)
    : TForm(nullptr, TFormDesign{"Korvalis", 200, 100, TBorderStyle::Sizeable, TPosition::Default}),
      platform_(platform),
      searchPath_(searchPath),
      core_(platform, *this) {}

TfrmMain::~TfrmMain() { DestroyForm(); }

void TfrmMain::BuildControls() {
  // Changes start a check as soon as their events fire (see FormCreate); the timer is left with
  // the safety read alone, so a quiet minute wakes the program once.
  const auto safety = std::chrono::duration_cast<std::chrono::milliseconds>(TSectionWatches::kSafetyInterval);
  CheckRegTimer = std::make_unique<TTimer>(Handle(), kCheckTimerId, static_cast<UINT>(safety.count()));
  CheckRegTimer->OnTimer = [this] { CheckRegTimerTimer(); };
  AddTimer(*CheckRegTimer);
  SettleTimer = std::make_unique<TTimer>(Handle(), kSettleTimerId);
  SettleTimer->OnTimer = [this] {
    SettleTimer->SetEnabled(false);
    CheckRegTimerTimer();
  };
  AddTimer(*SettleTimer);
  BuildMenu();
  trayIcon_.reset(
      static_cast<HICON>(LoadImageA(Application().Handle(), "TRAYICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
  // Without an icon there would be nothing to click; the system's application icon stands in.
  if (!trayIcon_)
    trayIcon_.reset(static_cast<HICON>(CopyImage(LoadIcon(nullptr, IDI_APPLICATION), IMAGE_ICON, 16, 16, 0)));
  TrayIcon1 = std::make_unique<shell::TTrayIcon>(
      trayApi_, [](const std::exception& error) { Application().HandleException(error); });
  PopupMenu1.SetOwner(reinterpret_cast<HWND>(TrayIcon1->Handle()));
  TrayIcon1->SetActive(false);  // nothing in the notification area before the window is loaded
  TrayIcon1->SetIcon(reinterpret_cast<shell::IconHandle>(trayIcon_.get()));
  TrayIcon1->SetPopupMenu(&PopupMenu1);
}

void TfrmMain::BuildMenu() {
  PopupMenu1.OnPopup = [this] { PopupMenu1Popup(); };
  auto& items = PopupMenu1.Items;
  items.emplace_back("KorvalisOptions1", "&Korvalis Options ...", [this] { KorvalisOptions1Click(); });
  items.back().Default = true;
  items.emplace_back("LaunchBrenmoor1", "Launch &Brenmoor ...", [this] { ShowBrenmoor1Click(); });
  items.emplace_back("N01", "-");
  items.emplace_back("EnableKorvalis1", "Enable &Monitoring", [this] { EnableKorvalis1Click(); });
  items.emplace_back("EnableNotification1", "Enable &Notification", [this] { EnableNotification1Click(); });
  items.emplace_back("EnableLogs1", "Enable &Logs", [this] { EnableLogs1Click(); });
  items.emplace_back("ViewLogs1", "&View Logs ...", [this] { ViewLogs1Click(); });
  items.emplace_back("N1", "-");
  items.emplace_back("Exit1", "&Close Korvalis", [this] { Exit1Click(); });
  // Added after the designed items, which keep their order.
  items.emplace_back("N2", "-");
  items.emplace_back("RefusedEntries1", "&Refused Entries ...", [this] { RefusedEntries1Click(); });
  items.emplace_back("Problems1", "&Problems ...", [this] { Problems1Click(); });
  items.emplace_back("StartupPrograms1", "&Startup Programs ...", [this] { StartupPrograms1Click(); });
}

void TfrmMain::FormCreate() {
  // Whatever the first steps meet is reported, and the icon still goes up: the user must be
  // able to see the program and close it.
  Guarded([this] { core_.FormCreate(); });
  TrayIcon1->SetActive(true);
  Application().WaitHandles = [this] {
    std::vector<HANDLE> handles;
    for (const std::uintptr_t event : core_.ChangeEvents()) handles.push_back(reinterpret_cast<HANDLE>(event));
    return handles;
  };
  Application().OnSignaled = [this] { CheckRegTimerTimer(); };
}

void TfrmMain::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  Application().WaitHandles = nullptr;
  Application().OnSignaled = nullptr;
  overview_.reset();
  core_.FormDestroy();
  TrayIcon1.reset();  // takes the icon out of the notification area
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Windows is ending the session: the closing steps run now, as the process will not get to them.
  if (message == WM_ENDSESSION && wParam) {
    FormDestroy();
    return 0;
  }
  if (message == kCheckSoonMessage) {
    CheckRegTimerTimer();
    return 0;
  }
  return TForm::HandleMessage(message, wParam, lParam);
}

void TfrmMain::PopupMenu1Popup() {
  const TSwitches& switches = core_.Switches();
  PopupMenu1.Item("EnableKorvalis1").Checked = switches.Monitoring;
  PopupMenu1.Item("EnableNotification1").Checked = switches.Notification;
  PopupMenu1.Item("EnableLogs1").Checked = switches.Logs;
}

void TfrmMain::EnableKorvalis1Click() {
  TMenuItem& item = PopupMenu1.Item("EnableKorvalis1");
  item.Checked = !item.Checked;
  core_.SetMonitoring(item.Checked);
}

void TfrmMain::EnableNotification1Click() {
  TMenuItem& item = PopupMenu1.Item("EnableNotification1");
  item.Checked = !item.Checked;
  core_.SetNotification(item.Checked);
}

void TfrmMain::EnableLogs1Click() {
  TMenuItem& item = PopupMenu1.Item("EnableLogs1");
  item.Checked = !item.Checked;
  core_.SetLogs(item.Checked);
}

void TfrmMain::ViewLogs1Click() {
  // Without its message file Event Viewer shows no record's text: registering it takes
  // administrator rights, so it is offered, never done unasked.
  if (!core_.EventSourceRegistered() &&
      MessageBoxA(Handle(),
                  "Event Viewer cannot show the text of Korvalis's records until Korvalis is registered as their "
                  "source, which needs administrator rights.\r\n\r\nRegister it as administrator now?",
                  Application().Title.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES)
    Guarded([this] { core_.RegisterAsEventSource(); });
  dialogs::ShowEventViewer(platform_, Handle());
}

bool TfrmMain::OfferUndoAsAdministrator(const std::vector<std::string>& messages) {
  dialogs::TfrmAsAdministrator offer(Handle(), dialogs::UndoOfferText());
  offer.Create();
  return offer.Confirm(messages);
}

void TfrmMain::KorvalisOptions1Click() {
  const TOptions current = core_.Options();
  dialogs::TfrmKorvalisOpt options(Handle(), platform_);
  options.OnViewLogs = [this] { ViewLogs1Click(); };
  options.OnAllowRules = [this, &options] {
    dialogs::TfrmAllowRules rules(options.Handle());
    rules.OnRemove = [this](const TAllowRule& rule) { core_.ChangeAllowRule(rule, false); };
    rules.Create();
    rules.Execute(core_.Monitor().AllowRules());
  };
  options.Create();
  if (const std::optional<TOptions> chosen = options.Execute(current)) core_.ApplyOptions(*chosen);
}

void TfrmMain::SetTimerEnabled(bool enabled) {
  if (CheckRegTimer) CheckRegTimer->SetEnabled(enabled);
  if (SettleTimer && !enabled) SettleTimer->SetEnabled(false);
}

void TfrmMain::CheckAfter(std::chrono::milliseconds wait) {
  if (!SettleTimer) return;
  // The system's shortest interval is 10 ms; the safety read comes anyway after a minute.
  const auto safety = std::chrono::duration_cast<std::chrono::milliseconds>(TSectionWatches::kSafetyInterval);
  const auto interval = std::clamp<std::chrono::milliseconds::rep>(wait.count(), USER_TIMER_MINIMUM, safety.count());
  SettleTimer->SetInterval(static_cast<UINT>(interval));
  SettleTimer->SetEnabled(true);
}

bool TfrmMain::AskUser(const TChangeQuestion& question, bool whileNotRunning) {
  // Once the program is ending, every further question is answered No at once.
  if (Application().Terminated()) return false;
  dialogs::TfrmChangeDlg dialog(Handle(), platform_, searchPath_);
  dialog.Create();
  const bool allowed = dialog.Confirm(*question.entry, question.kind, whileNotRunning, question.before);
  alwaysAllow_ = dialog.AlwaysAllowSigner();
  return allowed;
}

std::vector<bool> TfrmMain::AskUserAll(const std::vector<TChangeQuestion>& changes, bool whileNotRunning) {
  if (Application().Terminated()) return std::vector<bool>(changes.size(), false);
  std::vector<dialogs::TGroupedChange> grouped;
  for (const TChangeQuestion& change : changes)
    grouped.push_back(dialogs::TGroupedChange{change.entry, change.kind, change.before});
  dialogs::TfrmGroupedChangeDlg dialog(Handle(), platform_, searchPath_);
  dialog.Create();
  return dialog.Confirm(grouped, whileNotRunning);
}

bool TfrmMain::ConfirmRisk(const std::string& question) {
  // No is the default: a key held down from the question before must not say Yes to this one.
  if (Application().Terminated()) return false;
  return MessageBoxA(Handle(), question.c_str(), Application().Title.c_str(),
                     MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void TfrmMain::Notify(const std::string& text) {
  if (TrayIcon1) TrayIcon1->ShowBalloon("Korvalis", text);
}

void TfrmMain::CheckSoon() {
  if (Handle()) PostMessageA(Handle(), kCheckSoonMessage, 0, 0);
}

void TfrmMain::RefusedEntries1Click() {
  // The tray stays open while a question or Korvalis as administrator waits: the refusals it
  // holds are not taken from under it.
  if (core_.Monitor().Checking()) {
    MessageBoxA(Handle(), "Korvalis is waiting for an answer. The refused entries can be seen once it has one.",
                Application().Title.c_str(), MB_OK | MB_ICONINFORMATION);
    return;
  }
  const auto& refusals = core_.Monitor().Refusals();
  if (refusals.empty()) {
    MessageBoxA(Handle(), "No refused entry is undone when it comes back.", Application().Title.c_str(),
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::string list = "These entries were refused and are undone whenever they come back:\r\n";
  constexpr std::size_t kListed = 20;
  for (std::size_t i = 0; i < refusals.size() && i < kListed; ++i)
    list += "\r\n" + text::VisibleText(refusals[i].valueName) + "  " + text::VisibleText(refusals[i].command) +
            "  (in " + catalogue::SectionName(refusals[i].section) + ")";
  if (refusals.size() > kListed) list += "\r\n... and " + std::to_string(refusals.size() - kListed) + " more";
  const std::size_t pending = core_.Monitor().PendingUndos().size();
  const std::vector<std::string> changeable =
      pending > 0 ? InstallCheck(platform_.security, platform_.environment.ProgramPath()) : std::vector<std::string>();
  if (!changeable.empty()) {
    list += "\r\n\r\n" + UndoNotOfferedText(changeable);
  } else if (pending > 0) {
    // Refused where administrator rights were needed and not given: offered once more.
    dialogs::TfrmAsAdministrator offer(Handle(), dialogs::UndoOfferText());
    offer.Create();
    std::vector<std::string> lines;
    for (const TUndoOperation& undo : core_.Monitor().PendingUndos())
      lines.push_back(text::VisibleText(undo.writeBack.name) + "  (in " + catalogue::SectionName(undo.writeBack.section) +
                      ")");
    if (offer.Confirm(lines)) {
      core_.UndoPendingAsAdministrator();
      return;
    }
  }
  list += "\r\n\r\nForget them, so that each is asked about again?";
  if (MessageBoxA(Handle(), list.c_str(), Application().Title.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
      IDYES)
    core_.ClearRefusals();
}

void TfrmMain::Problems1Click() {
  const auto& problems = core_.Problems().Items();
  if (problems.empty()) {
    MessageBoxA(Handle(), "Nothing went wrong since Korvalis started.", Application().Title.c_str(),
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  // The newest last, as they came; the oldest left out where there are too many for the box.
  constexpr std::size_t kListed = 20;
  std::string list = "What went wrong since Korvalis started, the newest last:\r\n";
  if (problems.size() > kListed) list += "\r\n... and " + std::to_string(problems.size() - kListed) + " earlier";
  for (std::size_t i = problems.size() > kListed ? problems.size() - kListed : 0; i < problems.size(); ++i)
    list += "\r\n" + problems[i].time + "  " + text::VisibleText(problems[i].text);
  list += "\r\n\r\nClear the list?";
  if (MessageBoxA(Handle(), list.c_str(), Application().Title.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) ==
      IDYES)
    core_.ClearProblems();
}

void TfrmMain::CheckRegTimerTimer() {
  core_.CheckRegTimerTimer();
  // Rows are made only for a window that shows them: a check can come many times a minute.
  if (overview_ && IsWindowVisible(overview_->Handle()) && !core_.Monitor().Checking())
    overview_->Renew(dialogs::OverviewRows(core_.Monitor().Snapshot(), core_.Switches().AllPlaces));
}

void TfrmMain::StartupPrograms1Click() {
  if (!overview_) {
    // Owned by no window: it has a button on the taskbar, and stays usable while a question is open.
    overview_ = std::make_unique<dialogs::TfrmStartupOverview>(nullptr, platform_, searchPath_);
    overview_->Create();
    overview_->OnDisable = [this](const std::vector<dialogs::TOverviewRow>& rows) { ActOnOverview(rows, false); };
    overview_->OnDelete = [this](const std::vector<dialogs::TOverviewRow>& rows) { ActOnOverview(rows, true); };
    overview_->OnUndoUpdate = [this](const std::vector<dialogs::TOverviewRow>& rows) { UndoUpdates(rows); };
    overview_->OnAlwaysAllow = [this](const std::vector<dialogs::TOverviewRow>& rows) { AllowFromOverview(rows); };
  }
  overview_->ShowRows(dialogs::OverviewRows(core_.Monitor().Snapshot(), core_.Switches().AllPlaces));
}

void TfrmMain::ActOnOverview(const std::vector<dialogs::TOverviewRow>& rows, bool remove) {
  const HWND owner = overview_->Handle();
  std::vector<TChangeMonitor::TEntryName> names;
  std::string listed;
  for (const dialogs::TOverviewRow& row : rows) {
    names.emplace_back(row.section, row.valueName);
    listed += "\r\n" + row.name + "  (in " + catalogue::SectionName(row.section) + ")";
  }
  // No is the default: deleting is a refusal, undone again whenever the entry comes back.
  if (remove && MessageBoxA(owner, ("Delete these entries and undo them whenever they come back?\r\n" + listed).c_str(),
                            Application().Title.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
    return;
  std::vector<std::string> notDisabled;
  const bool done = remove ? core_.DeleteEntries(names) : core_.DisableEntries(names, notDisabled);
  if (!done) {
    MessageBoxA(owner, "Korvalis is waiting for an answer. Try again once it has one.", Application().Title.c_str(),
                MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!notDisabled.empty()) {
    std::string text = "Windows has no switch to disable these entries where they are; Delete removes them:\r\n";
    for (const std::string& name : notDisabled) text += "\r\n" + text::VisibleText(name);
    MessageBoxA(owner, text.c_str(), Application().Title.c_str(), MB_OK | MB_ICONINFORMATION);
  }
  overview_->ShowRows(dialogs::OverviewRows(core_.Monitor().Snapshot(), core_.Switches().AllPlaces));
}

void TfrmMain::UndoUpdates(const std::vector<dialogs::TOverviewRow>& rows) {
  // What is put back is said first, No the default: it is kept in a file beside the baseline.
  std::string earlier;
  for (const dialogs::TOverviewRow& row : rows)
    if (const auto command = core_.Monitor().UpdatedFrom({row.section, row.valueName}))
      earlier += "\r\n" + row.name + ": " + text::VisibleText(*command);
  if (!earlier.empty() &&
      MessageBoxA(overview_->Handle(), ("Put back what these entries started before their updates?\r\n" + earlier).c_str(),
                  Application().Title.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  std::string notUndone;
  for (const dialogs::TOverviewRow& row : rows) {
    const TChangeMonitor::UpdateUndo undone = core_.UndoUpdate({row.section, row.valueName});
    if (undone == TChangeMonitor::UpdateUndo::Undone) continue;
    notUndone += "\r\n" + row.name + (undone == TChangeMonitor::UpdateUndo::EarlierGone ? "  (its earlier program is gone)"
                                        : undone == TChangeMonitor::UpdateUndo::Busy   ? "  (Korvalis is waiting for an answer)"
                                                                                       : "  (no recent update)");
  }
  if (!notUndone.empty())
    MessageBoxA(overview_->Handle(), ("These entries were not put back as they were before an update:\r\n" + notUndone).c_str(),
                Application().Title.c_str(), MB_OK | MB_ICONINFORMATION);
  overview_->ShowRows(dialogs::OverviewRows(core_.Monitor().Snapshot(), core_.Switches().AllPlaces));
}

void TfrmMain::AllowFromOverview(const std::vector<dialogs::TOverviewRow>& rows) {
  std::vector<TAllowRule> rules;
  std::string listed, named, left;
  for (const dialogs::TOverviewRow& row : rows) {
    const std::optional<std::string> signer = dialogs::RuleSigner(row);
    const catalogue::TStartup* entry = core_.Monitor().SnapshotEntry({row.section, row.valueName});
    const std::string shown = "\r\n" + row.name + "  (in " + catalogue::SectionName(row.section) + ")";
    if (!signer || !entry || !RuleMayCover(*entry)) {
      left += shown;
      continue;
    }
    rules.push_back(TAllowRule{row.section, row.valueName, *signer});
    named += shown;
    listed += shown + ", signed by " + text::VisibleText(*signer);
  }
  if (rules.empty()) return;
  // One entry is asked in the words of the question's own check box.
  std::string text = rules.size() == 1 ? "Always allow changes of this entry signed by " +
                                             text::VisibleText(rules.front().signer) + "?\r\n" + named
                                       : "Always allow changes of these entries, each signed by its signer?\r\n" + listed;
  if (!left.empty()) text += "\r\n\r\nNot for these, whose programs are not validly signed or are told what to run:\r\n" + left;
  // No is the default: a rule lets later changes in unasked.
  if (MessageBoxA(overview_->Handle(), text.c_str(), Application().Title.c_str(),
                  MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return;
  try {
    for (const TAllowRule& rule : rules) core_.ChangeAllowRule(rule, true);
  } catch (const std::exception& error) {
    ReportError(error);
  }
  overview_->ShowRows(dialogs::OverviewRows(core_.Monitor().Snapshot(), core_.Switches().AllPlaces));
}

// The window's own report: for what fails at the start, before the tray icon is there, and for
// what the user just asked for from the menu. The guard itself reports through notices.
void TfrmMain::ReportError(const std::exception& error) { Application().HandleException(error); }

}  // namespace korvalis::app
