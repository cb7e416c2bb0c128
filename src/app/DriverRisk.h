#pragma once
// The second question before a boot or system driver is undone: it names the drivers and the
// harm, since Windows may not start without one of them.
#include <string>
#include <vector>

#include "app/CompareSection.h"

namespace korvalis::app {

// For additions and changes of drivers (each difference has its fresh entry).
std::string DriverRiskQuestion(const std::vector<TDifference>& drivers);

}  // namespace korvalis::app
