#pragma once
// "Korvalis Options": the three switches together, and starting with Windows.
#include <windows.h>

#include "app/KorvalisMain.h"
#include "ui/Form.h"

namespace korvalis::dialogs {

class TfrmKorvalisOpt : public ui::TForm {
 public:
  TfrmKorvalisOpt(HWND owner, app::TKorvalisMain& main);
  ~TfrmKorvalisOpt() override;

  // Fills the boxes, shows the dialog and applies all four settings on OK; true for OK.
  bool Execute();
  void Button1Click();

 protected:
  void BuildControls() override;

 private:
  app::TKorvalisMain& main_;
  ui::UniqueIcon programIcon_;
  ui::TCheckBox* chkMonitoring = nullptr;
  ui::TCheckBox* chkNotification = nullptr;
  ui::TCheckBox* chkLogs = nullptr;
  ui::TCheckBox* chkStartsWithWindows = nullptr;
};

// The event viewer on the program's own source.
void ShowEventViewer(const platform::Platform& platform, HWND parent);

}  // namespace korvalis::dialogs
