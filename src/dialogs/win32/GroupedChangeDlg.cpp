#include "dialogs/win32/GroupedChangeDlg.h"

#include <shellapi.h>

#include <string>
#include <utility>

#include "catalogue/Sections.h"
#include "dialogs/ChangeWarning.h"
#include "dialogs/CommandText.h"
#include "dialogs/ProgramFacts.h"
#include "dialogs/win32/ProgramIcon.h"
#include "dialogs/win32/WholeCommandDlg.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace ui;

namespace {

constexpr int mrAllowChecked = mrOk, mrAllowAll = mrYes, mrUndoAll = mrNo;
constexpr UINT_PTR kLookupTimerId = 1;
constexpr UINT kProgramFound = WM_APP + 1;
constexpr int kCommandColumn = 1, kProgramFileColumn = 4;
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
            TFormDesign{"Startup Programs Changed (0)", 840, 477, TBorderStyle::Dialog, TPosition::DesktopCenter}),
      platform_(platform),
      searchPath_(searchPath) {}

TfrmGroupedChangeDlg::~TfrmGroupedChangeDlg() { DestroyForm(); }

void TfrmGroupedChangeDlg::BuildControls() {
  warningIcon_.reset(static_cast<HICON>(
      LoadImageA(Application().Handle(), "WARNINGICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
  Add<TShape>("Shape1", TBounds{8, 4, 824, 57}, TColor::InfoBk);
  Add<TImage>("Image2", TBounds{14, 16, 32, 32}, 16).SetIcon(warningIcon_.get());
  Add<TLabel>("Label3", TBounds{36, 12, 780, 39}, kChangeWarning,
              TLabel::Options{false, true, TColor::InfoBk, TColor::InfoText});
  lblQuestion = &Add<TLabel>("lblQuestion", TBounds{8, 72, 0, 0}, "", TLabel::Options{});
  Add<TLabel>("Label1", TBounds{8, 88, 0, 0}, "Tick the changes you allow; Allow checked undoes all the others.",
              TLabel::Options{});
  // The list comes first in the tab order and takes the focus: Enter there presses nothing,
  // since no button is the default, so a stray key cannot answer for the user.
  lvChanges = &Add<TListView>("lvChanges", TBounds{8, 108, 824, 236});
  lvChanges->AddColumn("Name", 130);
  lvChanges->AddColumn("Command", 272);
  lvChanges->AddColumn("Place", 150);
  lvChanges->AddColumn("What happened", 90);
  lvChanges->AddColumn("Program file", 178);
  lvChanges->OnSelect = [this](int row) {
    selected_ = row;
    ShowSelected();
  };
  const TLabel::Options detail{false, true, TColor::BtnFace, TColor::WindowText};
  lblCommand = &Add<TLabel>("lblCommand", TBounds{8, 350, 824, 28}, kNoRowSelected, detail);
  lblProgramFacts = &Add<TLabel>("lblProgramFacts", TBounds{8, 380, 824, 14}, "", detail);
  // What a changed entry was: its command and, where they differ, its file's facts.
  lblBefore = &Add<TLabel>("lblBefore", TBounds{8, 396, 824, 42}, "", detail);
  Add<TButton>("btnAllowChecked", TBounds{8, 444, 180, 25}, "&Allow checked, undo the rest", mrAllowChecked);
  // Alt+A belongs to the first button; a shared mnemonic would only move the focus.
  Add<TButton>("btnAllowAll", TBounds{196, 444, 90, 25}, "Allow a&ll", mrAllowAll);
  Add<TButton>("btnUndoAll", TBounds{294, 444, 90, 25}, "&Undo all", mrUndoAll, false, true);
  btnShowCommand = &Add<TButton>("btnShowCommand", TBounds{691, 444, 141, 25}, "Show whole command ...");
  btnShowCommand->OnClick = [this] { btnShowCommandClick(); };
  btnShowCommand->SetVisible(false);
  programLookup_ = std::make_unique<TProgramLookup>(*this, kLookupTimerId, kProgramFound, platform_, searchPath_);
  programLookup_->OnFound = [this](std::size_t index, const TProgramFile& file) { ShowProgramFile(index, file); };
}

void TfrmGroupedChangeDlg::FormCreate() {
  SHFILEINFOA info{};
  smallImages_ = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (smallImages_) lvChanges->SetSmallImages(smallImages_);
}

void TfrmGroupedChangeDlg::FormDestroy() {
  if (programLookup_) programLookup_->Stop();
}

void TfrmGroupedChangeDlg::ShowProgramFile(std::size_t index, const TProgramFile& file) {
  if (index >= lookedUp_.size()) return;
  const auto [row, looked] = lookedUp_[index];
  const int item = static_cast<int>(row);
  if (looked == Looked::Earlier) {
    earlierFacts_[row] = file.facts;
  } else if (looked == Looked::PayloadFile) {
    payloadFileFacts_[row] = file.facts;
  } else {
    int icon = file.iconIndex;
    // A removed entry's program is often gone too; it still gets the icon of its kind of file.
    if (icon < 0) icon = KindIconIndex(file.path, SHGFI_SMALLICON);
    lvChanges->SetRowImage(item, icon < 0 ? I_IMAGENONE : icon);
    programFacts_[row] = file.facts;
    // A host's row keeps its payload in the column: the host's own signature is not the story.
    if (payloads_[row].kind == catalogue::PayloadKind::None)
      lvChanges->SetText(item, kProgramFileColumn, SignatureLine(file.facts));
  }
  if (item == selected_) ShowSelected();
}

std::string TfrmGroupedChangeDlg::RowFacts(std::size_t row) const {
  const platform::FileFacts* program = programFacts_[row] ? &*programFacts_[row] : nullptr;
  std::vector<std::string> facts{kProgramFactsPending};
  if (payloads_[row].kind != catalogue::PayloadKind::None)
    facts = PayloadFactLines(payloads_[row], payloadFileFacts_[row] ? &*payloadFileFacts_[row] : nullptr, program);
  else if (program)
    facts = ProgramFactLines(*program);
  return Joined(EntryFactLines(*rows_[row], facts), ";  ");
}

std::string TfrmGroupedChangeDlg::RowBefore(std::size_t row) const {
  if (!befores_[row]) return "";
  const std::optional<platform::FileFacts>& now =
      payloads_[row].file.empty() ? programFacts_[row] : payloadFileFacts_[row];
  const std::optional<platform::FileFacts>& earlier = earlierFacts_[row];
  return Joined(BeforeLines(*befores_[row], beforePayloads_[row], payloads_[row], earlier ? &*earlier : nullptr,
                            now ? &*now : nullptr),
                ";  ");
}

void TfrmGroupedChangeDlg::ShowSelected() {
  const bool any = selected_ >= 0 && static_cast<std::size_t>(selected_) < rows_.size();
  lblCommand->SetCaption(any ? lvChanges->Text(selected_, kCommandColumn) : kNoRowSelected);
  lblProgramFacts->SetCaption(any ? RowFacts(static_cast<std::size_t>(selected_)) : "");
  lblBefore->SetCaption(any ? RowBefore(static_cast<std::size_t>(selected_)) : "");
  const catalogue::TStartup* before = any ? befores_[static_cast<std::size_t>(selected_)] : nullptr;
  const bool cut = any && CommandIsCut(rows_[static_cast<std::size_t>(selected_)]->Command());
  btnShowCommand->SetVisible(cut || (before && CommandIsCut(before->Command())));
}

void TfrmGroupedChangeDlg::btnShowCommandClick() {
  if (selected_ < 0 || static_cast<std::size_t>(selected_) >= rows_.size()) return;
  TfrmWholeCommand whole(Handle());
  whole.Create();
  const catalogue::TStartup* before = befores_[static_cast<std::size_t>(selected_)];
  whole.Show(rows_[static_cast<std::size_t>(selected_)]->Command(), before ? &before->Command() : nullptr);
}

// The files to look up for a row: its program (a host's own for a host's row), then a host's
// script or library file, then a changed entry's earlier file where it is another.
void TfrmGroupedChangeDlg::AddLookups(const TGroupedChange& change, const catalogue::THostPayload& payload,
                                      std::vector<std::string>& programFiles) {
  const std::size_t row = rows_.size();
  lookedUp_.emplace_back(row, Looked::Program);
  programFiles.push_back(payload.kind != catalogue::PayloadKind::None ? payload.program : change.entry->ProgramFile());
  if (!payload.file.empty()) {
    lookedUp_.emplace_back(row, Looked::PayloadFile);
    programFiles.push_back(payload.file);
  }
  beforePayloads_.push_back(change.before ? catalogue::FindHostPayload(change.before->Command())
                                          : catalogue::THostPayload{});
  if (!change.before) return;
  const std::string earlier = FactsFile(*change.before, beforePayloads_.back());
  if (text::SameTextAscii(earlier, FactsFile(*change.entry, payload))) return;
  lookedUp_.emplace_back(row, Looked::Earlier);
  programFiles.push_back(earlier);
}

// One row per change, and the files to look up for them.
std::vector<std::string> TfrmGroupedChangeDlg::AddRows(const std::vector<TGroupedChange>& changes) {
  std::vector<std::string> programFiles;
  rows_.clear();
  payloads_.clear();
  befores_.clear();
  beforePayloads_.clear();
  lookedUp_.clear();
  for (const TGroupedChange& change : changes) {
    const catalogue::THostPayload payload = catalogue::FindHostPayload(change.entry->Command());
    const bool host = payload.kind != catalogue::PayloadKind::None;
    // A name or command can hold a NUL, which would cut the cell's text short.
    lvChanges->AddRow({text::VisibleText(change.entry->Name()), ShownCommand(change.entry->Command()),
                       catalogue::SectionName(change.entry->GetSection()), KindText(change.kind),
                       host ? PayloadLine(payload) : kProgramFactsPending},
                      I_IMAGENONE);
    AddLookups(change, payload, programFiles);
    rows_.push_back(change.entry);
    payloads_.push_back(payload);
    befores_.push_back(change.before);
  }
  programFacts_.assign(rows_.size(), std::nullopt);
  payloadFileFacts_.assign(rows_.size(), std::nullopt);
  earlierFacts_.assign(rows_.size(), std::nullopt);
  return programFiles;
}

std::vector<bool> TfrmGroupedChangeDlg::Confirm(const std::vector<TGroupedChange>& changes, bool whileNotRunning) {
  std::vector<bool> answers(changes.size(), false);
  if (changes.empty()) return answers;
  SetWindowTextA(Handle(), ("Startup Programs Changed (" + std::to_string(changes.size()) + ")").c_str());
  lblQuestion->SetCaption(whileNotRunning
                              ? "These changes were made while Korvalis was not running. Would you allow them?"
                              : "Would you allow the following changes?");
  SendMessageA(lvChanges->Handle(), WM_SETREDRAW, FALSE, 0);
  lvChanges->Clear();
  std::vector<std::string> programFiles = AddRows(changes);
  selected_ = -1;
  ShowSelected();
  SendMessageA(lvChanges->Handle(), WM_SETREDRAW, TRUE, 0);
  programLookup_->Start(std::move(programFiles));

  // Only the two allowing buttons allow; Esc, the close box and the program ending undo all.
  const int result = ShowModal();
  programLookup_->Stop();
  for (std::size_t i = 0; i < answers.size(); ++i)
    answers[i] = result == mrAllowAll || (result == mrAllowChecked && lvChanges->Checked(static_cast<int>(i)));
  return answers;
}

}  // namespace korvalis::dialogs
