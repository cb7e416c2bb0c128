#pragma once
// A command line's arguments as a program's C runtime splits them: blanks separate them outside
// double quotes, and backslashes count only before a quote. Each keeps where it stands in the
// line, for a host that takes the rest of the line as written.
#include <cstddef>
#include <string>

namespace korvalis::catalogue {

struct TArgument {
  std::string text;       // without its quotes
  std::size_t begin = 0;  // where it begins in the line, as written
};

class TArguments {
 public:
  // The line must outlive the reader.
  TArguments(const std::string& line, std::size_t from) : line_(line), at_(from) {}
  // The next argument; false at the end of the line.
  bool Next(TArgument& argument);
  // The line from the next argument on, as written, without the blanks before it.
  std::string Rest() const;
  // The line from position on, as written, without surrounding blanks.
  std::string From(std::size_t position) const;

 private:
  void SkipBlanks();
  const std::string& line_;
  std::size_t at_;
};

}  // namespace korvalis::catalogue
