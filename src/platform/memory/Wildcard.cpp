#include "platform/memory/Wildcard.h"

#include "text/StrMan.h"

namespace korvalis::platform::memory {

namespace {
bool Match(const std::string& mask, std::size_t m, const std::string& name, std::size_t n) {
  while (m < mask.size()) {
    if (mask[m] == '*') {
      for (std::size_t k = n; k <= name.size(); ++k)
        if (Match(mask, m + 1, name, k)) return true;
      return false;
    }
    if (n >= name.size()) return false;
    if (mask[m] != '?' && mask[m] != name[n]) return false;
    ++m;
    ++n;
  }
  return n == name.size();
}
}  // namespace

bool MatchesWildcard(const std::string& mask, const std::string& name) {
  if (mask == "*.*" || mask == "*") return true;
  return Match(text::UpperAscii(mask), 0, text::UpperAscii(name), 0);
}

}  // namespace korvalis::platform::memory
