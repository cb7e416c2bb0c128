#pragma once
// "Korvalis Options": the three switches together, and starting with Windows.
#include <windows.h>

#include <functional>
#include <optional>

#include "app/Options.h"
#include "platform/Platform.h"
#include "ui/Form.h"

namespace korvalis::dialogs {

class TfrmKorvalisOpt : public ui::TForm {
 public:
  TfrmKorvalisOpt(HWND owner, const platform::Platform& platform);
  ~TfrmKorvalisOpt() override;

  // Fills the boxes from the options and shows the dialog; the boxes as left on OK, nothing on
  // Cancel.
  std::optional<app::TOptions> Execute(const app::TOptions& options);
  void Button1Click();
  // "View Logs ...": the owner's, which may offer to register the event source first; without
  // one, the event viewer is opened.
  std::function<void()> OnViewLogs;
  // "Allow Rules ...": lists the rules that allow an entry's changes unasked.
  std::function<void()> OnAllowRules;

 protected:
  void BuildControls() override;

 private:
  platform::Platform platform_;
  ui::UniqueIcon programIcon_;
  ui::TCheckBox* chkMonitoring = nullptr;
  ui::TCheckBox* chkNotification = nullptr;
  ui::TCheckBox* chkLogs = nullptr;
  ui::TCheckBox* chkStartsWithWindows = nullptr;
  ui::TCheckBox* chkAskUpdates = nullptr;
};

// The event viewer on the program's own source.
void ShowEventViewer(const platform::Platform& platform, HWND parent);

}  // namespace korvalis::dialogs
