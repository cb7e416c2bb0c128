#pragma once

namespace korvalis::app {

// The three switches that steer the work.
struct TSwitches {
  bool Monitoring = false;    // the periodic check runs
  bool Notification = false;  // differences are put to the user; off: accepted silently
  bool Logs = false;          // a decision line is formed for each answered difference
  // Besides the six registry sections: the other registry view, the startup folders and the
  // further logon places. Read at start (on unless turned off), never written.
  bool AllPlaces = false;
  // A program's update by the same publisher is asked like any change, not told.
  bool AskUpdates = false;
};

}  // namespace korvalis::app
