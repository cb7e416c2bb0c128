#pragma once
// What the resident program's logic needs from its hidden main window.
#include <chrono>
#include <string>
#include <vector>

#include "app/MonitorHost.h"
#include "platform/Error.h"
#include "platform/Shell.h"

namespace korvalis::app {

class MainHost {
 public:
  virtual ~MainHost() = default;
  // The check timer, left with the once-a-minute safety read: on starts a full new interval.
  virtual void SetTimerEnabled(bool enabled) = 0;
  // A check as soon as the message loop is free again, as if a change had been seen.
  virtual void CheckSoon() {}
  // A check once the wait is over, for a change waiting for its place to be quiet; replaces the
  // wait asked before, and switching the timer off drops it.
  virtual void CheckAfter(std::chrono::milliseconds wait) { (void)wait; }
  virtual bool AskUser(const TChangeQuestion& question, bool whileNotRunning) = 0;
  virtual std::vector<bool> AskUserAll(const std::vector<TChangeQuestion>& changes, bool whileNotRunning) {
    return AskOneByOne(*this, changes, whileNotRunning);
  }
  virtual void Notify(const std::string& text) { (void)text; }
  // The program is ending: every question now ends as No, and that No is not the user's.
  virtual bool Closing() const { return false; }
  // After a Yes to one question: the signer ticked to be always allowed for it; empty for none.
  virtual std::string TakeAlwaysAllow() { return std::string(); }
  virtual bool ConfirmRisk(const std::string& question) {
    (void)question;
    return false;
  }
  virtual bool OfferUndoAsAdministrator(const std::vector<std::string>& messages) {
    for (const std::string& message : messages) ReportError(Error(message));
    return false;
  }
  // The window the system's prompt for administrator rights belongs to.
  virtual platform::WindowHandle OwnerWindow() const { return 0; }
  virtual void ReportError(const std::exception& error) = 0;
};

}  // namespace korvalis::app
