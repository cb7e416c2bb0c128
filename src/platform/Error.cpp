#include "platform/Error.h"

#include "text/VisibleText.h"

namespace korvalis {

namespace {
std::string Substitute(const std::string& pattern, const std::string& argument, const char* marker) {
  const auto at = pattern.find(marker);
  if (at == std::string::npos) return pattern;
  return pattern.substr(0, at) + argument + pattern.substr(at + 2);
}
}  // namespace

InvalidDataTypeError::InvalidDataTypeError(const std::string& valueName)
    : Error(FormatText("Invalid data type for '%s'", valueName)), valueName_(valueName) {}

std::string FormatText(const std::string& pattern, const std::string& argument) {
  // A value's name may hold a NUL: the message must name all of it, and show it.
  return Substitute(pattern, text::VisibleText(argument), "%s");
}

std::string FormatText(const std::string& pattern, long long argument) {
  return Substitute(pattern, std::to_string(argument), "%d");
}

std::string ErrorReportText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace korvalis
