#include "dialogs/win32/AllowRulesDlg.h"

#include "catalogue/Sections.h"
#include "text/VisibleText.h"

namespace korvalis::dialogs {

using namespace ui;

TfrmAllowRules::TfrmAllowRules(HWND owner)
    : TForm(owner, TFormDesign{"Korvalis Allow Rules", 520, 280, TBorderStyle::Dialog, TPosition::DesktopCenter}) {}

TfrmAllowRules::~TfrmAllowRules() { DestroyForm(); }

void TfrmAllowRules::BuildControls() {
  Add<TLabel>("Label1", TBounds{8, 8, 504, 17}, "Changes of these entries are allowed unasked while signed so:",
              TLabel::Options{});
  lvRules = &Add<TListView>("lvRules", TBounds{8, 28, 504, 208});
  lvRules->AddColumn("Entry", 150);
  lvRules->AddColumn("Place", 170);
  lvRules->AddColumn("Signed by", 180);
  Add<TButton>("btnRemove", TBounds{8, 246, 120, 25}, "&Remove ticked").OnClick = [this] { btnRemoveClick(); };
  Add<TButton>("btnClose", TBounds{437, 246, 75, 25}, "&Close", mrOk, true, true);
}

void TfrmAllowRules::Execute(const std::vector<app::TAllowRule>& rules) {
  rules_ = rules;
  Fill();
  ShowModal();
}

void TfrmAllowRules::Fill() {
  lvRules->Clear();
  for (const app::TAllowRule& rule : rules_)
    lvRules->AddRow({text::VisibleText(rule.valueName), catalogue::SectionName(rule.section), text::VisibleText(rule.signer)},
                    -1);
}

void TfrmAllowRules::btnRemoveClick() {
  std::vector<app::TAllowRule> kept;
  for (int row = 0; row < static_cast<int>(rules_.size()); ++row) {
    if (lvRules->Checked(row) && OnRemove)
      OnRemove(rules_[row]);
    else
      kept.push_back(rules_[row]);
  }
  rules_ = std::move(kept);
  Fill();
}

}  // namespace korvalis::dialogs
