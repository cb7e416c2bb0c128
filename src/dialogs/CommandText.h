#pragma once
// A command as a question shows it: a million characters in a wrapping label took seconds to
// lay out, so a long one is cut to what the label can hold.
#include <cstddef>
#include <string>

namespace korvalis::dialogs {

// More visible characters than this are cut; the label holds about three hundred.
constexpr std::size_t kShownCommandAtMost = 300;

// The command's visible form (text/VisibleText), cut to at most kShownCommandAtMost bytes
// (never inside a UTF-8 character or an escape) and ended with "..." when it is longer.
std::string ShownCommand(const std::string& command);

// Whether ShownCommand leaves out part of the command, which is then worth showing whole.
bool CommandIsCut(const std::string& command);

// Text a program chose, as a question shows it beside its own words: control characters as
// text/VisibleText spells them, the marks that turn the direction of what follows as \u202E
// (they could make the text read as something else), cut to at most atMost bytes, never inside
// a character or an escape, and ended with "..." when it is longer.
std::string ShownText(const std::string& text, std::size_t atMost);

}  // namespace korvalis::dialogs
