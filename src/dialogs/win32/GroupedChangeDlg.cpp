#include "dialogs/win32/GroupedChangeDlg.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "catalogue/Sections.h"
#include "dialogs/ChangeWarning.h"
#include "dialogs/CommandText.h"
#include "dialogs/win32/ProgramIcon.h"
#include "text/VisibleText.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace ui;

namespace {

constexpr int mrAllowChecked = mrOk, mrAllowAll = mrYes, mrUndoAll = mrNo;
constexpr UINT_PTR kIconTimerId = 1;
constexpr UINT kIconDelayMs = 10;
constexpr std::size_t kIconsPerTick = 8;
constexpr char kNoRowSelected[] = "Select a change to see its whole command line.";

const char* KindText(catalogue::ChangeKind kind) {
  switch (kind) {
    case catalogue::ChangeKind::Added: return "added";
    case catalogue::ChangeKind::Removed: return "removed";
    case catalogue::ChangeKind::Changed: return "changed";
  }
  return "";
}

}  // namespace

// The caption names the count from the start, so that this hidden window is never taken for
// the single question's, whose caption a driver looks for.
TfrmGroupedChangeDlg::TfrmGroupedChangeDlg(HWND owner, const platform::Platform& platform,
                                           const catalogue::SearchPath& searchPath)
    : TForm(owner,
            TFormDesign{"Startup Programs Changed (0)", 680, 461, TBorderStyle::Dialog, TPosition::DesktopCenter}),
      platform_(platform),
      searchPath_(searchPath) {}

TfrmGroupedChangeDlg::~TfrmGroupedChangeDlg() { DestroyForm(); }

void TfrmGroupedChangeDlg::BuildControls() {
  warningIcon_.reset(static_cast<HICON>(
      LoadImageA(Application().Handle(), "WARNINGICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
  Add<TShape>("Shape1", TBounds{8, 4, 664, 57}, TColor::InfoBk);
  Add<TImage>("Image2", TBounds{14, 16, 32, 32}, 16).SetIcon(warningIcon_.get());
  Add<TLabel>("Label3", TBounds{36, 12, 620, 39}, kChangeWarning,
              TLabel::Options{false, true, TColor::InfoBk, TColor::InfoText});
  lblQuestion = &Add<TLabel>("lblQuestion", TBounds{8, 72, 0, 0}, "", TLabel::Options{});
  Add<TLabel>("Label1", TBounds{8, 88, 0, 0}, "Tick the changes you allow; Allow checked undoes all the others.",
              TLabel::Options{});
  // The list comes first in the tab order and takes the focus: Enter there presses nothing,
  // since no button is the default, so a stray key cannot answer for the user.
  lvChanges = &Add<TListView>("lvChanges", TBounds{8, 108, 664, 280});
  lvChanges->AddColumn("Name", 130);
  lvChanges->AddColumn("Command", 272);
  lvChanges->AddColumn("Place", 150);
  lvChanges->AddColumn("What happened", 90);
  lvChanges->OnSelect = [this](int row) { lblCommand->SetCaption(lvChanges->Text(row, 1)); };
  lblCommand = &Add<TLabel>("lblCommand", TBounds{8, 394, 664, 28}, kNoRowSelected,
                            TLabel::Options{false, true, TColor::BtnFace, TColor::WindowText});
  Add<TButton>("btnAllowChecked", TBounds{8, 428, 180, 25}, "&Allow checked, undo the rest", mrAllowChecked);
  // Alt+A belongs to the first button; a shared mnemonic would only move the focus.
  Add<TButton>("btnAllowAll", TBounds{196, 428, 90, 25}, "Allow a&ll", mrAllowAll);
  Add<TButton>("btnUndoAll", TBounds{294, 428, 90, 25}, "&Undo all", mrUndoAll, false, true);
  iconTimer_ = std::make_unique<TTimer>(Handle(), kIconTimerId, kIconDelayMs);
  iconTimer_->OnTimer = [this] { FillIcons(); };
  AddTimer(*iconTimer_);
}

void TfrmGroupedChangeDlg::FormCreate() {
  SHFILEINFOA info{};
  smallImages_ = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (smallImages_) lvChanges->SetSmallImages(smallImages_);
}

int TfrmGroupedChangeDlg::SmallIconOf(const catalogue::TStartup& entry) const {
  const std::string path =
      catalogue::FindProgramFile(platform_.files, platform_.environment, searchPath_, entry.ProgramFile());
  int index = FileIconIndex(path, SHGFI_SMALLICON);
  // A removed entry's program is often gone too; it still gets the icon of its kind of file.
  if (index < 0) index = KindIconIndex(path, SHGFI_SMALLICON);
  return index < 0 ? I_IMAGENONE : index;
}

void TfrmGroupedChangeDlg::FillIcons() {
  const std::size_t end = std::min(rows_.size(), iconsFilled_ + kIconsPerTick);
  for (; iconsFilled_ < end; ++iconsFilled_)
    lvChanges->SetRowImage(static_cast<int>(iconsFilled_), SmallIconOf(*rows_[iconsFilled_]));
  if (iconsFilled_ == rows_.size()) iconTimer_->SetEnabled(false);
}

std::vector<bool> TfrmGroupedChangeDlg::Confirm(const std::vector<TGroupedChange>& changes, bool whileNotRunning) {
  std::vector<bool> answers(changes.size(), false);
  if (changes.empty()) return answers;
  SetWindowTextA(Handle(), ("Startup Programs Changed (" + std::to_string(changes.size()) + ")").c_str());
  lblQuestion->SetCaption(whileNotRunning
                              ? "These changes were made while Korvalis was not running. Would you allow them?"
                              : "Would you allow the following changes?");
  lblCommand->SetCaption(kNoRowSelected);
  SendMessageA(lvChanges->Handle(), WM_SETREDRAW, FALSE, 0);
  lvChanges->Clear();
  rows_.clear();
  iconsFilled_ = 0;
  for (const TGroupedChange& change : changes) {
    // A name or command can hold a NUL, which would cut the cell's text short.
    lvChanges->AddRow({text::VisibleText(change.entry->Name()), ShownCommand(change.entry->Command()),
                       catalogue::SectionName(change.entry->GetSection()), KindText(change.kind)},
                      I_IMAGENONE);
    rows_.push_back(change.entry);
  }
  SendMessageA(lvChanges->Handle(), WM_SETREDRAW, TRUE, 0);
  iconTimer_->SetEnabled(true);

  // Only the two allowing buttons allow; Esc, the close box and the program ending undo all.
  const int result = ShowModal();
  for (std::size_t i = 0; i < answers.size(); ++i)
    answers[i] = result == mrAllowAll || (result == mrAllowChecked && lvChanges->Checked(static_cast<int>(i)));
  return answers;
}

}  // namespace korvalis::dialogs
