#pragma once

namespace korvalis::app {

// The three switches that steer the work.
struct TSwitches {
  bool Monitoring = false;    // the periodic check runs
  bool Notification = false;  // differences are put to the user; off: accepted silently
  bool Logs = false;          // a decision line is formed for each answered difference
};

}  // namespace korvalis::app
