#include "text/VisibleText.h"

namespace korvalis::text {

std::string VisibleText(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32) {
      shown += c;
    } else if (byte == 0) {
      shown += "\\0";
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0x0F];
    }
  }
  return shown;
}

}  // namespace korvalis::text
