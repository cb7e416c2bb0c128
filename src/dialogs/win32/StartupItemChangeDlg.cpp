#include "dialogs/win32/StartupItemChangeDlg.h"
#include "ui/CommonControls.h"

#include <commctrl.h>
#include <shellapi.h>

#include "catalogue/Sections.h"
#include "dialogs/ChangeWarning.h"
#include "dialogs/CommandText.h"
#include "dialogs/InfoLinks.h"
#include "dialogs/ProgramFacts.h"
#include "dialogs/win32/WholeCommandDlg.h"
#include "shell/ChangeDialogStorage.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

using namespace ui;

namespace {

const char* ActionText(catalogue::ChangeKind kind) {
  switch (kind) {
    case catalogue::ChangeKind::Added: return "has been added";
    case catalogue::ChangeKind::Removed: return "has been removed";
    case catalogue::ChangeKind::Changed: return "has been changed";
  }
  return "";
}

constexpr UINT_PTR kLookupTimerId = 1;
constexpr UINT kProgramFound = WM_APP + 1;
// The designed form, and below its legend a band for what the program file says of itself,
// grown for a host's payload, its file's facts and the host's, and one for what a changed entry
// was, with room for its file's facts in this many lines.
constexpr int kDesignedHeight = 309, kFactsBandHeight = 48, kPayloadBandExtra = 56, kBandGap = 4;
constexpr int kEarlierFactsLines = 3, kAlwaysAllowHeight = 24;

UniqueIcon LoadSmallIcon(const char* name) {
  return UniqueIcon(static_cast<HICON>(LoadImageA(Application().Handle(), name, IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
}

}  // namespace

TfrmChangeDlg::TfrmChangeDlg(HWND owner, const platform::Platform& platform, const catalogue::SearchPath& searchPath)
    : TForm(owner, TFormDesign{"Startup Programs Changed", 364, kDesignedHeight + kFactsBandHeight,
                               TBorderStyle::Dialog, TPosition::DesktopCenter}),
      platform_(platform),
      FormStorage(placementWindow_, platform_.registry,
                  [](const std::exception& error) { Application().HandleException(error); }),
      searchPath_(searchPath) {
  shell::SetUpChangeDialogStorage(FormStorage);
}

TfrmChangeDlg::~TfrmChangeDlg() { DestroyForm(); }

void TfrmChangeDlg::BuildControls() {
  warningIcon_ = LoadSmallIcon("WARNINGICON");
  folderGlyph_ = LoadSmallIcon("FOLDERICON");
  const TLabel::Options onWindow{false, false, TColor::Window, TColor::WindowText};
  const TLabel::Options boldOnWindow{true, false, TColor::Window, TColor::WindowText};

  Add<TShape>("Shape1", TBounds{8, 4, 353, 57}, TColor::InfoBk);
  Add<TImage>("Image2", TBounds{14, 16, 32, 32}, 16).SetIcon(warningIcon_.get());
  Add<TLabel>("Label3", TBounds{36, 12, 308, 39}, kChangeWarning,
              TLabel::Options{false, true, TColor::InfoBk, TColor::InfoText});
  Label1 = &Add<TLabel>("Label1", TBounds{8, 76, 0, 0}, "Would you allow the following", TLabel::Options{});
  Add<TShape>("Shape2", TBounds{0, 96, 365, 149}, TColor::Window);
  Image1 = &Add<TImage>("Image1", TBounds{8, 104, 32, 32}, 32);
  lblProgramTitle = &Add<TLabel>("lblProgramTitle", TBounds{48, 104, 0, 0}, "lblProgramTitle", boldOnWindow);
  lblValue = &Add<TLabel>("lblValue", TBounds{48, 124, 305, 37}, "lblValue",
                          TLabel::Options{true, true, TColor::Window, TColor::WindowText});
  lblLocation = &Add<TLabel>("lblLocation", TBounds{48, 168, 0, 0}, "lblLocation", onWindow);
  auto& showFolder =
      Add<TSpeedButton>("btnShowFolder", TBounds{328, 176, 27, 29}, folderGlyph_.get(), "Locate program ...");
  showFolder.OnClick = [this] { btnShowFolderClick(); };
  lblAction = &Add<TLabel>("lblAction", TBounds{8, 216, 0, 0}, "lblAction", TLabel::Options{});
  // The answer buttons come first in the tab order, as the panel holding them does.
  Add<TButton>("Button1", TBounds{4, 248, 75, 25}, "&Yes", mrYes);
  Add<TButton>("Button2", TBounds{88, 248, 75, 25}, "&No", mrNo);
  auto& onlineInfo = Add<TButton>("btnShowOnlineInfo", TBounds{216, 216, 141, 21}, "Show Online Information ...");
  onlineInfo.OnClick = [this] { btnShowOnlineInfoClick(); };
  Add<TLabel>("Label2", TBounds{4, 279, 357, 26},
              "Yes - Allow the changes\r\nNo - Restore to the original state, if its added it will be remove, so on.",
              TLabel::Options{false, true, TColor::InfoBk, TColor::InfoText});
  // Beyond the design: a long command is shown cut, and whole in a window of its own.
  btnShowCommand = &Add<TButton>("btnShowCommand", TBounds{48, 188, 141, 21}, "Show whole command ...");
  btnShowCommand->OnClick = [this] { btnShowCommandClick(); };
  // Beyond the design too: whether the program file is there, who signed it, whose product it is.
  lblProgramFacts = &Add<TLabel>("lblProgramFacts", TBounds{8, kDesignedHeight + 4, 349, 40}, kProgramFactsPending,
                                 TLabel::Options{false, true, TColor::BtnFace, TColor::WindowText});
  lblBefore = &Add<TLabel>("lblBefore", TBounds{8, kDesignedHeight + kFactsBandHeight, 349, 0}, "",
                           TLabel::Options{false, true, TColor::BtnFace, TColor::WindowText});
  // Shown only once the program is known to be validly signed, and only for that signer.
  chkAlwaysAllow = &Add<TCheckBox>("chkAlwaysAllow", TBounds{8, kDesignedHeight + kFactsBandHeight, 349, 17}, "");
  chkAlwaysAllow->SetVisible(false);
  programLookup_ = std::make_unique<TProgramLookup>(*this, kLookupTimerId, kProgramFound, platform_, searchPath_);
  programLookup_->OnFound = [this](std::size_t index, const TProgramFile& file) { ShowProgramFile(index, file); };
}

void TfrmChangeDlg::FormCreate() {
  SHFILEINFOA info{};
  ImageList1 = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX));
}

// The stored placement comes back before the dialog is shown and is kept when it closes, or
// when it is freed without closing because the program is ending.
void TfrmChangeDlg::FormShow() { FormStorage.BeforeFormShow(); }

bool TfrmChangeDlg::FormCloseQuery() {
  FormStorage.AfterFormCloseQuery(true, Handle() != nullptr);
  return true;
}

void TfrmChangeDlg::FormDestroy() {
  if (programLookup_) programLookup_->Stop();
  FormStorage.BeforeFormDestroy();
}

bool TfrmChangeDlg::Confirm(const catalogue::TStartup& entry, catalogue::ChangeKind kind, bool whileNotRunning,
                            const catalogue::TStartup* before) {
  entry_ = &entry;
  before_ = before;
  // Said where the question begins, so the rest of the dialog reads as it always does.
  if (whileNotRunning) Label1->SetCaption("While Korvalis was not running. Would you allow the following");
  // A caption ends at a NUL, and a name hidden behind one must still be seen whole.
  lblProgramTitle->SetCaption(text::VisibleText(entry.Name()));
  lblValue->SetCaption(ShownCommand(entry.Command()));
  btnShowCommand->SetVisible(CommandIsCut(entry.Command()) || (before && CommandIsCut(before->Command())));
  lblAction->SetCaption(ActionText(kind));
  lblLocation->SetCaption(std::string("in ") + catalogue::SectionName(entry.GetSection()));
  payload_ = catalogue::FindHostPayload(entry.Command());
  hostFacts_.reset();
  payloadFileFacts_.reset();
  std::vector<std::string> lookups{entry.ProgramFile()};
  const bool host = payload_.kind != catalogue::PayloadKind::None;
  if (host) {
    lookups = {payload_.program};
    if (!payload_.file.empty()) lookups.push_back(payload_.file);
  }
  lookups = LookUpBefore(std::move(lookups));
  // The line saying so stands above the program's facts, which keep their room.
  GrowBands(entry.DisabledInTaskManager() || host);
  ShowFacts();
  programLookup_->Start(std::move(lookups));
  const bool allowed = ShowModal() == mrYes;
  programLookup_->Stop();
  alwaysAllow_ = allowed && !offeredSigner_.empty() && chkAlwaysAllow->Checked() ? offeredSigner_ : std::string();
  return allowed;
}

// The first file looked up is the program's, the second a host's script or library, the last
// what a changed entry ran before.
void TfrmChangeDlg::ShowProgramFile(std::size_t index, const TProgramFile& file) {
  if (index > 0 && index == earlierIndex_) {
    earlierFacts_ = file.facts;
  } else if (index > 0) {
    payloadFileFacts_ = file.facts;
  } else {
    // Without an icon of its own the program shows the list's first.
    const int icon = file.iconIndex;
    if (ImageList1) Image1->SetOwnedIcon(UniqueIcon(ui::ImageListIcon(ImageList1, icon < 0 ? 0 : icon, ILD_NORMAL)));
    hostFacts_ = file.facts;
    // A rule never covers a host, whose payload decides, nor a program not validly signed.
    if (payload_.kind == catalogue::PayloadKind::None && file.facts.signature == platform::Signature::Valid &&
        !file.facts.signer.empty())
      OfferAlwaysAllow(file.facts.signer);
  }
  ShowFacts();
}

void TfrmChangeDlg::ShowFacts() {
  std::vector<std::string> facts{kProgramFactsPending};
  if (payload_.kind != catalogue::PayloadKind::None)
    facts = PayloadFactLines(payload_, payloadFileFacts_ ? &*payloadFileFacts_ : nullptr,
                             hostFacts_ ? &*hostFacts_ : nullptr);
  else if (hostFacts_)
    facts = ProgramFactLines(*hostFacts_);
  lblProgramFacts->SetCaption(Joined(EntryFactLines(*entry_, facts), "\r\n"));
  if (!before_) return;
  const std::optional<platform::FileFacts>& now = payload_.file.empty() ? hostFacts_ : payloadFileFacts_;
  const platform::FileFacts* earlier = earlierIndex_ > 0 && earlierFacts_ ? &*earlierFacts_ : nullptr;
  lblBefore->SetCaption(BeforeText(earlier, now ? &*now : nullptr));
}

std::string TfrmChangeDlg::BeforeText(const platform::FileFacts* earlier, const platform::FileFacts* now) const {
  return Joined(BeforeLines(*before_, beforePayload_, payload_, earlier, now), "\r\n");
}

// A changed entry's earlier file is looked up last, and only where it is another than the new
// command's: the same file says the same of itself.
std::vector<std::string> TfrmChangeDlg::LookUpBefore(std::vector<std::string> lookups) {
  earlierFacts_.reset();
  earlierIndex_ = 0;
  if (!before_) return lookups;
  beforePayload_ = catalogue::FindHostPayload(before_->Command());
  const std::string earlier = FactsFile(*before_, beforePayload_);
  if (text::SameTextAscii(earlier, FactsFile(*entry_, payload_))) return lookups;
  earlierIndex_ = lookups.size();
  lookups.push_back(earlier);
  return lookups;
}

// Done before the question is shown, so a stored place still comes back with the grown size.
void TfrmChangeDlg::GrowBands(bool factsGrown) {
  const int factsExtra = factsGrown ? ScaleY(kPayloadBandExtra) : 0;
  int beforeHeight = 0;
  if (before_) {
    beforeHeight = lblBefore->HeightFor(BeforeText(nullptr, nullptr));
    if (earlierIndex_ > 0) beforeHeight += kEarlierFactsLines * lblBefore->HeightFor("X");
  }
  const int extra = factsExtra + (before_ ? beforeHeight + ScaleY(kBandGap) : 0);
  bandsBottom_ = lblProgramFacts->ScaledRect().bottom + extra;
  if (extra == 0) return;
  RECT form{};
  GetWindowRect(Handle(), &form);
  SetWindowPos(Handle(), nullptr, form.left, form.top - extra / 2, form.right - form.left,
               form.bottom - form.top + extra, SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT facts = lblProgramFacts->ScaledRect();
  SetWindowPos(lblProgramFacts->Handle(), nullptr, facts.left, facts.top, facts.right - facts.left,
               facts.bottom - facts.top + factsExtra, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(lblBefore->Handle(), nullptr, facts.left, facts.bottom + factsExtra + ScaleY(kBandGap),
               facts.right - facts.left, beforeHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmChangeDlg::OfferAlwaysAllow(const std::string& signer) {
  if (!offeredSigner_.empty()) return;
  offeredSigner_ = signer;
  RECT form{};
  GetWindowRect(Handle(), &form);
  SetWindowPos(Handle(), nullptr, form.left, form.top, form.right - form.left,
               form.bottom - form.top + ScaleY(kAlwaysAllowHeight), SWP_NOZORDER | SWP_NOACTIVATE);
  // Below the bands, however far they have grown.
  const RECT box = chkAlwaysAllow->ScaledRect();
  SetWindowPos(chkAlwaysAllow->Handle(), nullptr, box.left, bandsBottom_ + ScaleY(kBandGap), box.right - box.left,
               box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
  chkAlwaysAllow->SetCaption("Always allow changes of this entry signed by " + text::VisibleText(signer));
  chkAlwaysAllow->SetVisible(true);
}

void TfrmChangeDlg::btnShowFolderClick() {
  if (!entry_) return;
  platform_.shell.Execute(reinterpret_cast<platform::WindowHandle>(Handle()), "open", "explorer.exe",
                          LocateFolderArgument(entry_->Command()), "", SW_SHOWNORMAL);
}

void TfrmChangeDlg::btnShowCommandClick() {
  if (!entry_) return;
  TfrmWholeCommand whole(Handle());
  whole.Create();
  whole.Show(entry_->Command(), before_ ? &before_->Command() : nullptr);
}

void TfrmChangeDlg::btnShowOnlineInfoClick() {
  if (!entry_) return;
  platform_.shell.Execute(reinterpret_cast<platform::WindowHandle>(Handle()), "open",
                          OnlineInfoAddress(entry_->Command(), entry_->Name()), "", "", SW_SHOWNORMAL);
}

}  // namespace korvalis::dialogs
