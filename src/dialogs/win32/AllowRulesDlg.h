#pragma once
// The user's rules "Always allow changes of this entry signed by ...", listed from the options;
// the ones ticked are removed.
#include <windows.h>

#include <functional>
#include <vector>

#include "app/AllowRules.h"
#include "ui/Form.h"
#include "ui/ListView.h"

namespace korvalis::dialogs {

class TfrmAllowRules : public ui::TForm {
 public:
  explicit TfrmAllowRules(HWND owner);
  ~TfrmAllowRules() override;

  // Lists the rules modally; each one ticked when "Remove ticked" is pressed goes to OnRemove.
  void Execute(const std::vector<app::TAllowRule>& rules);
  std::function<void(const app::TAllowRule& rule)> OnRemove;

 protected:
  void BuildControls() override;

 private:
  void btnRemoveClick();
  void Fill();

  ui::TListView* lvRules = nullptr;
  std::vector<app::TAllowRule> rules_;
};

}  // namespace korvalis::dialogs
