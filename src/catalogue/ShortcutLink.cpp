#include "catalogue/ShortcutLink.h"

#include <cstdio>

#include "platform/Error.h"

namespace korvalis::catalogue {

using platform::HResult;
using platform::kS_OK;

namespace {

constexpr std::uint16_t kHotkeyCtrlAlt = 0x0600;

void Check(HResult result, const char* message) {
  if (result != kS_OK) throw Error(message);
}

std::string ComponentError(HResult result) {
  char code[16];
  std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result));
  return FormatText("The shell's link object is not available (error 0x%s)", std::string(code));
}

}  // namespace

void TShortcutLink::Read() {
  platform::CreatedLink created = shell_.CreateShellLink(true);
  if (created.result < 0 || !created.link) return;
  platform::ShellLinkObject& link = *created.link;
  if (link.Load(FileName) != kS_OK) throw Error("Unable to open link file");
  // No window may appear while a startup folder is read, whatever the shortcut points at.
  if (link.Resolve(platform::kSlrAnyMatch | platform::kSlrNoUi) != kS_OK) return;

  Check(link.GetWorkingDirectory(WorkingDir), "Error in getting WorkingDir");
  Check(link.GetPath(Target, platform::kSlgpUncPriority), "Error in getting Target");
  int iconIndex = 0;
  Check(link.GetIconLocation(IconLocation, iconIndex), "Error in getting icon data");
  IconIndex = static_cast<std::uint16_t>(iconIndex & 0xFFFF);
  Check(link.GetDescription(Description), "Error in get Description");
  int showCommand = 0;
  Check(link.GetShowCmd(showCommand), "Error in getting ShowCmd");
  ShowCmd = showCommand;
  std::uint16_t hotkey = 0;
  Check(link.GetHotkey(hotkey), "Error in geting HotKey");
  SetHotKeyText(hotkey == 0 ? std::string(" ") : std::string(1, static_cast<char>(hotkey & 0xFF)));
  Check(link.GetArguments(Arguments), "Error in getting Arguments");
}

void TShortcutLink::Save() {
  platform::CreatedLink created = shell_.CreateShellLink(false);
  if (created.result < 0 || !created.link) throw Error(ComponentError(created.result));
  platform::ShellLinkObject& link = *created.link;
  // A field the link object refused would leave a shortcut that starts something else.
  const auto set = [](platform::HResult result) {
    if (result < 0) throw Error("Unable to create .lnk file");
  };
  set(link.SetPath(Target));
  set(link.SetWorkingDirectory(WorkingDir));
  set(link.SetArguments(Arguments));
  set(link.SetDescription(Description));
  // A show command of 0 would start the program hidden; a link without one opens normally.
  set(link.SetShowCmd(ShowCmd == 0 ? platform::kSwShowNormal : ShowCmd));
  if (HotKey > 32) set(link.SetHotkey(static_cast<std::uint16_t>(HotKey | kHotkeyCtrlAlt)));
  set(link.SetIconLocation(IconLocation, static_cast<int>(IconIndex)));
  if (link.Save(FileName) != kS_OK) throw Error("Unable to create .lnk file");
}

std::string TShortcutLink::CommonStartupFolder() { return SpecialFolderPath(platform::kCsidlCommonStartup); }

std::string TShortcutLink::UserStartupFolder() { return SpecialFolderPath(platform::kCsidlStartup); }

std::string TShortcutLink::SpecialFolderPath(int csidl) { return shell_.SpecialFolderPath(csidl, OwnerWindow); }

void TShortcutLink::SetHotKeyText(const std::string& text) {
  char c = text.empty() ? ' ' : text[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const auto code = static_cast<unsigned char>(c);
  HotKey = code < 32 ? 32 : code;
}

void TShortcutLink::ClearFields() {
  const platform::WindowHandle owner = OwnerWindow;
  FileName.clear();
  Target.clear();
  WorkingDir.clear();
  Description.clear();
  Arguments.clear();
  IconLocation.clear();
  IconIndex = 0;
  HotKey = 0;
  ShowCmd = 0;
  OwnerWindow = owner;
}

}  // namespace korvalis::catalogue
