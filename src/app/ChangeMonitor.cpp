#include "app/ChangeMonitor.h"

#include "app/CompareSection.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/Error.h"
#include "text/StrMan.h"

namespace korvalis::app {

using catalogue::ChangeKind;
using catalogue::ReadProblems;
using catalogue::Section;
using catalogue::TStartup;
using catalogue::TStartups;

namespace {

// The sweep's order: the current user's sections first, then the local machine's.
namespace c = catalogue;
constexpr Section kSweepOrder[] = {c::kCurrentUserRun,      c::kCurrentUserRunOnce,   c::kLocalMachineRun,
                                   c::kLocalMachineRunOnce, c::kLocalMachineServices, c::kLocalMachineServiceOnce};
// The order in which a whole snapshot is read: folders, then the registry.
constexpr Section kSnapshotOrder[] = {c::kCurrentUserStartupFolder, c::kLocalMachineStartupFolder,
                                      c::kLocalMachineServiceOnce,  c::kLocalMachineServices,
                                      c::kLocalMachineRunOnce,      c::kLocalMachineRun,
                                      c::kCurrentUserRunOnce,       c::kCurrentUserRun};

// Holds the count of checks under way, so renewals asked for meanwhile wait.
class CheckScope {
 public:
  explicit CheckScope(int& depth) : depth_(depth) { ++depth_; }
  ~CheckScope() { --depth_; }
  CheckScope(const CheckScope&) = delete;
  CheckScope& operator=(const CheckScope&) = delete;

 private:
  int& depth_;
};

}  // namespace

TChangeMonitor::TChangeMonitor(platform::WindowHandle owner, const platform::Platform& platform,
                               const TSwitches& switches, MonitorHost& host, TSectionWatches::Clock clock)
    : clock_(clock),
      owner_(owner),
      platform_(platform),
      switches_(switches),
      host_(host),
      snapshot_(owner, platform),
      watches_(platform, std::move(clock)) {}

void TChangeMonitor::TakeSnapshot() {
  if (Checking()) {
    renewalPending_ = true;
    return;
  }
  RenewAll();
}

void TChangeMonitor::AcceptEntry(Section section, const std::string& valueName) {
  if (Checking()) {
    acceptsPending_.emplace_back(section, valueName);
    return;
  }
  AcceptNow(section, valueName);
  StoreBaseline();
}

void TChangeMonitor::AcceptNow(Section section, const std::string& valueName) {
  TStartups fresh(owner_, platform_);
  ReadProblems problems;
  LoadSection(fresh, section, problems);
  const auto named = [&](const std::unique_ptr<TStartup>& entry) {
    return text::SameTextAscii(entry->ValueName(), valueName);
  };
  std::vector<std::unique_ptr<TStartup>> kept = snapshot_.TakeSection(section);
  kept.erase(std::remove_if(kept.begin(), kept.end(), named), kept.end());
  for (auto& entry : fresh.TakeSection(section))
    if (named(entry)) kept.push_back(std::move(entry));
  snapshot_.Adopt(std::move(kept));
}

void TChangeMonitor::AcceptPending() {
  // Between two sections no difference points into the snapshot any more.
  if (acceptsPending_.empty()) return;
  for (const auto& [section, valueName] : std::exchange(acceptsPending_, {})) AcceptNow(section, valueName);
  StoreBaseline();
}

std::vector<Section> TChangeMonitor::Guarded(const Section* six, std::size_t count) const {
  std::vector<Section> sections(six, six + count);
  if (!switches_.AllPlaces) return sections;
  for (const Section section : catalogue::FurtherSections()) {
    const catalogue::TPlace& place = *catalogue::PlaceOf(section);
    if (place.view == platform::RegistryView::Other && !OtherViewOwnKey(place)) continue;
    if (std::find(sections.begin(), sections.end(), section) == sections.end()) sections.push_back(section);
  }
  return sections;
}

bool TChangeMonitor::OtherViewOwnKey(const catalogue::TPlace& place) const {
  // A key both views share is one place, asked about once; the system tells which are shared.
  if (!platform_.registry.HasOtherView()) return false;
  const auto known = sharedViews_.find(place.section);
  if (known != sharedViews_.end()) return !known->second;
  const bool shared = platform_.registry.SameInBothViews(place.root, place.path);
  // Told by the key itself, the answer holds; told by an ancestor, it is asked again once the
  // key is there.
  if (platform_.registry.OpenKey(place.root, place.path, platform::KeyAccess::Read)) sharedViews_.emplace(place.section, shared);
  return !shared;
}

std::vector<Section> TChangeMonitor::SweepOrder() const { return Guarded(kSweepOrder, std::size(kSweepOrder)); }

void TChangeMonitor::RenewAll() {
  renewalPending_ = false;
  acceptsPending_.clear();
  snapshot_.Clear();
  const std::vector<Section> swept = SweepOrder();
  for (Section section : Guarded(kSnapshotOrder, std::size(kSnapshotOrder))) {
    if (std::find(swept.begin(), swept.end(), section) != swept.end()) watches_.Arm(section);
    ReadProblems problems;
    LoadSection(snapshot_, section, problems);
  }
  StoreBaseline();
}

void TChangeMonitor::CheckAllSections() {
  // A sweep started inside another one's question would ask it again and free the entries
  // the outer sweep still points to.
  if (Checking()) return;
  {
    CheckScope scope(checking_);
    // One look at the notifications; after a section was checked (questions may have been open
    // for a while) another look for the sections still to come.
    const std::vector<Section> sweep = SweepOrder();
    catalogue::SectionSet due = watches_.Due(sweep);
    for (Section section : sweep) {
      if (!due.Contains(section)) continue;
      AcceptPending();
      CheckSection(section);
      due = watches_.Due(sweep);
    }
  }
  if (Checking()) return;
  if (renewalPending_)
    RenewAll();
  else
    AcceptPending();
}

void TChangeMonitor::LoadSection(TStartups& into, Section section, ReadProblems& problems) {
  into.LoadSections(catalogue::SectionSet::Of(section), problems);
  ReportNewProblems(section, problems);
}

void TChangeMonitor::ReadSettled(TStartups& into, Section section, ReadProblems& problems) {
  // A reading taken while the key changed may have missed a value that is there; one taken
  // after the key settled has not.
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    into.Clear();
    problems = ReadProblems{};
    watches_.Arm(section);
    try {
      into.LoadSections(catalogue::SectionSet::Of(section), problems);
    } catch (...) {
      watches_.Disarm(section);  // not read: read it again at the next tick
      throw;
    }
    if (!watches_.Fired(section)) break;
  }
  ReportNewProblems(section, problems);
}

void TChangeMonitor::ReportNewProblems(Section section, const ReadProblems& problems) {
  std::set<std::string>& shown = shownProblems_[section];
  const std::set<std::string> current(problems.messages.begin(), problems.messages.end());
  for (const auto& message : current)
    if (!shown.count(message)) host_.ReportError(Error(message));
  shown = current;
}

// What the snapshot holds for one name once the section's questions are answered: the entry
// kept when its write-back worked, and the one kept when it failed (the state the registry
// then still has). Either may be none.
struct TChangeMonitor::Outcome {
  const TStartup* ifWritten = nullptr;
  const TStartup* ifFailed = nullptr;
  const TStartup* writeBack = nullptr;  // the entry of the restore list, if one is needed
};

void TChangeMonitor::CheckSection(Section section) {
  CheckScope scope(checking_);
  TStartups fresh(owner_, platform_);
  ReadProblems problems;
  ReadSettled(fresh, section, problems);
  const TSectionComparison comparison = CompareSection(snapshot_, fresh, section, problems.unreadableNames);
  if (comparison.differences.empty()) return;

  // All questions of the section are asked before anything of it is written back.
  TStartups restore(owner_, platform_);
  std::map<const TStartup*, Outcome> decided;  // by fresh entry
  std::vector<Outcome> removals;
  const std::vector<bool> allowed = Decide(section, comparison.differences);
  for (std::size_t i = 0; i < comparison.differences.size(); ++i) {
    const TDifference& difference = comparison.differences[i];
    Outcome outcome{difference.now, difference.now, nullptr};
    if (!allowed[i]) {
      if (difference.kind == ChangeKind::Added) {
        TStartup* removal = restore.AddCopy(*difference.now);
        if (removal) removal->SetEnabled(false);
        outcome = Outcome{nullptr, difference.now, removal};
      } else {
        outcome = Outcome{difference.before, difference.now, RestoreCopy(restore, *difference.before)};
      }
    }
    if (difference.now)
      decided[difference.now] = outcome;
    else
      removals.push_back(outcome);
  }
  // The renewed section keeps the order of the reading, then what came back.
  std::vector<Outcome> outcomes;
  for (int i = 0; i < fresh.Count(); ++i) {
    const TStartup* now = &fresh.Items(i);
    const auto it = decided.find(now);
    outcomes.push_back(it != decided.end() ? it->second : Outcome{now, now, nullptr});
  }
  for (const TStartup* kept : comparison.unreadable) outcomes.push_back(Outcome{kept, kept, nullptr});
  outcomes.insert(outcomes.end(), removals.begin(), removals.end());
  const std::vector<const TStartup*> failed = WriteBack(restore);
  RenewSection(section, fresh, outcomes, failed);
  offlineSections_ = offlineSections_.Without(section);
  StoreBaseline();
}

namespace {
const TStartup& Shown(const TDifference& difference) { return difference.now ? *difference.now : *difference.before; }
}  // namespace

std::vector<bool> TChangeMonitor::Decide(Section section, const std::vector<TDifference>& differences) {
  const catalogue::TPlace& place = *catalogue::PlaceOf(section);
  std::vector<bool> allowed(differences.size(), true);
  std::vector<std::size_t> asked;
  for (std::size_t i = 0; i < differences.size(); ++i) {
    const TDifference& difference = differences[i];
    // A kind of difference the place does not ask about is taken as it stands.
    if (!place.Asks(difference.kind)) continue;
    if (TRefusal* refusal = StandingRefusal(section, difference)) {
      allowed[i] = false;
      UndoAgain(*difference.now, *refusal);
      continue;
    }
    asked.push_back(i);
  }
  const bool offline = offlineSections_.Contains(section);
  if (asked.size() > kSingleQuestionsAtMost && switches_.Notification) {
    std::vector<TChangeQuestion> questions;
    for (const std::size_t i : asked) questions.push_back(TChangeQuestion{&Shown(differences[i]), differences[i].kind});
    const std::vector<bool> answers = host_.AskUserAll(questions, offline);
    for (std::size_t k = 0; k < asked.size(); ++k) {
      allowed[asked[k]] = k < answers.size() && answers[k];
      LogDecision(*questions[k].entry, questions[k].kind);
    }
  } else {
    for (const std::size_t i : asked) allowed[i] = ConfirmChange(Shown(differences[i]), differences[i].kind);
  }
  for (const std::size_t i : asked)
    if (!allowed[i]) RememberRefusal(section, differences[i]);
  return allowed;
}

TRefusal* TChangeMonitor::StandingRefusal(Section section, const TDifference& difference) {
  if (!difference.now) return nullptr;
  for (TRefusal& refusal : refusals_)
    if (refusal.section == section && text::SameTextAscii(refusal.valueName, difference.now->ValueName()) &&
        text::SameTextAscii(refusal.command, difference.now->Command()))
      return &refusal;
  return nullptr;
}

void TChangeMonitor::RememberRefusal(Section section, const TDifference& difference) {
  // A refused removal wants the entry kept; only what came in can come back.
  if (!difference.now || StandingRefusal(section, difference)) return;
  refusals_.push_back(TRefusal{section, difference.now->ValueName(), difference.now->Command(), 0,
                              difference.now->ContentSize(), difference.now->ContentHash()});
}

void TChangeMonitor::UndoAgain(const TStartup& entry, TRefusal& refusal) {
  host_.WriteLog("Undone again: " + entry.Name() + " " + entry.Command());
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(clock_().time_since_epoch()).count();
  // At most once a minute per entry, so a program that keeps writing itself back cannot flood.
  if (refusal.lastReported != 0 && now >= refusal.lastReported && now - refusal.lastReported < kNoticeEverySeconds)
    return;
  refusal.lastReported = now;
  host_.Notify(entry.Name() + " came back in " + catalogue::SectionName(entry.GetSection()) +
               " and was undone again.");
}

void TChangeMonitor::ClearRefusals() {
  refusals_.clear();
  StoreBaseline();
}

void TChangeMonitor::StartFromBaseline() {
  const TBaselineLoad load = LoadBaseline(platform_);
  baselineStarted_ = true;
  if (load.state == TBaselineLoad::State::Unusable) host_.ReportError(Error(load.message));
  if (load.state != TBaselineLoad::State::Loaded) {
    StoreBaseline();
    return;
  }
  refusals_ = load.baseline.refusals;
  // What was accepted then stands in the snapshot for every place guarded then and now, so the
  // first check asks about each difference; a place guarded only now starts from what it holds.
  const catalogue::SectionSet then = catalogue::SectionSet::FromBits(load.baseline.places);
  TStartups stored(owner_, platform_);
  load.baseline.FillCatalogue(stored);
  for (const Section section : SweepOrder()) {
    if (!then.Contains(section)) continue;
    snapshot_.TakeSection(section);
    snapshot_.Adopt(stored.TakeSection(section));
    watches_.Disarm(section);
    offlineSections_ = offlineSections_.With(section);
  }
}

void TChangeMonitor::StoreBaseline() {
  // Until the stored one has been compared with, it is the only record of what was accepted.
  if (!baselineStarted_) return;
  TBaseline baseline = TBaseline::Of(snapshot_);
  for (const Section section : SweepOrder()) baseline.places |= 1u << section;
  baseline.refusals = refusals_;
  try {
    SaveBaseline(platform_, baseline);
    lastSaveError_.clear();
  } catch (const std::exception& error) {
    if (error.what() != lastSaveError_) host_.ReportError(error);
    lastSaveError_ = error.what();
  }
}

const TStartup* TChangeMonitor::RestoreCopy(TStartups& restore, const TStartup& before) {
  // The earlier state byte for byte where the place keeps it: a startup file, a value's type.
  TStartup* copy = restore.AddCopy(before);
  if (copy) {
    copy->LinkData() = before.LinkData();
    copy->SetValueType(before.ValueType());
  }
  return copy;
}

std::vector<const TStartup*> TChangeMonitor::WriteBack(const TStartups& restore) {
  // Every refused change is put back that can be; each one that cannot is reported.
  std::vector<const TStartup*> failed;
  for (int i = 0; i < restore.Count(); ++i) {
    try {
      restore.Items(i).Apply();
    } catch (const Error& error) {
      host_.ReportError(error);
      failed.push_back(&restore.Items(i));
    }
  }
  return failed;
}

void TChangeMonitor::RenewSection(Section section, TStartups& fresh, const std::vector<Outcome>& outcomes,
                                  const std::vector<const TStartup*>& failed) {
  // The section is taken anew from the answers, not read again: a change made while a question
  // was open is still a difference, to be asked about at the next tick. A refused change that
  // could not be put back is taken as it stands, so it is not asked again and again. The
  // entries kept are handed over, not copied.
  std::unordered_map<const TStartup*, std::unique_ptr<TStartup>> available;
  for (auto& entry : fresh.TakeSection(section)) available.emplace(entry.get(), std::move(entry));
  for (auto& entry : snapshot_.TakeSection(section)) available.emplace(entry.get(), std::move(entry));
  std::vector<std::unique_ptr<TStartup>> renewed;
  for (const Outcome& outcome : outcomes) {
    const bool writeFailed =
        outcome.writeBack && std::find(failed.begin(), failed.end(), outcome.writeBack) != failed.end();
    const TStartup* kept = writeFailed ? outcome.ifFailed : outcome.ifWritten;
    const auto it = kept ? available.find(kept) : available.end();
    if (it != available.end() && it->second) renewed.push_back(std::move(it->second));
  }
  snapshot_.Adopt(std::move(renewed));
}

bool TChangeMonitor::ConfirmChange(const TStartup& entry, ChangeKind kind) {
  if (!switches_.Notification) return true;
  const bool allowed = host_.AskUser(entry, kind, offlineSections_.Contains(entry.GetSection()));
  LogDecision(entry, kind);
  return allowed;
}

void TChangeMonitor::LogDecision(const TStartup& entry, ChangeKind kind) {
  if (switches_.Logs)
    host_.WriteLog(std::string(catalogue::ChangeKindNames[static_cast<int>(kind)]) + ": " + entry.Name() + " " +
                   entry.Command());
}

}  // namespace korvalis::app
