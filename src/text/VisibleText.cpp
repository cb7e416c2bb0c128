#include "text/VisibleText.h"

namespace korvalis::text {

namespace {

const char kHex[] = "0123456789ABCDEF";

bool ContinuesCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The code point of a direction mark at the position, or 0 for any other character.
unsigned DirectionMark(const std::string& text, std::size_t at, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  if (length == 2 && byte(0) == 0xD8 && byte(1) == 0x9C) return 0x061C;
  if (length != 3 || byte(0) != 0xE2) return 0;
  const unsigned code = 0x2000u | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
  const bool marks = code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
                     (code >= 0x2066 && code <= 0x2069);
  return marks ? code : 0;
}

void AppendByte(std::string& shown, unsigned char byte) {
  if (byte >= 32) {
    shown += static_cast<char>(byte);
  } else if (byte == 0) {
    shown += "\\0";
  } else {
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0x0F];
  }
}

}  // namespace

std::size_t CharacterLength(const std::string& text, std::size_t at) {
  const auto first = static_cast<unsigned char>(text[at]);
  const std::size_t wanted = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  std::size_t length = 1;
  while (length < wanted && at + length < text.size() && ContinuesCharacter(text[at + length])) ++length;
  return length;
}

std::string VisibleText(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = CharacterLength(text, at);
    if (const unsigned mark = DirectionMark(text, at, length)) {
      shown += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) shown += kHex[(mark >> shift) & 0x0F];
    } else {
      for (std::size_t i = 0; i < length; ++i) AppendByte(shown, static_cast<unsigned char>(text[at + i]));
    }
    at += length;
  }
  return shown;
}

}  // namespace korvalis::text
