#include "dialogs/win32/AsAdministratorDlg.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

using namespace ui;

TAsAdministratorText UndoOfferText() {
  return TAsAdministratorText{"Undo as Administrator", "These refused changes could not be undone: administrator rights are needed.",
                              "&Undo as administrator", "&Close"};
}

TAsAdministratorText ElevatedStepsText() {
  return TAsAdministratorText{"Korvalis as Administrator",
                              "With administrator rights Korvalis will do this, and nothing else:", "&OK", "&Cancel"};
}

TfrmAsAdministrator::TfrmAsAdministrator(HWND owner, TAsAdministratorText text)
    : TForm(owner, TFormDesign{text.caption, 420, 220, TBorderStyle::Dialog, TPosition::DesktopCenter}),
      text_(std::move(text)) {}

TfrmAsAdministrator::~TfrmAsAdministrator() { DestroyForm(); }

void TfrmAsAdministrator::BuildControls() {
  Add<TLabel>("lblIntro", TBounds{8, 8, 404, 30}, text_.intro, TLabel::Options{false, true});
  memSteps = &Add<TMemo>("memSteps", TBounds{8, 40, 404, 140});
  Add<TButton>("btnOk", TBounds{196, 188, 135, 25}, text_.okCaption, mrOk, true);
  Add<TButton>("btnCancel", TBounds{337, 188, 75, 25}, text_.cancelCaption, mrCancel, false, true);
}

bool TfrmAsAdministrator::Confirm(const std::vector<std::string>& lines) {
  std::string listed;
  for (const std::string& line : lines) listed += (listed.empty() ? "" : "\r\n") + text::VisibleText(line);
  memSteps->SetCaption(listed);
  return ShowModal() == mrOk;
}

}  // namespace korvalis::dialogs
