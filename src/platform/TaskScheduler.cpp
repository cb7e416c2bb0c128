#include "platform/TaskScheduler.h"

#include "text/EncodedText.h"

namespace korvalis::platform {

namespace {
constexpr std::uint32_t kReplacement = 0xFFFD;

// The next code point of UTF-8 text; a byte that starts no valid sequence stands for itself
// as U+FFFD, so every input advances.
std::uint32_t NextUtf8(const std::string& text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t first = byte(at);
  int length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3 : (first >> 3) == 30 ? 4 : 0;
  if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
    ++at;
    return length == 1 ? first : kReplacement;
  }
  std::uint32_t code = length == 1 ? first : first & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(at + static_cast<std::size_t>(i)) & 0xC0) != 0x80) {
      ++at;
      return kReplacement;
    }
    code = (code << 6) | (byte(at + static_cast<std::size_t>(i)) & 0x3F);
  }
  at += static_cast<std::size_t>(length);
  return code > 0x10FFFF || (code >= 0xD800 && code < 0xE000) ? kReplacement : code;
}
}  // namespace

std::string TaskFileText(const std::vector<std::uint8_t>& bytes) {
  const bool little = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool big = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (!little && !big) {
    const bool mark = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
    return std::string(bytes.begin() + (mark ? 3 : 0), bytes.end());
  }
  std::string text;
  const auto unit = [&](std::size_t i) -> std::uint32_t {
    return little ? bytes[i] | (bytes[i + 1] << 8) : (bytes[i] << 8) | bytes[i + 1];
  };
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = kReplacement;
    }
    text::AppendUtf8(text, code);
  }
  return text;
}

std::vector<std::uint8_t> TaskFileBytes(const std::string& xml) {
  std::vector<std::uint8_t> bytes{0xFF, 0xFE};
  const auto put = [&](std::uint32_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (std::size_t at = 0; at < xml.size();) {
    const std::uint32_t code = NextUtf8(xml, at);
    if (code >= 0x10000) {
      put(0xD800 + ((code - 0x10000) >> 10));
      put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      put(code);
    }
  }
  return bytes;
}

}  // namespace korvalis::platform
