#pragma once
// Errors are exceptions carrying the text the user is shown.
#include <stdexcept>
#include <string>

namespace korvalis {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A registry value whose type is not a string: the reader names it so the caller can
// skip that one value and go on with the others.
class InvalidDataTypeError : public Error {
 public:
  explicit InvalidDataTypeError(const std::string& valueName);
  const std::string& ValueName() const { return valueName_; }

 private:
  std::string valueName_;
};

// A change the system refused for lack of rights: an administrator could still carry it out.
class RightsMissingError : public Error {
 public:
  using Error::Error;
};

// Runs an action at a boundary no exception may cross (a window procedure, a callback of the
// system) and hands whatever it throws to report, as an exception whose text can be shown.
template <typename Action, typename Report>
void CatchAtBoundary(Action&& action, Report&& report) {
  try {
    action();
  } catch (const std::exception& error) {
    report(error);
  } catch (...) {
    report(Error("Unexpected error"));
  }
}

// Puts the argument in place of the first "%s" or "%d" of a message pattern; a text argument in
// its visible form (text/VisibleText.h).
std::string FormatText(const std::string& pattern, const std::string& argument);
std::string FormatText(const std::string& pattern, long long argument);

// The text the central error report shows: the message, with a full stop added when its last
// character sorts after the full stop.
std::string ErrorReportText(const std::string& message);

}  // namespace korvalis
