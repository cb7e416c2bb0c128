#pragma once
// What the resident program's logic needs from its hidden main window: the window's questions,
// and the check timer.
#include <chrono>

#include "app/MonitorHost.h"

namespace korvalis::app {

class MainHost : public WindowHost {
 public:
  // The check timer, left with the once-a-minute safety read: on starts a full new interval.
  virtual void SetTimerEnabled(bool enabled) = 0;
  // A check as soon as the message loop is free again, as if a change had been seen.
  virtual void CheckSoon() {}
  // A check once the wait is over, for a change waiting for its place to be quiet; replaces the
  // wait asked before, and switching the timer off drops it.
  virtual void CheckAfter(std::chrono::milliseconds wait) { (void)wait; }
};

}  // namespace korvalis::app
