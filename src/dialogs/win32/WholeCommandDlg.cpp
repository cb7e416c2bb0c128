#include "dialogs/win32/WholeCommandDlg.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

using namespace ui;

TfrmWholeCommand::TfrmWholeCommand(HWND owner)
    : TForm(owner, TFormDesign{"Whole Command", 480, 300, TBorderStyle::Dialog, TPosition::DesktopCenter}) {}

TfrmWholeCommand::~TfrmWholeCommand() { DestroyForm(); }

void TfrmWholeCommand::BuildControls() {
  memCommand = &Add<TMemo>("memCommand", TBounds{8, 8, 464, 252});
  Add<TButton>("btnClose", TBounds{397, 268, 75, 25}, "&Close", mrOk, true, true);
}

void TfrmWholeCommand::Show(const std::string& command, const std::string* before) {
  // The commands' own line breaks are made visible, so the blank line can only be this one.
  const std::string earlier = before ? "\r\n\r\nBefore: " + text::VisibleText(*before) : "";
  memCommand->SetCaption(text::VisibleText(command) + earlier);
  ShowModal();
}

}  // namespace korvalis::dialogs
