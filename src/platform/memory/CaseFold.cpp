#include "platform/memory/CaseFold.h"

namespace korvalis::platform::memory {

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return folded;
}

bool SameName(const std::string& a, const std::string& b) { return FoldCase(a) == FoldCase(b); }

}  // namespace korvalis::platform::memory
