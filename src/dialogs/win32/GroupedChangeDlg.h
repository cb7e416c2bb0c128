#pragma once
// "Startup Programs Changed (N)": one question for all the differences one check found, when
// there are too many to ask about one by one, each allowed or undone on its own.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "catalogue/SearchPath.h"
#include "catalogue/Startup.h"
#include "dialogs/win32/ProgramLookup.h"
#include "platform/Platform.h"
#include "ui/Form.h"
#include "ui/ListView.h"

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
  void FormDestroy() override;

 private:
  void ShowProgramFile(std::size_t row, const TProgramFile& file);
  void ShowSelected();
  void btnShowCommandClick();

  platform::Platform platform_;
  const catalogue::SearchPath& searchPath_;
  HIMAGELIST smallImages_ = nullptr;  // the shell's, never destroyed here
  ui::UniqueIcon warningIcon_;
  ui::TLabel* lblQuestion = nullptr;
  ui::TListView* lvChanges = nullptr;
  ui::TLabel* lblCommand = nullptr;
  ui::TLabel* lblProgramFacts = nullptr;
  ui::TButton* btnShowCommand = nullptr;
  // The rows' icons and program files come once the question is on the screen.
  std::unique_ptr<TProgramLookup> programLookup_;
  std::vector<const catalogue::TStartup*> rows_;
  std::vector<std::string> rowFacts_;  // every line of what each row's program file says
  int selected_ = -1;
};

}  // namespace korvalis::dialogs
