#pragma once
// The whole of a command the change dialog had to cut, read-only, to read or copy.
#include <windows.h>

#include <string>

#include "ui/Form.h"

namespace korvalis::dialogs {

class TfrmWholeCommand : public ui::TForm {
 public:
  explicit TfrmWholeCommand(HWND owner);
  ~TfrmWholeCommand() override;

  // Shows the command's visible form modally until the dialog is closed; then, after a blank
  // line, a changed entry's earlier command where it is given.
  void Show(const std::string& command, const std::string* before = nullptr);

 protected:
  void BuildControls() override;

 private:
  ui::TMemo* memCommand = nullptr;
};

}  // namespace korvalis::dialogs
