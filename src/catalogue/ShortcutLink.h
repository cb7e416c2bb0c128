#pragma once
// Reads and creates shortcut files through the shell's link object, and names the two
// startup folders. A plain record of link fields; no connection to the shell is kept.
#include <cstdint>
#include <string>

#include "platform/Shell.h"

namespace korvalis::catalogue {

class TShortcutLink {
 public:
  explicit TShortcutLink(platform::Shell& shell) : shell_(shell) {}

  std::string FileName;
  std::string Target;
  std::string WorkingDir;
  std::string Description;
  std::string Arguments;
  std::string IconLocation;
  std::uint16_t IconIndex = 0;
  // The hot key's character code: 32 (a blank) for none after Read, 0 on a new object.
  std::uint16_t HotKey = 0;
  std::int32_t ShowCmd = 0;
  platform::WindowHandle OwnerWindow = 0;

  // Loads FileName and fills the fields. Fails with "Unable to open link file" or the message
  // of the field that could not be fetched.
  void Read();
  // Creates FileName from the fields, replacing it. Fails with "Unable to create .lnk file".
  void Save();
  std::string CommonStartupFolder();
  std::string UserStartupFolder();
  // Empty text when the shell cannot name the folder.
  std::string SpecialFolderPath(int csidl);
  // The first character of the text, upper-cased; a blank for none or a control character.
  void SetHotKeyText(const std::string& text);
  // Back to the fields of a new object (the owner window stays).
  void ClearFields();

 private:
  platform::Shell& shell_;
};

}  // namespace korvalis::catalogue
