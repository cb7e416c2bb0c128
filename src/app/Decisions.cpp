#include "app/Decisions.h"

#include "catalogue/CommandLine.h"
#include "catalogue/Places.h"
#include "text/VisibleText.h"

namespace korvalis::app {

namespace {
// The event log refuses a record with a string near 32,000 characters; a task's definition or
// a planted value can be longer. Cut at a character, and said so.
std::string Recorded(const std::string& text) {
  const std::string visible = text::VisibleText(text);
  if (visible.size() <= kLongestInsertion) return visible;
  std::size_t end = 0;
  while (end < visible.size()) {
    const std::size_t next = end + text::CharacterLength(visible, end);
    if (next > kLongestInsertion) break;
    end = next;
  }
  return visible.substr(0, end) + " ...";
}
}  // namespace

const std::vector<TDecision> kAllDecisions = {TDecision::Asked,  TDecision::Allowed,
                                              TDecision::Refused, TDecision::Undone,
                                              TDecision::UndoneAsAdministrator, TDecision::UpdateTold,
                                              TDecision::Failed};

const char* DecisionName(TDecision decision) {
  switch (decision) {
    case TDecision::Asked: return "Asked";
    case TDecision::Allowed: return "Allowed";
    case TDecision::Refused: return "Refused";
    case TDecision::Undone: return "Undone";
    case TDecision::UndoneAsAdministrator: return "Undone as administrator";
    case TDecision::UpdateTold: return "Update told";
    case TDecision::Failed: return "Failed";
  }
  return "Decided";
}

eventlog::TEventType DecisionEventType(TDecision decision) {
  if (decision == TDecision::Failed) return eventlog::etError;
  return decision == TDecision::Refused ? eventlog::etWarning : eventlog::etInformation;
}

std::string ShownName(catalogue::Section section, const std::string& name) {
  const catalogue::TPlace* place = catalogue::PlaceOf(section);
  return place ? place->Kind().ShownName(name) : name;
}

TRecordedEntry RecordedEntryOf(const catalogue::TStartup& entry) {
  return TRecordedEntry{entry.GetSection(), ShownName(entry.GetSection(), entry.Name()), entry.Command(),
                        entry.ProgramFile(), std::string()};
}

TRecordedEntry RecordedEntryOf(const TRequestedEntry& entry) {
  std::string programFile;
  catalogue::DeriveProgramFile(entry.command, programFile);
  return TRecordedEntry{entry.section, ShownName(entry.section, entry.name), entry.command, programFile, std::string()};
}

std::string SignerText(const platform::FileFacts& facts) {
  switch (facts.lookup) {
    case platform::FileLookup::NotLookedUp: return "(on the network, not looked at)";
    case platform::FileLookup::LocalPipe: return "(a pipe, not looked at)";
    case platform::FileLookup::Device: return "(a device, not looked at)";
    case platform::FileLookup::NotFound: return "(program file not found)";
    case platform::FileLookup::Found: break;
  }
  switch (facts.signature) {
    case platform::Signature::Valid: return facts.signer;
    case platform::Signature::None: return "(not signed)";
    case platform::Signature::NotValid: return "(signature not valid)";
    case platform::Signature::NotChecked: break;
  }
  return kSignerNotChecked;
}

std::vector<std::string> InsertionStrings(const TRecordedEntry& entry, const std::string& signer,
                                          const std::string& user, const std::string& detail) {
  return {catalogue::SectionName(entry.section), Recorded(entry.name), Recorded(entry.command), Recorded(signer), user,
          Recorded(detail)};
}

}  // namespace korvalis::app
