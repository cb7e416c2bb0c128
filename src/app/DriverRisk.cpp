#include "app/DriverRisk.h"

#include "platform/Error.h"
#include "text/VisibleText.h"

namespace korvalis::app {

std::string DriverRiskQuestion(const std::vector<TDifference>& drivers) {
  if (drivers.size() == 1) {
    const std::string name = text::VisibleText(drivers.front().now->Name());
    if (drivers.front().kind == catalogue::ChangeKind::Added)
      return FormatText("Disabling the driver %s may keep Windows from starting. Disable it anyway?", name);
    return FormatText("Putting the driver %s back as it was may keep Windows from starting. Put it back anyway?", name);
  }
  // As many names as a message box shows; a flood of them needs no more to be told apart.
  constexpr std::size_t kNamed = 20;
  std::string names;
  for (std::size_t i = 0; i < drivers.size() && i < kNamed; ++i)
    names += "\r\n" + text::VisibleText(drivers[i].now->Name()) + "  " + text::VisibleText(drivers[i].now->Command());
  if (drivers.size() > kNamed) names += "\r\n... and " + std::to_string(drivers.size() - kNamed) + " more";
  return "Undoing the changes to these drivers may keep Windows from starting:\r\n" + names +
         "\r\n\r\nUndo them anyway?";
}

}  // namespace korvalis::app
