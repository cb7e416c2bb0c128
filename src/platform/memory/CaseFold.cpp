#include "platform/memory/CaseFold.h"

namespace korvalis::platform::memory {

namespace {
char FoldChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = FoldChar(c);
  return folded;
}

// Called for every value of a key on each lookup, with names up to 16,383 characters long: no
// copies.
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

}  // namespace korvalis::platform::memory
