#pragma once
// "Startup Programs": every entry of every guarded place, grouped by place, with its program
// file's facts and whether Windows starts it; a filter, a search, and actions on the selected
// entries that the resident program carries out as it carries out a No. It stays open beside
// the guard, and shows its rows at once; the program files are looked at afterwards, off the
// window's thread.
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/SearchPath.h"
#include "dialogs/StartupOverview.h"
#include "dialogs/win32/ProgramLookup.h"
#include "platform/Platform.h"
#include "ui/Form.h"
#include "ui/ListView.h"
#include "ui/Timer.h"

namespace korvalis::dialogs {

class TfrmStartupOverview : public ui::TForm {
 public:
  TfrmStartupOverview(HWND owner, const platform::Platform& platform, const catalogue::SearchPath& searchPath);
  ~TfrmStartupOverview() override;

  // Shows the rows, keeping the facts already known of their program files, and looks up the
  // others; the window comes to the front.
  void ShowRows(std::vector<TOverviewRow> rows);
  // While it is open, shows the rows as the guard now holds them, where they differ from those shown.
  void Renew(std::vector<TOverviewRow> rows);
  const std::vector<TOverviewRow>& Rows() const { return rows_; }

  // Carried out by the resident program on the selected rows, which then shows the rows anew.
  // Undo update: what a recent update told replaced, put back while its program is still there.
  // Always allow: a rule for each row whose program is validly signed.
  std::function<void(const std::vector<TOverviewRow>&)> OnDisable, OnDelete, OnUndoUpdate, OnAlwaysAllow;

 protected:
  void BuildControls() override;
  void FormCreate() override;
  void FormClose() override;
  void FormDestroy() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void BuildButtons();
  void Fill(std::vector<TOverviewRow> rows);
  void Layout();
  void ApplyFilter();
  void ShowProgramFile(std::size_t index, const TProgramFile& file);
  void RefreshSoon();
  std::string CellText(int line, int column) const;
  int LineImage(int line) const;
  std::vector<TOverviewRow> SelectedRows() const;
  void UpdateButtons();
  void Act(const std::function<void(const std::vector<TOverviewRow>&)>& action);
  void btnOpenPlaceClick();

  platform::Platform platform_;
  const catalogue::SearchPath& searchPath_;
  HIMAGELIST smallImages_ = nullptr;  // the shell's, never destroyed here
  ui::TEdit* edtSearch = nullptr;
  ui::TCheckBox* chkHideWindows = nullptr;
  ui::TVirtualListView* lvEntries = nullptr;
  ui::TLabel* lblProgress = nullptr;
  std::vector<ui::TWinControl*> buttons_;  // along the bottom, left to right
  std::unique_ptr<TProgramLookup> programLookup_;
  // Shown anew a little after facts came, not once per file: thousands of files come quickly.
  std::unique_ptr<ui::TTimer> refreshTimer_;
  std::vector<TOverviewRow> rows_;
  std::vector<int> images_;                       // per row
  std::vector<std::vector<std::size_t>> rowsOf_;  // per program file looked up, the rows that run it
  std::map<std::string, std::pair<platform::FileFacts, int>> known_;  // facts and icon by program file
  std::size_t checked_ = 0;
  std::vector<TOverviewLine> lines_;
  std::vector<std::size_t> headingCounts_;  // per line, a heading's count of rows shown
};

}  // namespace korvalis::dialogs
