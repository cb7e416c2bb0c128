#include "catalogue/CommandArguments.h"

#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

void TArguments::SkipBlanks() {
  while (at_ < line_.size() && IsBlank(line_[at_])) ++at_;
}

bool TArguments::Next(TArgument& argument) {
  SkipBlanks();
  if (at_ >= line_.size()) return false;
  argument.text.clear();
  argument.begin = at_;
  bool quoted = false;
  while (at_ < line_.size() && (quoted || !IsBlank(line_[at_]))) {
    const char c = line_[at_];
    if (c == '\\') {
      std::size_t run = 0;
      while (at_ + run < line_.size() && line_[at_ + run] == '\\') ++run;
      const bool beforeQuote = at_ + run < line_.size() && line_[at_ + run] == '"';
      // Before a quote each pair is one backslash and an odd one makes the quote literal.
      argument.text.append(beforeQuote ? run / 2 : run, '\\');
      at_ += run;
      if (beforeQuote && run % 2 == 1) {
        argument.text += '"';
        ++at_;
      }
    } else if (c == '"') {
      if (quoted && at_ + 1 < line_.size() && line_[at_ + 1] == '"') {
        argument.text += '"';
        ++at_;
      } else {
        quoted = !quoted;
      }
      ++at_;
    } else {
      argument.text += c;
      ++at_;
    }
  }
  return true;
}

std::string TArguments::Rest() const {
  std::size_t from = at_;
  while (from < line_.size() && IsBlank(line_[from])) ++from;
  return line_.substr(from);
}

std::string TArguments::From(std::size_t position) const {
  return position >= line_.size() ? std::string() : text::TrimControl(line_.substr(position));
}

}  // namespace korvalis::catalogue
