#pragma once
// What the change monitor needs from the window that owns it, and from the guard around it.
#include <exception>
#include <string>
#include <vector>

#include "app/Decisions.h"
#include "catalogue/Sections.h"
#include "catalogue/Startup.h"
#include "platform/Error.h"
#include "platform/Shell.h"

namespace korvalis::app {

struct TChangeQuestion {
  const catalogue::TStartup* entry;
  catalogue::ChangeKind kind;
  // What a changed entry was, so the user sees the change and not only its end; none for an
  // addition or a removal.
  const catalogue::TStartup* before = nullptr;
};

// The changes asked one after the other, for a host without a question of its own for many.
template <class Host>
std::vector<bool> AskOneByOne(Host& host, const std::vector<TChangeQuestion>& changes, bool whileNotRunning) {
  std::vector<bool> answers;
  for (const TChangeQuestion& change : changes) answers.push_back(host.AskUser(change, whileNotRunning));
  return answers;
}

// What the guard needs from the window that asks its questions: the questions, the notices beside
// the tray icon, the owner of the system's prompt, and a report of what went wrong.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Puts one difference to the user; true when the change is allowed. whileNotRunning: it was
  // made while the program was not running.
  virtual bool AskUser(const TChangeQuestion& question, bool whileNotRunning) = 0;
  // The differences of one check, too many to ask one by one, in one question; one answer each.
  virtual std::vector<bool> AskUserAll(const std::vector<TChangeQuestion>& changes, bool whileNotRunning) {
    return AskOneByOne(*this, changes, whileNotRunning);
  }
  // The program is ending: every question now ends as No, and that No is not the user's.
  virtual bool Closing() const { return false; }
  // A second question before an undo that may do harm, naming the harm; true only for a Yes.
  virtual bool ConfirmRisk(const std::string& question) {
    (void)question;
    return false;
  }
  // A short notice beside the tray icon, such as a refused entry undone again.
  virtual void Notify(const std::string& text) { (void)text; }
  // Write-backs the system refused for lack of rights, one message each naming its entry; true
  // when the user asks for them to be undone as administrator. A host without the offer reports
  // each message.
  virtual bool OfferUndoAsAdministrator(const std::vector<std::string>& messages) {
    for (const std::string& message : messages) ReportError(Error(message));
    return false;
  }
  // The window the system's prompt for administrator rights belongs to.
  virtual platform::WindowHandle OwnerWindow() const { return 0; }
  // After a Yes to one question: the signer the user chose to always allow for that entry
  // ("Always allow changes of this entry signed by ..."); empty for none.
  virtual std::string TakeAlwaysAllow() { return std::string(); }
  // The application's central error report.
  virtual void ReportError(const std::exception& error) = 0;
};

// What the change monitor needs besides: where its decisions, its log and the failures of its
// undos go.
class MonitorHost : public WindowHost {
 public:
  // The user allowed another program's change of one of Korvalis's own switches.
  virtual void SettingAllowed(const std::string& valueName) { (void)valueName; }
  // One decision about an entry, for the records of the Application event log; detail: the
  // system's message of a failure, empty otherwise.
  virtual void Record(TDecision decision, const TRecordedEntry& entry, const std::string& detail) {
    (void)decision;
    (void)entry;
    (void)detail;
  }
  // A refused change that could not be put back, named by its entry as the user saw it.
  virtual void ReportUndoFailed(const TRecordedEntry& entry, const std::exception& error) {
    (void)entry;
    ReportError(error);
  }
  // The same write-backs as OfferUndoAsAdministrator's where the program may not run elevated:
  // their messages and why, said instead of the offer.
  virtual void UndoNotOffered(const std::vector<std::string>& messages, const std::string& why) {
    for (const std::string& message : messages) ReportError(Error(message));
    ReportError(Error(why));
  }
  virtual void WriteLog(const std::string& line) = 0;
};

}  // namespace korvalis::app
