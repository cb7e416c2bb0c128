#pragma once
// The hidden main window: the check timer, the tray icon and its menu, and the resident
// program's logic behind them. It is never shown.
#include <windows.h>

#include <utility>

#include <memory>

#include "app/KorvalisMain.h"
#include "catalogue/SearchPath.h"
#include "dialogs/win32/StartupOverviewDlg.h"
#include "shell/TrayShell.h"
#include "ui/Application.h"
#include "ui/Form.h"
#include "ui/Menu.h"
#include "ui/Timer.h"
#include "ui/TrayWin32.h"

namespace korvalis::app {

class TfrmMain : public ui::TForm, private MainHost {
 public:
  TfrmMain(const platform::Platform& platform, const catalogue::SearchPath& searchPath);
  ~TfrmMain() override;

  TKorvalisMain& Core() { return core_; }
  const shell::TTrayIcon& TrayIcon() const { return *TrayIcon1; }

  void KorvalisOptions1Click();
  void ShowBrenmoor1Click() {}
  void EnableKorvalis1Click();
  void EnableNotification1Click();
  void EnableLogs1Click();
  void ViewLogs1Click();
  void Exit1Click() { Close(); }
  void PopupMenu1Popup();
  // Shows the refused entries that are undone whenever they come back, and offers to forget them.
  void RefusedEntries1Click();
  // Lists what went wrong while the guard ran, each once a notice beside the icon, and offers to clear it.
  void Problems1Click();
  // Opens the overview of everything that starts, or brings it to the front with its rows anew.
  void StartupPrograms1Click();
  // A check; an open overview then shows what it left.
  void CheckRegTimerTimer();

 protected:
  void BuildControls() override;
  void FormCreate() override;
  void FormClose() override { core_.FormClose(); }
  void FormDestroy() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void SetTimerEnabled(bool enabled) override;
  bool AskUser(const TChangeQuestion& question, bool whileNotRunning) override;
  std::vector<bool> AskUserAll(const std::vector<TChangeQuestion>& changes, bool whileNotRunning) override;
  void Notify(const std::string& text) override;
  // Told to end, the modal loops end with cancel: a No that is not the user's.
  bool Closing() const override { return ui::Application().Terminated(); }
  std::string TakeAlwaysAllow() override { return std::exchange(alwaysAllow_, std::string()); }
  bool ConfirmRisk(const std::string& question) override;
  void CheckSoon() override;
  void CheckAfter(std::chrono::milliseconds wait) override;
  void ReportError(const std::exception& error) override;
  bool OfferUndoAsAdministrator(const std::vector<std::string>& messages) override;
  platform::WindowHandle OwnerWindow() const override { return reinterpret_cast<platform::WindowHandle>(Handle()); }
  void BuildMenu();
  // Carries out an action of the overview on its selected rows, then shows its rows anew.
  void UndoUpdates(const std::vector<dialogs::TOverviewRow>& rows);
  void AllowFromOverview(const std::vector<dialogs::TOverviewRow>& rows);
  void ActOnOverview(const std::vector<dialogs::TOverviewRow>& rows, bool remove);

  platform::Platform platform_;
  const catalogue::SearchPath& searchPath_;
  TKorvalisMain core_;
  std::unique_ptr<ui::TTimer> CheckRegTimer;
  std::unique_ptr<ui::TTimer> SettleTimer;  // one tick, when a change waiting for its place to be quiet is due
  ui::TPopupMenu PopupMenu1;
  ui::UniqueIcon trayIcon_;
  ui::TWin32TrayApi trayApi_;
  std::unique_ptr<shell::TTrayIcon> TrayIcon1;
  std::unique_ptr<dialogs::TfrmStartupOverview> overview_;
  bool destroyed_ = false;
  std::string alwaysAllow_;  // ticked in the question just answered
};

}  // namespace korvalis::app
