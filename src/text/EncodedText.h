#pragma once
// Text a command line carries encoded, as PowerShell's -EncodedCommand does (base64 of UTF-16LE).
// Bounded: a command of a million characters is checked whole but decoded only as far as shown.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace korvalis::text {

struct TDecoded {
  std::string bytes;       // the first bytes, at most as many as asked for
  std::size_t length = 0;  // how many bytes the whole text encodes
};

// Base64 as .NET reads it: white space is skipped, the rest is of the alphabet, at most two "="
// end it, and it comes in groups of four. Nothing when the text is not that.
std::optional<TDecoded> DecodeBase64(const std::string& text, std::size_t atMostBytes);

// Appends the code point in UTF-8.
void AppendUtf8(std::string& text, std::uint32_t code);

// UTF-16LE bytes as UTF-8; an unpaired surrogate, and an odd last byte, become U+FFFD.
std::string Utf16LeToUtf8(const std::string& bytes);

// Bytes as lower-case hex digits, "-" for none, so that no byte of them ends a field or a line;
// and back, nothing for any other spelling.
std::string Hex(const std::string& bytes);
std::optional<std::string> Unhex(const std::string& field);

}  // namespace korvalis::text
