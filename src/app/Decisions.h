#pragma once
// The decisions Korvalis records in the Application event log, one event id each, so that a
// collector on many machines can filter them: the entry as the user saw it, its program's
// signer and the user, as insertion strings in a fixed order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/ElevatedRequest.h"
#include "catalogue/Startup.h"
#include "eventlog/zelEventLog.h"
#include "platform/FileFacts.h"

namespace korvalis::app {

// The event ids are the message table's (korvalis_events.mc): they never change meaning.
enum class TDecision : std::uint32_t {
  Asked = 1001,                  // a change put to the user
  Allowed = 1002,                // taken: by the user's Yes, or unasked with notification off
  Refused = 1003,                // the user's No, or a No because the program was ending
  Undone = 1004,                 // a refused change put back, also one that came back
  UndoneAsAdministrator = 1005,  // put back by the elevated copy
  UpdateTold = 1006,             // an update by the same signer told, not asked
  Failed = 1007,                 // a refused change that could not be put back
};

// Every decision, in the order of its id.
extern const std::vector<TDecision> kAllDecisions;

// A word for the activity log and the tests: "Asked", "Undone as administrator", ...
const char* DecisionName(TDecision decision);
// Error for a failure, warning for a refusal, information for the rest.
eventlog::TEventType DecisionEventType(TDecision decision);

// An entry as a record names it.
struct TRecordedEntry {
  catalogue::Section section = 0;
  std::string name;         // as the user saw it
  std::string command;
  std::string programFile;  // as the command names it; empty when unknown
  std::string signer;       // when the decision knew it already: not looked up again
};

// A service is known to the user by its own name, not by the value of its library beneath it.
std::string ShownName(catalogue::Section section, const std::string& name);
TRecordedEntry RecordedEntryOf(const catalogue::TStartup& entry);
TRecordedEntry RecordedEntryOf(const TRequestedEntry& entry);

// The signer insertion string: the certificate's name for a valid signature, otherwise what
// stands in its place in parentheses ("(not signed)", "(signature not valid)", ...).
std::string SignerText(const platform::FileFacts& facts);
constexpr const char* kSignerNotChecked = "(not checked)";

// %1 place, %2 name, %3 command, %4 signer, %5 user, %6 the system's message of a failure
// (empty otherwise); names and commands made visible, as everywhere Korvalis shows them, and
// each cut to kLongestInsertion bytes and " ...".
constexpr std::size_t kLongestInsertion = 4096;
std::vector<std::string> InsertionStrings(const TRecordedEntry& entry, const std::string& signer,
                                          const std::string& user, const std::string& detail);

}  // namespace korvalis::app
