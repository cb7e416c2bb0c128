#include "text/StrMan.h"

namespace korvalis::text {

std::size_t PosFrom(std::size_t start, const std::string& text, const std::string& search) {
  if (search.empty() || start == 0 || start > text.size()) return 0;
  const auto found = text.find(search, start - 1);
  return found == std::string::npos ? 0 : found + 1;
}

std::string TextBetween(const std::string& text, const std::string& startMarker, const std::string& endMarker) {
  std::size_t from = 1;  // first character of the result
  if (!startMarker.empty()) {
    const std::size_t at = PosFrom(1, text, startMarker);
    if (at == 0) return std::string();
    from = at + startMarker.size();
  }
  std::size_t to = text.size() + 1;  // first character after the result
  if (!endMarker.empty()) {
    const std::size_t at = PosFrom(from, text, endMarker);
    if (at != 0) to = at;
  }
  if (from >= to) return std::string();
  return text.substr(from - 1, to - from);
}

std::string ReplaceAt(const std::string& text, const std::string& newText, std::size_t position, std::size_t count) {
  if (position == 0 || position > text.size() + 1) return text;
  std::string result = text;
  result.replace(position - 1, count, newText);
  return result;
}

std::string ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement) {
  std::string result = text;
  std::size_t at = PosFrom(1, result, search);
  while (at != 0) {
    result = ReplaceAt(result, replacement, at, search.size());
    at = PosFrom(at + replacement.size(), result, search);
  }
  return result;
}

Token NextToken(const std::string& text, char delimiter) {
  Token out;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      if (i == 0) {
        quoted = true;
      } else if (quoted) {
        if (!out.token.empty()) {
          out.rest = text.substr(i + 1);
          return out;
        }
        quoted = false;
      }
      continue;  // any other double quote is dropped
    }
    if (c == delimiter) {
      out.rest = text.substr(i + 1);
      return out;
    }
    out.token += c;
  }
  return out;
}

void SplitToList(std::vector<std::string>& list, const std::string& text, char delimiter) {
  std::string remaining = text;
  while (!remaining.empty()) {
    Token next = NextToken(remaining, delimiter);
    list.push_back(TrimControl(next.token));
    remaining = std::move(next.rest);
  }
}

std::vector<std::string> SplitExactly(const std::string& text, char delimiter) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto cut = text.find(delimiter, start);
    parts.push_back(text.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
    if (cut == std::string::npos) return parts;
    start = cut + 1;
  }
}

bool ClimbsOrIsEmpty(const std::string& path) {
  for (const std::string& segment : SplitExactly(path, '\\'))
    if (segment.empty() || segment == "." || segment == "..") return true;
  return false;
}

std::string TrimControl(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}

std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace korvalis::text
