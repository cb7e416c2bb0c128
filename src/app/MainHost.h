#pragma once
// What the resident program's logic needs from its hidden main window.
#include "app/MonitorHost.h"

namespace korvalis::app {

class MainHost {
 public:
  virtual ~MainHost() = default;
  // The check timer: on starts a full new interval.
  virtual void SetTimerEnabled(bool enabled) = 0;
  virtual bool AskUser(const catalogue::TStartup& entry, catalogue::ChangeKind kind) = 0;
  virtual void ReportError(const std::exception& error) = 0;
};

}  // namespace korvalis::app
