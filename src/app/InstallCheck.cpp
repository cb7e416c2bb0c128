#include "app/InstallCheck.h"

#include "platform/Error.h"
#include "text/VisibleText.h"

namespace korvalis::app {

namespace {

std::string Line(const platform::TChangeable& entry) {
  const std::string path = text::VisibleText(entry.path);
  if (entry.readError == platform::kErrorInvalidName) return path + ": not on a local drive, so it cannot be checked";
  if (entry.who.empty()) return path + FormatText(": its access list cannot be read (error %d)", entry.readError);
  std::string who;
  for (const platform::TPrincipal& principal : entry.who)
    who += (who.empty() ? "" : ", ") + text::VisibleText(principal.name);
  return path + ": " + who + " may change it";
}

}  // namespace

std::vector<std::string> InstallCheck(platform::Security& security, const std::string& programPath) {
  if (security.UserHoldsAdministratorRights()) return {};
  std::vector<std::string> lines;
  for (const platform::TChangeable& entry : platform::ChangeableEntries(security, programPath))
    lines.push_back(Line(entry));
  return lines;
}

std::string UndoNotOfferedText(const std::vector<std::string>& changeable) {
  std::string text =
      "Korvalis does not offer to undo this as administrator: a program running as you could change Korvalis's "
      "own program file here, and would then be run with administrator rights.\r\n";
  for (const std::string& line : changeable) text += "\r\n" + line;
  text +=
      "\r\n\r\nTo undo such changes, install Korvalis for all users: run its installer again and choose \"Install "
      "for all users\" (or run it with the switch /ALLUSERS).";
  return text;
}

}  // namespace korvalis::app
