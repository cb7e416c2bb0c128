#include "dialogs/win32/StartupOverviewDlg.h"

#include <shellapi.h>

#include <algorithm>
#include <utility>

#include "catalogue/Places.h"
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "dialogs/CommandText.h"
#include "dialogs/win32/ProgramIcon.h"
#include "platform/RegistrySettings.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace ui;

namespace {

constexpr UINT_PTR kLookupTimerId = 1, kRefreshTimerId = 2;
constexpr UINT kProgramFound = WM_APP + 1;
constexpr UINT kRefreshAfterMs = 150;
constexpr int kNameColumn = 0, kCommandColumn = 1, kPlaceColumn = 2, kFactsColumn = 3, kStateColumn = 4;
// Design pixels: the list's top, and what the progress line and the buttons take below it.
constexpr int kListTop = 36, kBelowList = 64, kMargin = 8, kButtonHeight = 25;
constexpr char kAppletsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets";

}  // namespace

TfrmStartupOverview::TfrmStartupOverview(HWND owner, const platform::Platform& platform,
                                         const catalogue::SearchPath& searchPath)
    : TForm(owner, TFormDesign{"Startup Programs", 820, 460, TBorderStyle::Sizeable, TPosition::DesktopCenter}),
      platform_(platform),
      searchPath_(searchPath) {}

TfrmStartupOverview::~TfrmStartupOverview() { DestroyForm(); }

void TfrmStartupOverview::BuildControls() {
  Add<TLabel>("lblSearch", TBounds{8, 11, 0, 0}, "Search:", TLabel::Options{});
  edtSearch = &Add<TEdit>("edtSearch", TBounds{56, 8, 240, 21});
  edtSearch->OnChange = [this] { ApplyFilter(); };
  chkHideWindows = &Add<TCheckBox>("chkHideWindows", TBounds{312, 10, 320, 17}, "&Hide entries signed by Microsoft Windows");
  lvEntries = &Add<TVirtualListView>("lvEntries", TBounds{8, kListTop, 804, 360});
  lvEntries->AddColumn("Name", 140);
  lvEntries->AddColumn("Command", 270);
  lvEntries->AddColumn("Place", 150);
  lvEntries->AddColumn("Program file", 130);
  lvEntries->AddColumn("Windows starts it", 90);
  lvEntries->CellText = [this](int line, int column) { return CellText(line, column); };
  lvEntries->RowImage = [this](int line) { return LineImage(line); };
  lvEntries->OnSelectionChange = [this] { UpdateButtons(); };
  lblProgress = &Add<TLabel>("lblProgress", TBounds{8, 402, 600, 14}, "", TLabel::Options{});
  BuildButtons();
  programLookup_ = std::make_unique<TProgramLookup>(*this, kLookupTimerId, kProgramFound, platform_, searchPath_);
  programLookup_->OnFound = [this](std::size_t index, const TProgramFile& file) { ShowProgramFile(index, file); };
  refreshTimer_ = std::make_unique<TTimer>(Handle(), kRefreshTimerId, kRefreshAfterMs);
  refreshTimer_->OnTimer = [this] {
    refreshTimer_->SetEnabled(false);
    ApplyFilter();
  };
  AddTimer(*refreshTimer_);
}

void TfrmStartupOverview::BuildButtons() {
  auto& disable = Add<TButton>("btnDisable", TBounds{8, 428, 90, kButtonHeight}, "&Disable");
  disable.OnClick = [this] { Act(OnDisable); };
  auto& remove = Add<TButton>("btnDelete", TBounds{104, 428, 90, kButtonHeight}, "D&elete");
  remove.OnClick = [this] { Act(OnDelete); };
  auto& open = Add<TButton>("btnOpenPlace", TBounds{200, 428, 110, kButtonHeight}, "&Open the place");
  open.OnClick = [this] { btnOpenPlaceClick(); };
  auto& undo = Add<TButton>("btnUndoUpdate", TBounds{316, 428, 110, kButtonHeight}, "&Undo update");
  undo.OnClick = [this] { Act(OnUndoUpdate); };
  auto& allow = Add<TButton>("btnAlwaysAllow", TBounds{432, 428, 110, kButtonHeight}, "Always &allow ...");
  allow.OnClick = [this] { Act(OnAlwaysAllow); };
  auto& close = Add<TButton>("btnClose", TBounds{722, 428, 90, kButtonHeight}, "Close", 0, false, true);
  close.OnClick = [this] { Close(); };
  buttons_ = {&disable, &remove, &open, &undo, &allow, &close};
}

void TfrmStartupOverview::FormCreate() {
  SHFILEINFOA info{};
  smallImages_ = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (smallImages_) lvEntries->SetSmallImages(smallImages_);
  UpdateButtons();
}

// Closed, it is hidden: nothing more is looked up until it is shown again.
void TfrmStartupOverview::FormClose() { programLookup_->Stop(); }

void TfrmStartupOverview::FormDestroy() {
  if (programLookup_) programLookup_->Stop();
}

LRESULT TfrmStartupOverview::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    Layout();
    return 0;
  }
  if (message == WM_GETMINMAXINFO) {
    auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
    limits->ptMinTrackSize = POINT{ScaleX(520), ScaleY(260)};
    return 0;
  }
  if (message == WM_COMMAND && chkHideWindows && reinterpret_cast<HWND>(lParam) == chkHideWindows->Handle()) {
    ApplyFilter();
    return 0;
  }
  return TForm::HandleMessage(message, wParam, lParam);
}

void TfrmStartupOverview::Layout() {
  if (!lvEntries) return;
  RECT client{};
  GetClientRect(Handle(), &client);
  const int margin = ScaleX(kMargin), top = ScaleY(kListTop);
  const int bottom = client.bottom - ScaleY(kBelowList) + ScaleY(kMargin);
  SetWindowPos(lvEntries->Handle(), nullptr, margin, top, client.right - 2 * margin, bottom - top - margin,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(lblProgress->Handle(), nullptr, margin, bottom, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  const int buttonTop = client.bottom - ScaleY(kButtonHeight + kMargin);
  for (TWinControl* button : buttons_) {
    const RECT designed = button->ScaledRect();
    // The last button keeps to the right edge, the others to the left.
    const int left = button == buttons_.back() ? client.right - margin - (designed.right - designed.left) : designed.left;
    SetWindowPos(button->Handle(), nullptr, left, buttonTop, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  }
}

void TfrmStartupOverview::ShowRows(std::vector<TOverviewRow> rows) {
  Fill(std::move(rows));
  ShowWindow(Handle(), SW_SHOW);
  SetForegroundWindow(Handle());
}

void TfrmStartupOverview::Renew(std::vector<TOverviewRow> rows) {
  if (!IsWindowVisible(Handle())) return;
  const auto same = [](const TOverviewRow& a, const TOverviewRow& b) {
    return a.section == b.section && a.valueName == b.valueName && a.command == b.command && a.start == b.start;
  };
  if (rows.size() == rows_.size() && std::equal(rows.begin(), rows.end(), rows_.begin(), same)) return;
  Fill(std::move(rows));
}

void TfrmStartupOverview::Fill(std::vector<TOverviewRow> rows) {
  programLookup_->Stop();
  rows_ = std::move(rows);
  images_.assign(rows_.size(), I_IMAGENONE);
  rowsOf_.clear();
  checked_ = 0;
  std::map<std::string, std::size_t> lookedUp;
  std::vector<std::string> programFiles;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const std::string& file = rows_[i].programFile;
    if (const auto known = known_.find(file); known != known_.end()) {
      rows_[i].facts = known->second.first;
      images_[i] = known->second.second;
      continue;
    }
    // Many entries run the same program: each file is looked at once.
    const auto [at, added] = lookedUp.emplace(file, programFiles.size());
    if (added) {
      programFiles.push_back(file);
      rowsOf_.emplace_back();
    }
    rowsOf_[at->second].push_back(i);
  }
  ApplyFilter();
  programLookup_->Start(std::move(programFiles));
}

void TfrmStartupOverview::ShowProgramFile(std::size_t index, const TProgramFile& file) {
  if (index >= rowsOf_.size()) return;
  int icon = file.iconIndex;
  if (icon < 0) icon = KindIconIndex(file.path, SHGFI_SMALLICON);
  if (icon < 0) icon = I_IMAGENONE;
  for (const std::size_t row : rowsOf_[index]) {
    rows_[row].facts = file.facts;
    images_[row] = icon;
  }
  if (!rowsOf_[index].empty()) known_[rows_[rowsOf_[index].front()].programFile] = {file.facts, icon};
  ++checked_;
  RefreshSoon();
}

void TfrmStartupOverview::RefreshSoon() {
  if (checked_ == rowsOf_.size()) {
    refreshTimer_->SetEnabled(false);
    ApplyFilter();
  } else if (!refreshTimer_->Enabled()) {
    refreshTimer_->SetEnabled(true);
  }
}

void TfrmStartupOverview::ApplyFilter() {
  const TOverviewFilter filter{chkHideWindows->Checked(), edtSearch->Caption()};
  const std::vector<std::size_t> shown = ShownRows(rows_, filter);
  std::vector<TOverviewLine> lines = GroupedLines(rows_, shown);
  headingCounts_.assign(lines.size(), 0);
  for (std::size_t i = lines.size(), count = 0; i-- > 0;) {
    if (lines[i].row) {
      ++count;
      continue;
    }
    headingCounts_[i] = count;
    count = 0;
  }
  const bool sameLines = lines.size() == lines_.size() &&
                         std::equal(lines.begin(), lines.end(), lines_.begin(), [](const auto& a, const auto& b) {
                           return a.section == b.section && a.row == b.row;
                         });
  lines_ = std::move(lines);
  // Facts that came for the same lines keep the selection; other lines drop it.
  if (sameLines)
    lvEntries->Redraw();
  else
    lvEntries->SetRowCount(static_cast<int>(lines_.size()));
  lblProgress->SetCaption(ProgressText(shown.size(), rows_.size(), checked_, rowsOf_.size()));
  UpdateButtons();
}

std::string TfrmStartupOverview::CellText(int line, int column) const {
  if (line < 0 || static_cast<std::size_t>(line) >= lines_.size()) return std::string();
  const TOverviewLine& shown = lines_[static_cast<std::size_t>(line)];
  if (!shown.row) return column == kNameColumn ? HeadingText(shown.section, headingCounts_[line]) : std::string();
  const TOverviewRow& row = rows_[*shown.row];
  switch (column) {
    case kNameColumn: return "    " + row.name;
    case kCommandColumn: return ShownCommand(row.command);
    case kPlaceColumn: return catalogue::SectionName(row.section);
    case kFactsColumn: return FactsText(row);
    case kStateColumn: return StartStateText(row.start);
  }
  return std::string();
}

int TfrmStartupOverview::LineImage(int line) const {
  if (line < 0 || static_cast<std::size_t>(line) >= lines_.size()) return I_IMAGENONE;
  const TOverviewLine& shown = lines_[static_cast<std::size_t>(line)];
  return shown.row ? images_[*shown.row] : I_IMAGENONE;
}

std::vector<TOverviewRow> TfrmStartupOverview::SelectedRows() const {
  std::vector<TOverviewRow> selected;
  for (const int line : lvEntries->SelectedRows())
    if (static_cast<std::size_t>(line) < lines_.size() && lines_[static_cast<std::size_t>(line)].row)
      selected.push_back(rows_[*lines_[static_cast<std::size_t>(line)].row]);
  return selected;
}

void TfrmStartupOverview::UpdateButtons() {
  const std::vector<TOverviewRow> selected = SelectedRows();
  buttons_[0]->SetEnabled(!selected.empty() && OnDisable);
  buttons_[1]->SetEnabled(!selected.empty() && OnDelete);
  buttons_[2]->SetEnabled(selected.size() == 1);
  buttons_[3]->SetEnabled(!selected.empty() && OnUndoUpdate);
  buttons_[4]->SetEnabled(OnAlwaysAllow && std::any_of(selected.begin(), selected.end(), [](const TOverviewRow& row) {
                            return RuleSigner(row).has_value();
                          }));
}

void TfrmStartupOverview::Act(const std::function<void(const std::vector<TOverviewRow>&)>& action) {
  const std::vector<TOverviewRow> selected = SelectedRows();
  if (!selected.empty() && action) action(selected);
}

void TfrmStartupOverview::btnOpenPlaceClick() {
  const std::vector<TOverviewRow> selected = SelectedRows();
  if (selected.size() != 1) return;
  const TOverviewRow& row = selected.front();
  const catalogue::TPlace* place = catalogue::PlaceOf(row.section);
  const std::string folder = place ? place->Kind().FolderPath(platform_.shell, *place) : std::string();
  const TPlaceOpening opening = PlaceOpening(row, folder);
  if (opening.program.empty()) return;
  // Regedit opens at the key it was last left at: the place's key.
  if (!opening.regeditKey.empty()) {
    platform::TRegistrySettings applets(platform_.registry, platform::RootKey::CurrentUser, kAppletsKey);
    applets.WriteString("Regedit", "LastKey", opening.regeditKey);
  }
  const std::intptr_t result =
      platform_.shell.Execute(reinterpret_cast<platform::WindowHandle>(Handle()), "open", opening.program,
                               opening.parameters, "", SW_SHOWNORMAL);
  if (result <= 32) throw Error("Cannot open " + opening.program);
}

}  // namespace korvalis::dialogs
