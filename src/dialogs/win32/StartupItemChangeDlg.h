#pragma once
// "Startup Programs Changed": shows one difference with the program's icon and location, and
// what its program file says of itself, and returns the user's answer.
#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/HostPayload.h"
#include "catalogue/SearchPath.h"
#include "catalogue/Startup.h"
#include "dialogs/win32/ProgramLookup.h"
#include "platform/Platform.h"
#include "shell/Placement.h"
#include "ui/Form.h"
#include "ui/FormPlacementWindow.h"

namespace korvalis::dialogs {

class TfrmChangeDlg : public ui::TForm {
 public:
  TfrmChangeDlg(HWND owner, const platform::Platform& platform, const catalogue::SearchPath& searchPath);
  ~TfrmChangeDlg() override;

  // Shows the entry modally; true only when the user answered Yes.
  // whileNotRunning: the change was made while Korvalis was not running, and the dialog says so.
  // before: what a changed entry was, shown after the rest.
  bool Confirm(const catalogue::TStartup& entry, catalogue::ChangeKind kind, bool whileNotRunning = false,
               const catalogue::TStartup* before = nullptr);
  // After a Yes: the signer the user chose to always allow for this entry; empty for none.
  const std::string& AlwaysAllowSigner() const { return alwaysAllow_; }

  void btnShowFolderClick();
  void btnShowOnlineInfoClick();
  void btnShowCommandClick();

 protected:
  void BuildControls() override;
  void FormCreate() override;
  void FormShow() override;
  bool FormCloseQuery() override;
  void FormDestroy() override;

 private:
  void ShowProgramFile(std::size_t index, const TProgramFile& file);
  void ShowFacts();
  std::string BeforeText(const platform::FileFacts* earlier, const platform::FileFacts* now) const;
  std::vector<std::string> LookUpBefore(std::vector<std::string> lookups);
  void GrowBands(bool factsGrown);
  // Offers "Always allow changes of this entry signed by ..." below the bands.
  void OfferAlwaysAllow(const std::string& signer);

  platform::Platform platform_;
  ui::TFormPlacementWindow placementWindow_{*this};
  shell::TFormStorage FormStorage;
  const catalogue::SearchPath& searchPath_;
  const catalogue::TStartup* entry_ = nullptr;
  HIMAGELIST ImageList1 = nullptr;  // the shell's, never destroyed here
  ui::UniqueIcon warningIcon_;
  ui::UniqueIcon folderGlyph_;
  ui::TImage* Image1 = nullptr;
  ui::TLabel* Label1 = nullptr;
  ui::TLabel* lblProgramTitle = nullptr;
  ui::TLabel* lblValue = nullptr;
  ui::TLabel* lblLocation = nullptr;
  ui::TLabel* lblAction = nullptr;
  ui::TButton* btnShowCommand = nullptr;
  ui::TLabel* lblProgramFacts = nullptr;
  ui::TLabel* lblBefore = nullptr;
  ui::TCheckBox* chkAlwaysAllow = nullptr;
  int bandsBottom_ = 0;        // where the last band ends, in the window
  std::string offeredSigner_;  // the valid signer the check box names, once the lookup found it
  std::string alwaysAllow_;
  // The icon and the program file's facts come once the question is on the screen.
  std::unique_ptr<TProgramLookup> programLookup_;
  // For a host such as powershell.exe: what it runs, the facts of its script or library file
  // (looked up second), and the host's own (looked up first, with the icon).
  catalogue::THostPayload payload_;
  std::optional<platform::FileFacts> hostFacts_, payloadFileFacts_;
  // A changed entry's earlier state: its payload, and the facts of its file where that is
  // another than the new command's (looked up last, as earlierIndex_).
  const catalogue::TStartup* before_ = nullptr;
  catalogue::THostPayload beforePayload_;
  std::optional<platform::FileFacts> earlierFacts_;
  std::size_t earlierIndex_ = 0;
};

}  // namespace korvalis::dialogs
