#include "shell/ScrambleText.h"

namespace korvalis::shell {

namespace {

unsigned KeyCode(const std::string& key, std::size_t position) {
  return key.empty() ? 0u : static_cast<unsigned char>(key[position % key.size()]);
}

int HexDigit(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

unsigned PairValue(char high, char low) {
  const int h = HexDigit(high);
  const int l = HexDigit(low);
  return h < 0 || l < 0 ? 32u : static_cast<unsigned>(h * 16 + l);
}

}  // namespace

std::string ScrambleText(const std::string& key, const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string result;
  result.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned code = (static_cast<unsigned char>(text[i]) ^ KeyCode(key, i)) & 0xFFu;
    result += kDigits[code >> 4];
    result += kDigits[code & 0x0Fu];
  }
  return result;
}

std::string UnscrambleText(const std::string& key, const std::string& text) {
  std::string result;
  result.reserve(text.size() / 2);
  for (std::size_t i = 0; 2 * i + 1 < text.size(); ++i) {
    const unsigned code = PairValue(text[2 * i], text[2 * i + 1]) ^ KeyCode(key, i);
    result += static_cast<char>(code & 0xFFu);
  }
  return result;
}

}  // namespace korvalis::shell
