#pragma once
// What the change monitor needs from the window that owns it.
#include <exception>
#include <string>

#include "catalogue/Sections.h"
#include "catalogue/Startup.h"

namespace korvalis::app {

class MonitorHost {
 public:
  virtual ~MonitorHost() = default;
  // Puts one difference to the user; true when the change is allowed.
  virtual bool AskUser(const catalogue::TStartup& entry, catalogue::ChangeKind kind) = 0;
  virtual void WriteLog(const std::string& line) = 0;
  // The application's central error report.
  virtual void ReportError(const std::exception& error) = 0;
};

}  // namespace korvalis::app
