#include "text/EncodedText.h"

#include <cstdint>

namespace korvalis::text {

namespace {

int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void AppendGroup(std::string& bytes, std::uint32_t group, int count, std::size_t atMost) {
  for (int i = 0; i < count && bytes.size() < atMost; ++i)
    bytes += static_cast<char>((group >> (16 - 8 * i)) & 0xFF);
}

constexpr std::uint32_t kReplacement = 0xFFFD;

}  // namespace

std::optional<TDecoded> DecodeBase64(const std::string& text, std::size_t atMostBytes) {
  TDecoded decoded;
  std::uint32_t group = 0;
  int inGroup = 0, padding = 0;
  std::size_t count = 0;
  for (const char c : text) {
    if (IsBlank(c)) continue;
    ++count;
    if (c == '=') {
      if (++padding > 2) return std::nullopt;
      continue;
    }
    const int value = Sextet(c);
    if (value < 0 || padding > 0) return std::nullopt;
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++inGroup < 4) continue;
    AppendGroup(decoded.bytes, group, 3, atMostBytes);
    decoded.length += 3;
    group = 0;
    inGroup = 0;
  }
  if (count % 4 != 0) return std::nullopt;
  if (padding > 0) {
    // Two sextets make one byte, three make two; the padding fills the group.
    group <<= 6 * padding;
    AppendGroup(decoded.bytes, group, inGroup - 1, atMostBytes);
    decoded.length += static_cast<std::size_t>(inGroup - 1);
  }
  return decoded;
}

void AppendUtf8(std::string& text, std::uint32_t code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Utf16LeToUtf8(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  const auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const std::uint32_t first = unit(i);
    if (first >= 0xD800 && first < 0xDC00 && i + 3 < bytes.size()) {
      const std::uint32_t second = unit(i + 2);
      if (second >= 0xDC00 && second < 0xE000) {
        AppendUtf8(text, 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(text, first >= 0xD800 && first < 0xE000 ? kReplacement : first);
  }
  if (i < bytes.size()) AppendUtf8(text, kReplacement);
  return text;
}

std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::optional<std::string> Unhex(const std::string& field) {
  if (field == "-") return std::string();
  if (field.empty() || field.size() % 2 != 0) return std::nullopt;
  const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  std::string bytes;
  bytes.reserve(field.size() / 2);
  for (std::size_t i = 0; i < field.size(); i += 2) {
    const int high = digit(field[i]), low = digit(field[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

}  // namespace korvalis::text
