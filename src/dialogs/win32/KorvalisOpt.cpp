#include "dialogs/win32/KorvalisOpt.h"

#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace ui;

void ShowEventViewer(const platform::Platform& platform, HWND parent) {
  platform.shell.Execute(reinterpret_cast<platform::WindowHandle>(parent), "", "eventvwr.msc", "/so Korvalis", "",
                         SW_SHOWDEFAULT);
}

TfrmKorvalisOpt::TfrmKorvalisOpt(HWND owner, const platform::Platform& platform)
    : TForm(owner, TFormDesign{"Korvalis Options", 320, 251, TBorderStyle::Dialog, TPosition::DesktopCenter}),
      platform_(platform) {}

TfrmKorvalisOpt::~TfrmKorvalisOpt() { DestroyForm(); }

void TfrmKorvalisOpt::BuildControls() {
  programIcon_.reset(
      static_cast<HICON>(LoadImageA(Application().Handle(), "MAINICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
  Add<TShape>("Shape1", TBounds{0, 0, 65, 251}, TColor::Window);
  Add<TImage>("Image1", TBounds{16, 12, 32, 32}, 32).SetIcon(programIcon_.get());
  // Created in their tab order.
  chkMonitoring = &Add<TCheckBox>("chkMonitoring", TBounds{72, 12, 237, 17}, "Enable Startup &Mointoring");
  chkNotification = &Add<TCheckBox>("chkNotification", TBounds{72, 40, 237, 17}, "Enable &Notification");
  chkLogs = &Add<TCheckBox>("chkLogs", TBounds{72, 68, 237, 17}, "Enable &Logs");
  Add<TButton>("Button1", TBounds{232, 88, 79, 25}, "&View Logs ...").OnClick = [this] { Button1Click(); };
  Add<TButton>("btnAllowRules", TBounds{140, 88, 85, 25}, "Allow &Rules ...").OnClick = [this] {
    if (OnAllowRules) OnAllowRules();
  };
  Add<TButton>("Button2", TBounds{140, 216, 79, 25}, "&OK", mrOk, true);
  Add<TButton>("Button3", TBounds{232, 216, 79, 25}, "&Cancel", mrCancel, false, true);
  chkStartsWithWindows =
      &Add<TCheckBox>("chkStartsWithWindows", TBounds{72, 152, 237, 17}, "&Automatically start with Windows");
  // Added after the designed controls, in the room above the autostart box.
  chkAskUpdates =
      &Add<TCheckBox>("chkAskUpdates", TBounds{72, 124, 245, 17}, "Ask about &updates by the same publisher too");
  Add<TBevel>("Bevel1", TBounds{68, 200, 245, 45});
}

std::optional<app::TOptions> TfrmKorvalisOpt::Execute(const app::TOptions& options) {
  chkMonitoring->SetChecked(options.monitoring);
  chkLogs->SetChecked(options.logs);
  chkNotification->SetChecked(options.notification);
  chkStartsWithWindows->SetChecked(options.startsWithWindows);
  chkAskUpdates->SetChecked(options.askUpdates);
  if (ShowModal() != mrOk) return std::nullopt;
  return app::TOptions{chkMonitoring->Checked(), chkNotification->Checked(), chkLogs->Checked(),
                       chkStartsWithWindows->Checked(), chkAskUpdates->Checked()};
}

void TfrmKorvalisOpt::Button1Click() {
  if (OnViewLogs)
    OnViewLogs();
  else
    ShowEventViewer(platform_, Handle());
}

}  // namespace korvalis::dialogs
