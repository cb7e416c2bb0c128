#include "dialogs/win32/AsAdministratorDlg.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

using namespace ui;

TAsAdministratorText UndoOfferText() {
  return TAsAdministratorText{"Undo as Administrator", "These refused changes could not be undone: administrator rights are needed.",
                              "&Undo as administrator", "&Close", "", false};
}

TAsAdministratorText ElevatedStepsText() {
  return TAsAdministratorText{"Korvalis as Administrator",
                              "With administrator rights Korvalis will do this, and nothing else:", "&OK", "&Cancel",
                              "If you did not just answer a question of Korvalis, choose Cancel.", true};
}

TfrmAsAdministrator::TfrmAsAdministrator(HWND owner, TAsAdministratorText text)
    : TForm(owner, TFormDesign{text.caption, 620, 320, TBorderStyle::Dialog, TPosition::DesktopCenter}),
      text_(std::move(text)) {}

TfrmAsAdministrator::~TfrmAsAdministrator() { DestroyForm(); }

void TfrmAsAdministrator::BuildControls() {
  Add<TLabel>("lblIntro", TBounds{8, 8, 604, 30}, text_.intro, TLabel::Options{false, true});
  memSteps = &Add<TMemo>("memSteps", TBounds{8, 40, 604, 200});
  lblCode = &Add<TLabel>("lblCode", TBounds{8, 246, 604, 16}, "", TLabel::Options{false, false});
  Add<TLabel>("lblWarning", TBounds{8, 264, 604, 16}, text_.warning, TLabel::Options{false, false});
  Add<TButton>("btnOk", TBounds{396, 288, 135, 25}, text_.okCaption, mrOk, !text_.cancelDefault);
  Add<TButton>("btnCancel", TBounds{537, 288, 75, 25}, text_.cancelCaption, mrCancel, text_.cancelDefault, true);
}

bool TfrmAsAdministrator::Confirm(const std::vector<std::string>& lines, const std::string& code) {
  if (!code.empty()) lblCode->SetCaption("Code of this request: " + code);
  std::string listed;
  for (const std::string& line : lines) listed += (listed.empty() ? "" : "\r\n") + text::VisibleText(line);
  memSteps->SetCaption(listed);
  return ShowModal() == mrOk;
}

}  // namespace korvalis::dialogs
