#include "dialogs/CommandText.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

namespace {
bool ContinuesCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }
}  // namespace

std::string ShownCommand(const std::string& command) {
  // Made visible byte by byte, so that only what is shown is ever looked at and no escape
  // such as \x0A is cut in two.
  std::string shown;
  std::size_t used = 0;
  for (; used < command.size(); ++used) {
    const std::string piece = text::VisibleText(command.substr(used, 1));
    if (shown.size() + piece.size() > kShownCommandAtMost) break;
    shown += piece;
  }
  if (used == command.size()) return shown;
  // Bytes of a character go on as themselves, one for one.
  for (; used > 0 && ContinuesCharacter(command[used]); --used) shown.pop_back();
  return shown + "...";
}

bool CommandIsCut(const std::string& command) { return text::VisibleText(command).size() > kShownCommandAtMost; }

}  // namespace korvalis::dialogs
