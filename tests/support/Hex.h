#pragma once
// Digests in the lower-case hex that published test vectors use.
#include <string>

namespace korvalis::test {

inline std::string Hex(const std::string& raw) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char c : raw) hex += std::string{digits[c >> 4], digits[c & 15]};
  return hex;
}

}  // namespace korvalis::test
