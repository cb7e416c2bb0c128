#pragma once
// "Startup Programs Changed (N)": one question for all the differences one check found, when
// there are too many to ask about one by one, each allowed or undone on its own.
#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/HostPayload.h"
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
  const catalogue::TStartup* before = nullptr;  // what a changed entry was
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
  void ShowProgramFile(std::size_t index, const TProgramFile& file);
  std::string RowFacts(std::size_t row) const;
  std::string RowBefore(std::size_t row) const;
  void AddLookups(const TGroupedChange& change, const catalogue::THostPayload& payload,
                  std::vector<std::string>& programFiles);
  std::vector<std::string> AddRows(const std::vector<TGroupedChange>& changes);
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
  ui::TLabel* lblBefore = nullptr;
  ui::TButton* btnShowCommand = nullptr;
  // The rows' icons and program files come once the question is on the screen.
  std::unique_ptr<TProgramLookup> programLookup_;
  std::vector<const catalogue::TStartup*> rows_;
  // Per row: what a host runs (kind None for any other program), the host's or program's facts,
  // and those of the host's script or library file; of a change, what it was (else none), its
  // payload, and its file's facts where that file is another than the new command's.
  std::vector<catalogue::THostPayload> payloads_;
  std::vector<std::optional<platform::FileFacts>> programFacts_, payloadFileFacts_;
  std::vector<const catalogue::TStartup*> befores_;
  std::vector<catalogue::THostPayload> beforePayloads_;
  std::vector<std::optional<platform::FileFacts>> earlierFacts_;
  // Per file looked up: its row, and which of the row's files it is.
  enum class Looked { Program, PayloadFile, Earlier };
  std::vector<std::pair<std::size_t, Looked>> lookedUp_;
  int selected_ = -1;
};

}  // namespace korvalis::dialogs
