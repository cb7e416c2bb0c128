#include "dialogs/CommandText.h"

#include "text/VisibleText.h"

namespace korvalis::dialogs {

namespace {

bool ContinuesCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The bytes of the UTF-8 character at the position: as many as its first byte says, of those
// that continue it; a byte that begins none stands alone.
std::size_t CharacterLength(const std::string& text, std::size_t at) {
  const auto first = static_cast<unsigned char>(text[at]);
  const std::size_t wanted = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  std::size_t length = 1;
  while (length < wanted && at + length < text.size() && ContinuesCharacter(text[at + length])) ++length;
  return length;
}

// U+061C, U+200E and U+200F, U+202A to U+202E, U+2066 to U+2069, as their UTF-8 bytes.
bool TurnsDirection(const std::string& character) {
  if (character == "\xD8\x9C") return true;
  if (character.size() != 3 || character[0] != '\xE2') return false;
  const auto second = static_cast<unsigned char>(character[1]), third = static_cast<unsigned char>(character[2]);
  if (second == 0x80) return third == 0x8E || third == 0x8F || (third >= 0xAA && third <= 0xAE);
  return second == 0x81 && third >= 0xA6 && third <= 0xA9;
}

std::string VisibleCharacter(const std::string& character) {
  if (!TurnsDirection(character)) return text::VisibleText(character);
  static const char kHex[] = "0123456789ABCDEF";
  const unsigned code = character.size() == 2 ? 0x061Cu
                                              : ((static_cast<unsigned char>(character[0]) & 0x0Fu) << 12) |
                                                    ((static_cast<unsigned char>(character[1]) & 0x3Fu) << 6) |
                                                    (static_cast<unsigned char>(character[2]) & 0x3Fu);
  std::string escape = "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) escape += kHex[(code >> shift) & 0x0F];
  return escape;
}

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

std::string ShownText(const std::string& text, std::size_t atMost) {
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = CharacterLength(text, at);
    const std::string piece = VisibleCharacter(text.substr(at, length));
    if (shown.size() + piece.size() > atMost) return shown + "...";
    shown += piece;
    at += length;
  }
  return shown;
}

}  // namespace korvalis::dialogs
