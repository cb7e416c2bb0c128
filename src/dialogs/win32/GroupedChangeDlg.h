#pragma once
// "Startup Programs Changed (N)": one question for all the differences one check found, when
// there are too many to ask about one by one, each allowed or undone on its own.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

#include "catalogue/SearchPath.h"
#include "catalogue/Startup.h"
#include "platform/Platform.h"
#include "ui/Form.h"
#include "ui/ListView.h"
#include "ui/Timer.h"

namespace korvalis::dialogs {

struct TGroupedChange {
  const catalogue::TStartup* entry;
  catalogue::ChangeKind kind;
};

class TfrmGroupedChangeDlg : public ui::TForm {
 public:
  TfrmGroupedChangeDlg(HWND owner, const platform::Platform& platform, const catalogue::SearchPath& searchPath);
  ~TfrmGroupedChangeDlg() override;

  // Shows the changes modally; one answer per change, true where it is allowed. Nothing is
  // allowed unless the user ticked it or chose to allow all.
  std::vector<bool> Confirm(const std::vector<TGroupedChange>& changes, bool whileNotRunning);

 protected:
  void BuildControls() override;
  void FormCreate() override;

 private:
  int SmallIconOf(const catalogue::TStartup& entry) const;
  void FillIcons();

  platform::Platform platform_;
  const catalogue::SearchPath& searchPath_;
  HIMAGELIST smallImages_ = nullptr;  // the shell's, never destroyed here
  ui::UniqueIcon warningIcon_;
  ui::TLabel* lblQuestion = nullptr;
  ui::TListView* lvChanges = nullptr;
  ui::TLabel* lblCommand = nullptr;
  // The rows' icons are looked up once the question is on the screen, a few rows a tick.
  std::unique_ptr<ui::TTimer> iconTimer_;
  std::vector<const catalogue::TStartup*> rows_;
  std::size_t iconsFilled_ = 0;
};

}  // namespace korvalis::dialogs
