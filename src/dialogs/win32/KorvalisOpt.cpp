#include "dialogs/win32/KorvalisOpt.h"

#include "app/Autostart.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace ui;

void ShowEventViewer(const platform::Platform& platform, HWND parent) {
  platform.shell.Execute(reinterpret_cast<platform::WindowHandle>(parent), "", "eventvwr.msc", "/so Korvalis", "",
                         SW_SHOWDEFAULT);
}

TfrmKorvalisOpt::TfrmKorvalisOpt(HWND owner, app::TKorvalisMain& main)
    : TForm(owner, TFormDesign{"Korvalis Options", 320, 251, TBorderStyle::Dialog, TPosition::DesktopCenter}),
      main_(main) {}

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
  Add<TButton>("Button2", TBounds{140, 216, 79, 25}, "&OK", mrOk, true);
  Add<TButton>("Button3", TBounds{232, 216, 79, 25}, "&Cancel", mrCancel, false, true);
  chkStartsWithWindows =
      &Add<TCheckBox>("chkStartsWithWindows", TBounds{72, 152, 237, 17}, "&Automatically start with Windows");
  Add<TBevel>("Bevel1", TBounds{68, 200, 245, 45});
}

bool TfrmKorvalisOpt::Execute() {
  const app::TSwitches& switches = main_.Switches();
  chkMonitoring->SetChecked(switches.Monitoring);
  chkLogs->SetChecked(switches.Logs);
  chkNotification->SetChecked(switches.Notification);
  chkStartsWithWindows->SetChecked(app::IsAutostartSet(main_.Platform()));
  if (ShowModal() != mrOk) return false;
  main_.SetMonitoring(chkMonitoring->Checked());
  main_.SetLogs(chkLogs->Checked());
  main_.SetNotification(chkNotification->Checked());
  app::SetAutostart(main_.Platform(), chkStartsWithWindows->Checked());
  main_.AcceptOwnChange();
  return true;
}

void TfrmKorvalisOpt::Button1Click() { ShowEventViewer(main_.Platform(), Handle()); }

}  // namespace korvalis::dialogs
