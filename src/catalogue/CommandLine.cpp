#include "catalogue/CommandLine.h"

#include <algorithm>

#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

enum class Quoting { Outside, Double, Single };
enum class TokenEnd { None, Blank, Comma, ClosingQuote };

// Whether text[start, end) has a program extension. The extension runs from the token's last "."
// and is none when a "\\" or ":" follows that ".", so ".EXE", ".BAT" and ".COM" are exactly the
// tokens ending in those four characters. Judged in place: a token that is not a program keeps
// growing, and copying it at every separator made long commands cost quadratic time.
bool HasProgramExtension(const std::string& text, std::size_t start, std::size_t end) {
  if (end < start + 4) return false;
  const std::string extension = text::UpperAscii(text.substr(end - 4, 4));
  return extension == ".EXE" || extension == ".BAT" || extension == ".COM";
}

// An opening quote moves the token start past itself.
void Enter(Quoting quoting, Quoting& state, std::size_t& tokenStart) {
  state = quoting;
  ++tokenStart;
}

TokenEnd Scan(char c, Quoting& state, std::size_t& tokenStart) {
  switch (state) {
    case Quoting::Outside:
      if (c == ' ') return TokenEnd::Blank;
      if (c == ',') return TokenEnd::Comma;
      if (c == '"') Enter(Quoting::Double, state, tokenStart);
      if (c == '\'') Enter(Quoting::Single, state, tokenStart);
      return TokenEnd::None;
    case Quoting::Double:
      if (c == '"') return TokenEnd::ClosingQuote;
      if (c == '\'') Enter(Quoting::Single, state, tokenStart);
      return TokenEnd::None;
    case Quoting::Single:
      if (c == '\'') return TokenEnd::ClosingQuote;
      if (c == '"') Enter(Quoting::Double, state, tokenStart);
      return TokenEnd::None;
  }
  return TokenEnd::None;
}

}  // namespace

void ExtractProgram(const std::string& text, std::string& programFile) {
  Quoting state = Quoting::Outside;
  std::size_t tokenStart = 0;  // 0-based here
  bool rundll = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const TokenEnd end = Scan(text[i], state, tokenStart);
    if (end == TokenEnd::None) continue;
    const std::size_t tokenEnd = std::max(tokenStart, i);
    state = Quoting::Outside;
    if (!rundll && !HasProgramExtension(text, tokenStart, tokenEnd)) continue;  // the token may still grow
    const std::string token = text.substr(tokenStart, tokenEnd - tokenStart);
    if (rundll && (end == TokenEnd::Blank || end == TokenEnd::ClosingQuote)) {
      tokenStart = i + 1;
    } else if (text::UpperAscii(token) == "RUNDLL32.EXE") {
      rundll = true;
      tokenStart = i + 1;
    } else {
      programFile = token;
      break;
    }
  }
  if (programFile.empty()) programFile = text;
}

void DeriveProgramFile(const std::string& command, std::string& programFile) {
  ExtractProgram(command, programFile);
  if (text::UpperAscii(command).find("RUNDLL32.EXE") != std::string::npos)
    ExtractProgram(text::ReplaceAll(programFile, ",", " "), programFile);
}

namespace {
// Position (0-based) of the last "." at or after the second character; npos when none.
std::size_t LastDotFromSecond(const std::string& command) {
  const auto dot = command.find_last_of('.');
  return (dot == std::string::npos || dot == 0) ? std::string::npos : dot;
}
}  // namespace

std::string CommandProgram(const std::string& command) {
  if (command.empty()) return std::string();
  if (command[0] == '"') {
    const auto closing = command.find('"', 1);
    return closing == std::string::npos ? std::string() : command.substr(1, closing - 1);
  }
  const auto dot = LastDotFromSecond(command);
  if (dot == std::string::npos) return std::string();
  const auto blank = command.find(' ', dot + 1);
  return blank == std::string::npos ? command : command.substr(0, blank);
}

std::string CommandParams(const std::string& command) {
  if (command.empty()) return std::string();
  if (command[0] == '"') {
    const auto closing = command.find('"', 1);
    return closing == std::string::npos ? std::string() : command.substr(closing + 1);
  }
  const auto dot = LastDotFromSecond(command);
  if (dot == std::string::npos) return std::string();
  const auto blank = command.find(' ', dot + 1);
  return blank == std::string::npos ? std::string() : command.substr(blank + 1);
}

}  // namespace korvalis::catalogue
