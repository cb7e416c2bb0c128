#pragma once
// What is to be done with administrator rights, listed for the user to allow or not: the
// resident program's offer to undo refused changes as administrator, and the elevated copy's
// own confirmation of the steps it is about to take.
#include <windows.h>

#include <string>
#include <vector>

#include "ui/Form.h"

namespace korvalis::dialogs {

struct TAsAdministratorText {
  std::string caption;
  std::string intro;
  std::string okCaption;
  std::string cancelCaption;
  std::string warning;         // below the code, where a window another program opened could be taken for it
  bool cancelDefault = false;  // Enter chooses Cancel
};

// The resident program's offer, and the elevated copy's confirmation.
TAsAdministratorText UndoOfferText();
TAsAdministratorText ElevatedStepsText();

class TfrmAsAdministrator : public ui::TForm {
 public:
  TfrmAsAdministrator(HWND owner, TAsAdministratorText text);
  ~TfrmAsAdministrator() override;

  // Shows the lines modally, with the request's code when given; true when the user chose OK.
  bool Confirm(const std::vector<std::string>& lines, const std::string& code = {});

 protected:
  void BuildControls() override;

 private:
  TAsAdministratorText text_;
  ui::TMemo* memSteps = nullptr;
  ui::TLabel* lblCode = nullptr;
};

}  // namespace korvalis::dialogs
