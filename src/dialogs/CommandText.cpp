#include "dialogs/CommandText.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

std::string ShownCommand(const std::string& command) { return ShownText(command, kShownCommandAtMost); }

bool CommandIsCut(const std::string& command) { return text::VisibleText(command).size() > kShownCommandAtMost; }

std::string ShownText(const std::string& text, std::size_t atMost) {
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    // Made visible a character at a time, so that no escape such as \x0A is cut in two.
    const std::size_t length = text::CharacterLength(text, at);
    const std::string piece = text::VisibleText(text.substr(at, length));
    if (shown.size() + piece.size() > atMost) return shown + "...";
    shown += piece;
    at += length;
  }
  return shown;
}

}  // namespace korvalis::dialogs
