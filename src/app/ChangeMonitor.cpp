#include "app/ChangeMonitor.h"

#include "app/CompareSection.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "app/AsAdministrator.h"
#include "app/Bounded.h"
#include "app/UpdateRule.h"
#include "app/DriverRisk.h"
#include "app/ElevatedCopy.h"
#include "app/InstallCheck.h"
#include "app/Scope.h"
#include "catalogue/Quarantine.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/Sha256.h"
#include "text/Fileman.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"

namespace korvalis::app {

using catalogue::ChangeKind;
using catalogue::ReadProblems;
using catalogue::Section;
using catalogue::TStartup;
using catalogue::TStartups;

namespace {

// A catalogue of the monitor's own: its entries are never written through a window's shell calls.
constexpr platform::WindowHandle kNoWindow = 0;

// What the elevated copy is sent of an entry. A startup folder's file is known by its content,
// and its bytes travel only to be written back, so a request of many files stays small.
TRequestedEntry RequestedEntryOf(const TStartup& entry, bool writtenBack) {
  TRequestedEntry requested = entry.Record();
  requested.iconIndex = 0;  // not sent
  if (!writtenBack && catalogue::IsFolderSection(entry.GetSection())) requested.data.clear();
  return requested;
}

}  // namespace

TChangeMonitor::TChangeMonitor(const platform::Platform& platform, const TSwitches& switches, MonitorHost& host,
                               TSectionWatches::Clock clock, TSettling settling)
    : clock_(clock),
      settling_(settling),
      platform_(platform),
      switches_(switches),
      host_(host),
      snapshot_(kNoWindow, platform),
      watches_(platform, clock_),
      refusals_(platform),
      signerRecorder_(platform.files, platform.background),
      administrator_(platform, switches, host, clock_) {}

void TChangeMonitor::TakeSnapshot() {
  if (Checking() || renewing_ > 0) {
    renewalPending_ = true;
    return;
  }
  RenewAll();
}

catalogue::PlaceList TChangeMonitor::GuardedPlaces(const catalogue::PlaceList& order) const {
  catalogue::PlaceList places;
  places.reserve(order.size());
  for (const catalogue::TPlace* place : order) {
    if (place->view == platform::RegistryView::Other && !OtherViewOwnKey(*place)) continue;
    places.push_back(place);
  }
  return places;
}

bool TChangeMonitor::OtherViewOwnKey(const catalogue::TPlace& place) const {
  // A key both views share is one place, asked about once; the system tells which are shared.
  if (!platform_.registry.HasOtherView()) return false;
  const auto known = sharedViews_.find(place.section);
  if (known != sharedViews_.end()) return !known->second.shared;
  const bool shared = platform_.registry.SameInBothViews(place.root, place.path);
  const bool byKey = bool(platform_.registry.OpenKey(place.root, place.path, platform::KeyAccess::Read));
  sharedViews_.emplace(place.section, ViewAnswer{shared, byKey});
  sweepKnown_ = false;
  return !shared;
}

void TChangeMonitor::ForgetViewGuess(const catalogue::TPlace& place) {
  // Told by the key itself, the answer holds; told by an ancestor, it is asked again after the
  // place is checked (a watch on that ancestor sees the key made), not at every quiet tick.
  for (const Section of : {place.section, place.twin.value_or(place.section)}) {
    const auto known = sharedViews_.find(of);
    if (known != sharedViews_.end() && !known->second.byKey) {
      sharedViews_.erase(known);
      sweepKnown_ = false;
    }
  }
}

const catalogue::PlaceList& TChangeMonitor::Sweep() const {
  if (!sweepKnown_ || sweepAllPlaces_ != switches_.AllPlaces) {
    // An answer learnt while working it out unsets sweepKnown_ again: the next tick looks once more.
    sweepKnown_ = true;
    sweepAllPlaces_ = switches_.AllPlaces;
    sweep_ = GuardedPlaces(catalogue::SweepPlaces(switches_.AllPlaces));
  }
  return sweep_;
}

bool TChangeMonitor::Swept(Section section) const {
  const catalogue::PlaceList& sweep = Sweep();
  return std::any_of(sweep.begin(), sweep.end(),
                     [section](const catalogue::TPlace* place) { return place->section == section; });
}

void TChangeMonitor::RenewAll() {
  std::vector<std::pair<Section, ReadProblems>> found;
  {
    // Nothing opens a message box while the snapshot is half cleared: its loop could run a check.
    TScope renewal(renewing_);
    renewalPending_ = false;
    snapshot_.Clear();
    held_.clear();
    cameBack_.clear();
    // What is read now is what the program saw: nothing of it changed while it was not running.
    offlineSections_ = catalogue::SectionSet{};
    // At start a place the stored baseline holds is taken from it and read at the first check,
    // not read twice before the first question; one already checked from it is read again.
    const catalogue::SectionSet stored = StoredAtStart();
    deferred_ = catalogue::SectionSet{};
    for (const catalogue::TPlace* place : GuardedPlaces(catalogue::ReadPlaces(switches_.AllPlaces))) {
      if (stored.Contains(place->section) && !startedSections_.Contains(place->section))
        deferred_ = deferred_.With(place->section);
      else
        ReadIntoSnapshot(*place, found);
    }
  }
  for (const auto& [section, problems] : found) ReportNewProblems(section, problems);
  StoreBaseline();
}

void TChangeMonitor::ReadIntoSnapshot(const catalogue::TPlace& place,
                                      std::vector<std::pair<Section, ReadProblems>>& found) {
  if (Swept(place.section)) watches_.Arm(place);
  found.emplace_back(place.section, ReadProblems{});
  snapshot_.LoadSections(catalogue::SectionSet::Of(place.section), found.back().second);
}

catalogue::SectionSet TChangeMonitor::StoredAtStart() {
  if (baselineStarted_) return {};
  if (!startLoad_) startLoad_ = LoadBaseline(platform_);
  return startLoad_->state == TBaselineLoad::State::Loaded ? startLoad_->baseline.places : catalogue::SectionSet{};
}

void TChangeMonitor::ReadDeferred(catalogue::SectionSet adopted) {
  // Those the stored baseline held that are not taken from it after all, as the switches read
  // since have it: read now, as the start would have.
  std::vector<std::pair<Section, ReadProblems>> found;
  const catalogue::SectionSet deferred = std::exchange(deferred_, catalogue::SectionSet{});
  for (const catalogue::TPlace* place : GuardedPlaces(catalogue::ReadPlaces(switches_.AllPlaces)))
    if (deferred.Contains(place->section) && !adopted.Contains(place->section)) ReadIntoSnapshot(*place, found);
  for (const auto& [section, problems] : found) ReportNewProblems(section, problems);
}

void TChangeMonitor::CheckAllSections() {
  // A sweep started inside another one's question would ask it again and free the entries
  // the outer sweep still points to; one inside a renewal would meet a half-cleared snapshot.
  if (Checking() || renewing_ > 0) return;
  CollectSigners();
  {
    TScope scope(checking_);
    // One look at the notifications; after a section was checked (questions may have been open
    // for a while) another look for the sections still to come.
    // A copy, as a check may learn of a view and work the sweep out anew; kept, so that a quiet
    // tick allocates nothing.
    sweeping_ = Sweep();
    const catalogue::PlaceList& sweep = sweeping_;
    catalogue::SectionSet due = watches_.Due(sweep);
    for (const catalogue::TPlace* place : sweep) {
      if (!due.Contains(place->section)) continue;
      ForgetViewGuess(*place);
      CheckSection(*place);
      due = watches_.Due(sweep);
    }
  }
  AfterCheck();
}

void TChangeMonitor::AfterCheck() {
  if (Checking()) return;
  for (auto& [section, valueNames] : std::exchange(ownWrites_, {})) AcceptOwnWrite(section, valueNames);
  if (std::exchange(clearPending_, false)) ClearRefusals();
  if (askHeld_) CheckHeld();
  if (renewalPending_) RenewAll();
}

void TChangeMonitor::ReadSettled(TStartups& into, const catalogue::TPlace& place, ReadProblems& problems) {
  // A reading taken while the key changed may have missed a value that is there; one taken
  // after the key settled has not.
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    into.Clear();
    problems = ReadProblems{};
    watches_.Arm(place);
    try {
      into.LoadSections(catalogue::SectionSet::Of(place.section), problems);
    } catch (...) {
      watches_.Disarm(place);  // not read: read it again at the next tick
      throw;
    }
    if (!watches_.Fired(place)) break;
  }
  ReportNewProblems(place.section, problems);
}

void TChangeMonitor::ReportNewProblems(Section section, const ReadProblems& problems) {
  for (const std::string& message : readProblems_[section].Update(problems.messages)) host_.ReportError(Error(message));
}

// What the snapshot holds for one name once the section's questions are answered: the entry
// kept when its write-back worked, and the one kept when it failed (the state the registry
// then still has). Either may be none.
struct TChangeMonitor::Outcome {
  const TStartup* ifWritten = nullptr;
  const TStartup* ifFailed = nullptr;
  const TStartup* writeBack = nullptr;  // the entry of the restore list, if one is needed
};

namespace {
const TStartup& Shown(const TDifference& difference) {
  if (difference.started) return *difference.started;
  return difference.now ? *difference.now : *difference.before;
}
void RecordAnswer(MonitorHost& host, const TStartup& entry, bool allowed) {
  host.Record(allowed ? TDecision::Allowed : TDecision::Refused, RecordedEntryOf(entry), std::string());
}

TChangeQuestion QuestionOf(const TDifference& difference) {
  const ChangeKind kind = AskedAs(difference);
  return TChangeQuestion{&Shown(difference), kind, kind == ChangeKind::Changed ? difference.before : nullptr};
}

// Taken as it stands, without a question: a kind the place does not ask about, or a removal
// from a place Windows deletes each entry of as it runs it.
bool TakenUnasked(const catalogue::TPlace& place, const TDifference& difference) {
  return (place.runsOnce && difference.kind == ChangeKind::Removed) || !place.Asks(difference.kind) ||
         difference.quiet;
}

// What a reading's differences are, to tell whether the place changed since the last reading.
std::string DifferencesText(const catalogue::TPlace& place, const std::vector<TDifference>& differences) {
  std::string text;
  for (const TDifference& difference : differences) {
    const TStartup& entry = difference.now ? *difference.now : *difference.before;
    text += std::to_string(static_cast<int>(difference.kind)) + '\n' + entry.ValueName() + '\n' + entry.Command() +
            '\n' + entry.ContentHash() + '\n';
    // A service's start type and a task's switch count as a change; a value's type does not.
    if (place.Kind().ComparedBy().valueType) text += std::to_string(entry.ValueType()) + '\n';
  }
  return text;
}
}  // namespace

bool TChangeMonitor::HoldsBack(const catalogue::TPlace& place, const TSectionComparison& comparison, bool offline) {
  // An addition is asked at once, and the rest of its reading with it, grouped as ever. A
  // removal taken unasked waits too: a task registered anew is deleted, then made again.
  const Section section = place.section;
  bool waits = false;
  for (const TDifference& difference : comparison.differences) {
    const bool added = AskedAs(difference) == ChangeKind::Added;
    if (added && !TakenUnasked(place, difference)) {
      waits = false;
      break;
    }
    waits = waits || !added;
  }
  if (!waits || offline || askHeld_ || settling_.quiet.count() <= 0) {
    const auto held = held_.find(section);
    if (held != held_.end() && comparison.differences.empty())
      cameBack_[section] = std::make_pair(held->second.since, clock_());
    if (held != held_.end()) held_.erase(held);
    return false;
  }
  const auto now = clock_();
  const std::string differences = DifferencesText(place, comparison.differences);
  const auto [held, first] = held_.try_emplace(section, Held{now, now, differences});
  if (first) held->second.since = FirstSeen(section, now);
  if (!first && held->second.differences != differences) {
    held->second.changedAt = now;
    held->second.differences = differences;
  }
  const auto due = held->second.Due(settling_);
  if (now >= due) {
    held_.erase(held);
    return false;
  }
  // Not renewed: the snapshot keeps what was accepted, and the place is read again when due.
  watches_.DueAt(place, due);
  return true;
}

std::chrono::steady_clock::time_point TChangeMonitor::FirstSeen(Section section,
                                                                std::chrono::steady_clock::time_point now) {
  // A change undone for a moment now and then, to start its wait anew each time, is still asked
  // by the longest wait from when it was first read; a place back that long starts afresh.
  const auto back = cameBack_.find(section);
  if (back == cameBack_.end()) return now;
  const auto [since, backAt] = back->second;
  cameBack_.erase(back);
  return now - backAt < settling_.longest ? since : now;
}

std::optional<std::chrono::milliseconds> TChangeMonitor::SettleWait() const {
  if (held_.empty()) return std::nullopt;
  auto due = held_.begin()->second.Due(settling_);
  for (const auto& [section, held] : held_) due = std::min(due, held.Due(settling_));
  return std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(due - clock_()));
}

void TChangeMonitor::AskHeldNow() {
  if (held_.empty()) return;
  askHeld_ = true;
  if (Checking() || renewing_ > 0) return;  // after the check, in AfterCheck
  CheckHeld();
}

void TChangeMonitor::CheckHeld() {
  {
    TScope scope(checking_);
    struct Done {
      bool& asking;
      ~Done() { asking = false; }
    } done{askHeld_};
    const catalogue::PlaceList sweep = Sweep();
    for (const catalogue::TPlace* place : sweep)
      if (held_.count(place->section)) CheckSection(*place);
    held_.clear();  // a place no longer swept has nothing to ask
  }
  AfterCheck();
}

struct TChangeMonitor::Plan {
  std::map<const TStartup*, Outcome> decided;  // by fresh entry
  std::vector<Outcome> outcomes;               // in the order the renewed section keeps
};

void TChangeMonitor::CheckSection(const catalogue::TPlace& place) {
  TScope scope(checking_);
  const Section section = place.section;
  TStartups fresh(kNoWindow, platform_);
  ReadProblems problems;
  ReadSettled(fresh, place, problems);
  const TSectionComparison comparison = CompareSection(snapshot_, fresh, place, problems.unreadableNames);
  // "While Korvalis was not running" holds for the first comparison of each place after start.
  const bool offline = offlineSections_.Contains(section);
  offlineSections_ = offlineSections_.Without(section);
  if (HoldsBack(place, comparison, offline) || comparison.differences.empty()) return;
  MarkDisabledInTaskManager(snapshot_, fresh, place);

  // All questions of the section are asked before anything of it is written back.
  std::vector<std::size_t> again;
  const std::vector<bool> allowed = Decide(place, comparison.differences, offline, again);
  TStartups restore(kNoWindow, platform_);
  const Plan plan = PlanAnswers(fresh, comparison, allowed, restore);
  std::vector<std::pair<const TStartup*, std::string>> refused;
  std::vector<const TStartup*> failed = WriteBack(restore, refused);
  std::unordered_set<const TStartup*> repeated;
  for (const std::size_t i : again) repeated.insert(plan.decided.at(comparison.differences[i].now).writeBack);
  const std::unordered_set<const TStartup*> pending = UndoRefused(refused, plan, repeated, failed);
  // A No that could not be carried out does not stand: what stays is asked about when it comes back.
  for (std::size_t i = 0; i < comparison.differences.size(); ++i)
    if (!allowed[i] && comparison.differences[i].now) {
      const Outcome& outcome = plan.decided.at(comparison.differences[i].now);
      if (std::find(failed.begin(), failed.end(), outcome.writeBack) != failed.end() && !pending.count(outcome.writeBack))
        refusals_.Forget(section, comparison.differences[i]);
    }
  NoticeAgain(section, comparison.differences, again, plan, failed, pending);
  RenewSection(section, fresh, restore, plan.outcomes, failed);
  StoreBaseline();
  if (place.asksAlways)
    for (std::size_t i = 0; i < comparison.differences.size(); ++i)
      if (allowed[i]) host_.SettingAllowed(Shown(comparison.differences[i]).ValueName());
}

TChangeMonitor::Plan TChangeMonitor::PlanAnswers(const TStartups& fresh, const TSectionComparison& comparison,
                                                 const std::vector<bool>& allowed, TStartups& restore) {
  Plan plan;
  std::vector<Outcome> removals;
  for (std::size_t i = 0; i < comparison.differences.size(); ++i) {
    const TDifference& difference = comparison.differences[i];
    Outcome outcome{difference.now, difference.now, nullptr};
    if (!allowed[i]) {
      if (difference.kind == ChangeKind::Added &&
          difference.now->Place()->KeptData(difference.now->ValueName())) {
        const TStartup* kept = KeptInstead(restore, *difference.now);
        outcome = Outcome{kept, difference.now, kept};
      } else if (difference.kind == ChangeKind::Added) {
        TStartup* removal = restore.AddCopy(*difference.now);
        if (removal) removal->SetEnabled(false);
        outcome = Outcome{nullptr, difference.now, removal};
      } else {
        outcome = Outcome{difference.before, difference.now, RestoreCopy(restore, *difference.before)};
      }
    }
    if (difference.now)
      plan.decided[difference.now] = outcome;
    else
      removals.push_back(outcome);
  }
  // The renewed section keeps the order of the reading, then what came back.
  for (int i = 0; i < fresh.Count(); ++i) {
    const TStartup* now = &fresh.Items(i);
    const auto it = plan.decided.find(now);
    plan.outcomes.push_back(it != plan.decided.end() ? it->second : Outcome{now, now, nullptr});
  }
  for (const TStartup* kept : comparison.unreadable) plan.outcomes.push_back(Outcome{kept, kept, nullptr});
  plan.outcomes.insert(plan.outcomes.end(), removals.begin(), removals.end());
  return plan;
}

std::unordered_set<const TStartup*> TChangeMonitor::UndoRefused(
    const std::vector<std::pair<const TStartup*, std::string>>& refused, const Plan& plan,
    const std::unordered_set<const TStartup*>& repeated, std::vector<const TStartup*>& failed) {
  std::unordered_set<const TStartup*> pending;
  if (refused.empty()) return pending;
  // What the place holds now, for the elevated copy to compare with: the fresh entry, none
  // for a removal.
  std::map<const TStartup*, const TStartup*> nowOf;
  for (const auto& [fresh, outcome] : plan.decided)
    if (outcome.writeBack) nowOf[outcome.writeBack] = fresh;
  std::vector<TUndoOperation> undos;
  std::vector<std::string> messages;
  std::vector<bool> again;
  for (const auto& [writeBack, message] : refused) {
    again.push_back(repeated.count(writeBack) > 0);
    TUndoOperation undo{RequestedEntryOf(*writeBack, writeBack->Enabled()), writeBack->Enabled(), false, {}};
    if (const auto it = nowOf.find(writeBack); it != nowOf.end()) {
      undo.hasNow = true;
      undo.now = RequestedEntryOf(*it->second, false);
      // A deletion names what the place holds now, a file by its content.
      if (!undo.enabled) undo.writeBack = undo.now;
    }
    undos.push_back(std::move(undo));
    messages.push_back(message);
  }
  const std::vector<Undone> undone = administrator_.Run(undos, messages, true, again);
  for (std::size_t k = 0; k < refused.size(); ++k) {
    // Carried out, or waiting for another try: the refusal stands either way.
    if (undone[k] == Undone::Yes)
      failed.erase(std::find(failed.begin(), failed.end(), refused[k].first));
    else if (undone[k] == Undone::Pending)
      pending.insert(refused[k].first);
  }
  return pending;
}

void TChangeMonitor::NoticeAgain(Section section, const std::vector<TDifference>& differences,
                                 const std::vector<std::size_t>& again, const Plan& plan,
                                 const std::vector<const TStartup*>& failed,
                                 const std::unordered_set<const TStartup*>& pending) {
  for (const std::size_t i : again) {
    const TStartup& entry = *differences[i].now;
    const TStartup* writeBack = plan.decided.at(&entry).writeBack;
    const bool waits = pending.count(writeBack) > 0;
    // Only what was put back is said to be undone; a failure was reported on its own.
    if (!waits && (!writeBack || writeBack == &entry || std::find(failed.begin(), failed.end(), writeBack) != failed.end()))
      continue;
    Log(waits ? "Undo waits for administrator rights" : "Undone again", entry);
    TRefusal* refusal = refusals_.Standing(section, differences[i]);
    if (!refusal || !TRefusals::NoticeDue(*refusal, NowSeconds())) continue;
    const std::string where = entry.Name() + " came back in " + catalogue::SectionName(entry.GetSection());
    host_.Notify(waits ? where + "; its undo waits for administrator rights in Refused Entries."
                       : where + " and was undone again.");
  }
}

std::int64_t TChangeMonitor::NowSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(clock_().time_since_epoch()).count();
}

std::vector<bool> TChangeMonitor::Decide(const catalogue::TPlace& place, const std::vector<TDifference>& differences,
                                         bool offline, std::vector<std::size_t>& again) {
  const Section section = place.section;
  std::vector<bool> allowed(differences.size(), true);
  std::vector<std::size_t> asked;
  std::vector<std::size_t> driversBack;  // standing refusals of drivers, undone only after the second question
  std::vector<std::size_t> updates;      // changes that may be a publisher's update
  std::vector<std::size_t> ruled;        // changes a rule of the user's may allow
  const std::vector<TAllowRule> rules = place.asksAlways ? std::vector<TAllowRule>() : RulesIn(snapshot_);
  for (std::size_t i = 0; i < differences.size(); ++i) {
    const TDifference& difference = differences[i];
    if (TakenUnasked(place, difference)) {
      // Windows deletes one as it runs it, at logon or whenever Explorer comes to it: a removal
      // is what running it means, and putting it back would run it again.
      if (place.runsOnce && difference.kind == ChangeKind::Removed) Log("Ran once", *difference.before);
      continue;
    }
    if (refusals_.Standing(section, difference)) {
      if (catalogue::IsBootOrSystemDriver(*difference.now)) {
        driversBack.push_back(i);
        continue;
      }
      allowed[i] = false;
      again.push_back(i);
      continue;
    }
    if (!rules.empty() && difference.now && RuleMayCover(*difference.now) &&
        std::any_of(rules.begin(), rules.end(), [&](const TAllowRule& rule) { return rule.Names(*difference.now); })) {
      ruled.push_back(i);
      continue;
    }
    if (difference.kind == ChangeKind::Changed && switches_.Notification && !switches_.AskUpdates &&
        !place.asksAlways && MayBeUpdate(*difference.before, *difference.now)) {
      updates.push_back(i);
      continue;
    }
    asked.push_back(i);
  }
  for (const std::size_t i : TellUpdates(differences, updates)) asked.push_back(i);
  for (const std::size_t i : AllowByRules(differences, ruled, rules)) asked.push_back(i);
  std::sort(asked.begin(), asked.end());
  const std::vector<bool> byUser = Ask(place, differences, asked, offline, allowed);
  ConfirmDriverUndos(section, differences, asked, driversBack, byUser, allowed, again);
  for (const std::size_t i : asked)
    if (!allowed[i] && byUser[i]) refusals_.Remember(section, differences[i]);
  return allowed;
}

std::vector<bool> TChangeMonitor::Ask(const catalogue::TPlace& place, const std::vector<TDifference>& differences,
                                      const std::vector<std::size_t>& asked, bool offline, std::vector<bool>& allowed) {
  // Answers given because the program is ending are Nos, but not the user's: none sticks.
  std::vector<bool> byUser(differences.size(), true);
  if (asked.size() > kSingleQuestionsAtMost && (switches_.Notification || place.asksAlways)) {
    std::vector<TChangeQuestion> questions;
    for (const std::size_t i : asked) questions.push_back(QuestionOf(differences[i]));
    for (const TChangeQuestion& question : questions)
      host_.Record(TDecision::Asked, RecordedEntryOf(*question.entry), std::string());
    const std::vector<bool> answers = host_.AskUserAll(questions, offline);
    const bool closing = host_.Closing();
    for (std::size_t k = 0; k < asked.size(); ++k) {
      allowed[asked[k]] = k < answers.size() && answers[k];
      byUser[asked[k]] = !closing;
      RecordAnswer(host_, *questions[k].entry, allowed[asked[k]]);
      Log(catalogue::ChangeKindNames[static_cast<int>(questions[k].kind)], *questions[k].entry);
    }
    return byUser;
  }
  for (const std::size_t i : asked) {
    bool answeredByUser = true;
    if (place.asksAlways || switches_.Notification)
      allowed[i] = ConfirmChange(QuestionOf(differences[i]), offline, answeredByUser);
    else
      RecordAnswer(host_, Shown(differences[i]), true);  // taken unasked, as the switch says
    byUser[i] = answeredByUser;
  }
  return byUser;
}

std::vector<std::size_t> TChangeMonitor::TellUpdates(const std::vector<TDifference>& differences,
                                                     const std::vector<std::size_t>& candidates) {
  if (candidates.empty()) return {};
  std::vector<TUpdateCheck> checks;
  for (const std::size_t i : candidates)
    checks.push_back(TUpdateCheck{differences[i].before->ProgramFile(), differences[i].now->ProgramFile(),
                                  RecordedSigner(differences[i].before->ProgramFile())});
  platform::FileSystem& files = platform_.files;
  platform::FileInspector& inspector = platform_.inspector;
  // A folder a program chose is read off this thread: what does not answer in time is asked.
  using Signers = std::vector<std::optional<std::string>>;
  const std::optional<Signers> signers = RunBounded<Signers>(
      [&files, &inspector, checks] {
        Signers found;
        for (const TUpdateCheck& check : checks) found.push_back(UpdateSigner(files, inspector, check));
        return found;
      },
      kUpdateCheckLimit);
  std::vector<std::size_t> asked;
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    const TStartup& now = *differences[candidates[k]].now;
    if (!signers || !(*signers)[k]) {
      asked.push_back(candidates[k]);
      continue;
    }
    const std::string& signer = *(*signers)[k];
    signers_[text::UpperAscii(now.ProgramFile())] = signer;
    KeepUpdatedFrom(*differences[candidates[k]].before);
    Log("Update told", now);
    TRecordedEntry told = RecordedEntryOf(now);
    told.signer = signer;
    host_.Record(TDecision::UpdateTold, told, std::string());
    host_.Notify("Updated: " + text::VisibleText(now.Name()) + ", signed by " + text::VisibleText(signer) +
                 " as before");
  }
  return asked;
}

std::vector<std::size_t> TChangeMonitor::AllowByRules(const std::vector<TDifference>& differences,
                                                      const std::vector<std::size_t>& candidates,
                                                      const std::vector<TAllowRule>& rules) {
  if (candidates.empty()) return {};
  std::vector<std::string> programs;
  for (const std::size_t i : candidates) programs.push_back(differences[i].now->ProgramFile());
  platform::FileInspector& inspector = platform_.inspector;
  using Facts = std::vector<platform::FileFacts>;
  const std::optional<Facts> facts = RunBounded<Facts>(
      [&inspector, programs] {
        Facts found;
        for (const std::string& program : programs)
          found.push_back(InspectablePath(program) ? inspector.Inspect(program) : platform::FileFacts{});
        return found;
      },
      kUpdateCheckLimit);
  std::vector<std::size_t> asked;
  for (std::size_t k = 0; k < candidates.size(); ++k) {
    const TStartup& now = *differences[candidates[k]].now;
    // A rule never covers an unsigned program, nor one whose signature does not hold.
    const bool signedAsRuled =
        facts && (*facts)[k].signature == platform::Signature::Valid && !(*facts)[k].signer.empty() &&
        std::any_of(rules.begin(), rules.end(), [&](const TAllowRule& rule) {
          return rule.Names(now) && rule.signer == (*facts)[k].signer;
        });
    if (signedAsRuled)
      Log("Allowed by rule", now);
    else
      asked.push_back(candidates[k]);
  }
  return asked;
}

void TChangeMonitor::ChangeAllowRule(const TAllowRule& rule, bool added) {
  WriteRule(platform_, rule, added);
  AcceptOwnWrite(catalogue::kKorvalisAllowRules, {RuleValueName(rule.section, rule.valueName)});
}

void TChangeMonitor::KeepUpdatedFrom(const TStartup& before) {
  // One kept per entry: the latest update's earlier state.
  if (const TBaselineEntry* kept = RecentUpdateOf({before.GetSection(), before.ValueName()}))
    updatedFrom_.erase(updatedFrom_.begin() + (kept - updatedFrom_.data()));
  if (updatedFrom_.size() >= kRecentUpdatesKept) updatedFrom_.erase(updatedFrom_.begin());
  TStartups one(kNoWindow, platform_);
  RestoreCopy(one, before);
  updatedFrom_.push_back(TBaseline::Of(one).entries.front());
  StoreRecentUpdates();
}

namespace {

// What the recent updates replaced, kept across a restart beside the baseline, in its encoding.
std::string RecentUpdatesPath(platform::Environment& environment) {
  const std::string baseline = BaselinePath(environment);
  return baseline.empty() ? std::string() : text::JoinPath(text::FileDir(baseline), "updates-told.dat");
}

constexpr std::size_t kRecentUpdatesBytesAtMost = 16 * 1024 * 1024;

}  // namespace

void TChangeMonitor::StoreRecentUpdates() {
  const std::string path = RecentUpdatesPath(platform_.environment);
  TBaseline kept;
  kept.entries = updatedFrom_;
  // Only a convenience of the overview: an undo not kept is one the user cannot offer, nothing worse.
  if (!path.empty() && platform_.files.CreateFolders(text::FileDir(path)))
    platform_.files.WriteFileAtomically(path, kept.Encode());
}

void TChangeMonitor::LoadRecentUpdates() {
  const std::string path = RecentUpdatesPath(platform_.environment);
  std::vector<std::uint8_t> bytes;
  if (path.empty() || platform_.files.ReadOwnFile(path, kRecentUpdatesBytesAtMost, bytes) != platform::OwnFileResult::Read)
    return;
  try {
    updatedFrom_ = TBaseline::Decode(bytes).entries;
  } catch (const TBaselineFormatError&) {
    updatedFrom_.clear();  // damaged or forged: no undo is offered from it
  }
  if (updatedFrom_.size() > kRecentUpdatesKept)
    updatedFrom_.erase(updatedFrom_.begin(), updatedFrom_.end() - kRecentUpdatesKept);
}

const TBaselineEntry* TChangeMonitor::RecentUpdateOf(const TEntryName& name) const {
  const auto kept = std::find_if(updatedFrom_.begin(), updatedFrom_.end(), [&](const TBaselineEntry& entry) {
    return entry.section == name.first && text::SameTextAscii(entry.valueName.Text(), name.second);
  });
  return kept == updatedFrom_.end() ? nullptr : &*kept;
}

std::optional<std::string> TChangeMonitor::UpdatedFrom(const TEntryName& name) const {
  const TBaselineEntry* kept = RecentUpdateOf(name);
  return kept ? std::optional<std::string>(kept->command) : std::nullopt;
}

TChangeMonitor::UpdateUndo TChangeMonitor::UndoUpdate(const TEntryName& name) {
  if (Checking() || renewing_ > 0) return UpdateUndo::Busy;
  const TBaselineEntry* kept = RecentUpdateOf(name);
  const TStartup* now = SnapshotEntry(name);
  if (!kept || !now) return UpdateUndo::NoRecentUpdate;
  TBaseline earlier;
  earlier.entries = {*kept};
  TStartups restore(kNoWindow, platform_);
  earlier.FillCatalogue(restore);
  // Kept in a file a program could have written: put back only an earlier version of the same
  // program, with the same arguments, that the entry's present command is an update of.
  if (restore.Count() != 1 || !MayBeUpdate(restore.Items(0), *now)) return UpdateUndo::NoRecentUpdate;
  // Only while the earlier program is still there: putting back a command that starts nothing helps no one.
  if (!platform_.files.IsFile(restore.Items(0).ProgramFile())) return UpdateUndo::EarlierGone;
  updatedFrom_.erase(updatedFrom_.begin() + (kept - updatedFrom_.data()));
  StoreRecentUpdates();
  // Refused from now on: the updater writing it again is undone, not told again.
  CarryOut(restore, {now}, true);
  return UpdateUndo::Undone;
}

void TChangeMonitor::WantSigners() {
  std::vector<std::string> unknown;
  for (int i = 0; i < snapshot_.Count(); ++i) {
    const std::string& program = snapshot_.Items(i).ProgramFile();
    if (signers_.find(text::UpperAscii(program)) == signers_.end()) unknown.push_back(program);
  }
  signerRecorder_.Want(unknown);
}

void TChangeMonitor::CollectSigners() {
  const auto found = signerRecorder_.TakeFound();
  for (const auto& [program, signer] : found) signers_[text::UpperAscii(program)] = signer;
  if (!found.empty()) StoreBaseline();
}

std::string TChangeMonitor::RecordedSigner(const std::string& programFile) const {
  const auto it = signers_.find(text::UpperAscii(programFile));
  return it == signers_.end() ? std::string() : it->second;
}

void TChangeMonitor::ConfirmDriverUndos(Section section, const std::vector<TDifference>& differences,
                                        const std::vector<std::size_t>& asked,
                                        const std::vector<std::size_t>& driversBack, const std::vector<bool>& byUser,
                                        std::vector<bool>& allowed, std::vector<std::size_t>& again) {
  // Undoing a driver Windows starts with may keep Windows from starting: only a Yes to a
  // question that says so undoes it, never a No given because the program is ending.
  std::vector<std::size_t> risky;
  for (const std::size_t i : asked) {
    if (allowed[i] || !differences[i].now || !catalogue::IsBootOrSystemDriver(*differences[i].now)) continue;
    if (byUser[i])
      risky.push_back(i);
    else
      allowed[i] = true;
  }
  risky.insert(risky.end(), driversBack.begin(), driversBack.end());
  if (risky.empty()) return;
  std::vector<TDifference> named;
  for (const std::size_t i : risky) named.push_back(differences[i]);
  const bool undo = !host_.Closing() && host_.ConfirmRisk(DriverRiskQuestion(named));
  const bool decided = !host_.Closing();
  for (const std::size_t i : risky) allowed[i] = !undo;
  for (const std::size_t i : driversBack) {
    // Kept, the refusal would be undone without the question the next time the driver changes.
    if (undo)
      again.push_back(i);
    else if (decided)
      refusals_.Forget(section, differences[i]);
  }
}

void TChangeMonitor::ClearRefusals() {
  // A check waiting for an answer still holds the refusals it looked up.
  if (Checking() || renewing_ > 0) {
    clearPending_ = true;
    return;
  }
  refusals_.Clear();
  administrator_.Clear();
  StoreBaseline();
}

void TChangeMonitor::AdoptStored(const TBaseline& baseline, const catalogue::TPlace& place) {
  const Section section = place.section;
  TBaseline ofSection;
  for (const TBaselineEntry& entry : baseline.entries)
    if (entry.section == section) ofSection.entries.push_back(entry);
  TStartups stored(kNoWindow, platform_);
  ofSection.FillCatalogue(stored);
  // The signers recorded then stand for the same program files now.
  std::unordered_map<std::string, std::string> signerOf;
  for (const TBaselineEntry& entry : ofSection.entries)
    if (!entry.signer.empty()) signerOf[entry.valueName.Text() + '\0' + entry.command] = entry.signer;
  for (int i = 0; !signerOf.empty() && i < stored.Count(); ++i) {
    const TStartup& entry = stored.Items(i);
    const auto it = signerOf.find(entry.ValueName() + '\0' + entry.Command());
    if (it != signerOf.end()) signers_[text::UpperAscii(entry.ProgramFile())] = it->second;
  }
  snapshot_.TakeSection(section);
  snapshot_.Adopt(stored.TakeSection(section));
  watches_.Disarm(place);
  held_.erase(section);
  cameBack_.erase(section);
  offlineSections_ = offlineSections_.With(section);
}

void TChangeMonitor::CheckOwnSettings() {
  if (!startLoad_) startLoad_ = LoadBaseline(platform_);
  if (startLoad_->state != TBaselineLoad::State::Loaded ||
      !startLoad_->baseline.places.Contains(catalogue::kKorvalisSettings))
    return;
  const catalogue::TPlace& settings = *catalogue::PlaceOf(catalogue::kKorvalisSettings);
  AdoptStored(startLoad_->baseline, settings);
  startedSections_ = startedSections_.With(settings.section);
  // Its refusals hold from the first question on.
  refusals_.Assign(startLoad_->baseline.refusals);
  if (Checking() || renewing_ > 0) return;
  CheckSection(settings);
}

void TChangeMonitor::StartFromBaseline() {
  LoadRecentUpdates();
  const TBaselineLoad load = startLoad_ ? std::move(*startLoad_) : LoadBaseline(platform_);
  startLoad_.reset();
  baselineStarted_ = true;
  if (load.state == TBaselineLoad::State::Unusable) host_.ReportError(Error(load.message));
  if (load.state != TBaselineLoad::State::Loaded) {
    ReadDeferred({});
    administrator_.Restore({});
    StoreBaseline();
    return;
  }
  if (startedSections_.Empty()) refusals_.Assign(load.baseline.refusals);
  administrator_.Restore(refusals_.All());
  // What was accepted then stands in the snapshot for every place guarded then and now, so the
  // first check asks about each difference; a place guarded only now starts from what it holds.
  catalogue::SectionSet adopted = startedSections_;
  const catalogue::PlaceList sweep = Sweep();
  for (const catalogue::TPlace* place : sweep)
    if (load.baseline.places.Contains(place->section) && !startedSections_.Contains(place->section)) {
      AdoptStored(load.baseline, *place);
      adopted = adopted.With(place->section);
    }
  ReadDeferred(adopted);
  // Answers given before the rest was taken from it are kept even if the program is killed now.
  if (!startedSections_.Empty()) StoreBaseline();
}

void TChangeMonitor::AcceptOwnWrite(Section section, const std::vector<std::string>& valueNames) {
  // The entries of a check under way are not pulled from under it: taken in when it ends.
  if (Checking() || renewing_ > 0) {
    ownWrites_.emplace_back(section, valueNames);
    return;
  }
  const auto named = [&](const TStartup& entry) {
    return std::any_of(valueNames.begin(), valueNames.end(),
                       [&](const std::string& name) { return text::SameTextAscii(name, entry.ValueName()); });
  };
  TStartups fresh(kNoWindow, platform_);
  ReadProblems problems;
  fresh.LoadSections(catalogue::SectionSet::Of(section), problems);
  std::vector<std::unique_ptr<TStartup>> renewed;
  for (auto& entry : snapshot_.TakeSection(section))
    if (!named(*entry)) renewed.push_back(std::move(entry));
  for (auto& entry : fresh.TakeSection(section))
    if (named(*entry)) renewed.push_back(std::move(entry));
  snapshot_.Adopt(std::move(renewed));
  StoreBaseline();
}

std::vector<std::uint8_t> TChangeMonitor::CurrentBaseline() const {
  catalogue::SectionSet places;
  for (const catalogue::TPlace* place : Sweep()) places = places.With(place->section);
  return TBaseline::EncodeSnapshot(
      snapshot_,
      [this](const TStartup& entry) {
        return signers_.empty() ? std::string() : RecordedSigner(entry.ProgramFile());
      },
      places, refusals_.All());
}

void TChangeMonitor::StoreBaseline() {
  // Until the stored one has been compared with, it is the only record of what was accepted.
  if (!baselineStarted_) return;
  const std::vector<std::uint8_t> encoded = CurrentBaseline();
  std::string digest = platform::Sha256Of(encoded);
  // A program that keeps writing itself back changes nothing stored between two notices.
  if (digest == storedDigest_) return;
  WantSigners();
  try {
    SaveEncodedBaseline(platform_, encoded);
    storedDigest_ = std::move(digest);
    saveErrors_.Clear();
  } catch (const std::exception& error) {
    if (saveErrors_.Fresh(error.what())) host_.ReportError(error);
  }
}

const TStartup* TChangeMonitor::RestoreCopy(TStartups& restore, const TStartup& before) {
  // The earlier state byte for byte where the place keeps it: a startup file, a value's type.
  return restore.AddRecord(before.Record(), before.Title());
}

const TStartup* TChangeMonitor::KeptInstead(TStartups& restore, const TStartup& added) {
  // A value the system cannot log on without is never deleted: a refused addition gets the
  // system's own data, named by the place (the earlier data, if any, was a removal the user took).
  std::string data = *added.Place()->KeptData(added.ValueName());
  const std::string system = "%system%";
  if (const auto at = data.find(system); at != std::string::npos) {
    const std::string folder = platform::SystemDir(platform_.environment);
    if (folder.empty()) {
      host_.ReportUndoFailed(RecordedEntryOf(added), Error(FormatText("Failed to set data for '%s'", added.Name())));
      return &added;
    }
    data.replace(at, system.size(), folder);
  }
  return restore.AddEntry(added.Name(), added.Key(), std::string(), data, added.GetSection(), added.IconIndex());
}

std::vector<const TStartup*> TChangeMonitor::WriteBack(const TStartups& restore,
                                                       std::vector<std::pair<const TStartup*, std::string>>& refused) {
  // Every refused change is put back that can be; each one that cannot is reported.
  std::vector<const TStartup*> failed;
  for (int i = 0; i < restore.Count(); ++i) {
    const TStartup& entry = restore.Items(i);
    try {
      entry.Apply();
      host_.Record(TDecision::Undone, RecordedEntryOf(entry), std::string());
    } catch (const RightsMissingError& error) {
      // Only what the elevated copy would carry out is offered: it refuses a request as a whole.
      const catalogue::TPlace& place = *entry.Place();
      if (ElevatedUndoAllowed(place) && (!entry.Enabled() || ElevatedWriteAllowed(place, entry.ValueName())))
        refused.emplace_back(&entry, error.what());
      else
        host_.ReportUndoFailed(RecordedEntryOf(entry), error);
      failed.push_back(&entry);
    } catch (const Error& error) {
      host_.ReportUndoFailed(RecordedEntryOf(entry), error);
      failed.push_back(&entry);
    }
  }
  return failed;
}

void TChangeMonitor::UndoPendingAsAdministrator() {
  if (Checking() || renewing_ > 0) return;
  std::vector<std::pair<Section, std::vector<std::string>>> carriedOut;
  {
    // The reports' message boxes may run the tick: no check starts meanwhile.
    TScope scope(checking_);
    const std::vector<TUndoOperation> undos = administrator_.TakeWaiting();
    const std::vector<Undone> undone = administrator_.Run(undos, {}, false);
    for (std::size_t i = 0; i < undos.size(); ++i) {
      const TUndoOperation& undo = undos[i];
      if (undone[i] == Undone::Yes) {
        carriedOut.emplace_back(undo.writeBack.section, std::vector<std::string>{undo.writeBack.valueName.Text()});
      } else if (undone[i] == Undone::No && undo.hasNow) {
        // Not carried out: what stays is asked about when it comes back.
        TStartups stays(kNoWindow, platform_);
        if (const TStartup* now = stays.AddEntry(undo.now.name, undo.now.valueName, std::string(), undo.now.command,
                                                 undo.now.section, 0))
          refusals_.Forget(undo.now.section, TDifference{ChangeKind::Added, now, nullptr});
      }
    }
  }
  // The snapshot follows the places, so an undo is not taken for a change of its own.
  for (const auto& [section, valueNames] : carriedOut) AcceptOwnWrite(section, valueNames);
  StoreBaseline();
  AfterCheck();
}

void TChangeMonitor::RenewSection(Section section, TStartups& fresh, TStartups& restore,
                                  const std::vector<Outcome>& outcomes, const std::vector<const TStartup*>& failed) {
  // The section is taken anew from the answers, not read again: a change made while a question
  // was open is still a difference, to be asked about at the next tick. A refused change that
  // could not be put back is taken as it stands, so it is not asked again and again. The
  // entries kept are handed over, not copied.
  std::unordered_map<const TStartup*, std::unique_ptr<TStartup>> available;
  for (auto& entry : fresh.TakeSection(section)) available.emplace(entry.get(), std::move(entry));
  for (auto& entry : snapshot_.TakeSection(section)) available.emplace(entry.get(), std::move(entry));
  for (auto& entry : restore.TakeSection(section)) available.emplace(entry.get(), std::move(entry));
  std::vector<std::unique_ptr<TStartup>> renewed;
  const std::unordered_set<const TStartup*> failedSet(failed.begin(), failed.end());
  for (const Outcome& outcome : outcomes) {
    const bool writeFailed = outcome.writeBack && failedSet.count(outcome.writeBack) > 0;
    const TStartup* kept = writeFailed ? outcome.ifFailed : outcome.ifWritten;
    const auto it = kept ? available.find(kept) : available.end();
    if (it != available.end() && it->second) renewed.push_back(std::move(it->second));
  }
  snapshot_.Adopt(std::move(renewed));
}

bool TChangeMonitor::ConfirmChange(const TChangeQuestion& question, bool offline, bool& byUser) {
  const TStartup& entry = *question.entry;
  host_.Record(TDecision::Asked, RecordedEntryOf(entry), std::string());
  const bool allowed = host_.AskUser(question, offline);
  byUser = !host_.Closing();
  RecordAnswer(host_, entry, allowed);
  const std::string alwaysAllow = host_.TakeAlwaysAllow();
  if (allowed && byUser && !alwaysAllow.empty() && RuleMayCover(entry)) {
    try {
      ChangeAllowRule(TAllowRule{entry.GetSection(), entry.ValueName(), alwaysAllow}, true);
    } catch (const std::exception& error) {
      host_.ReportError(error);
    }
  }
  Log(catalogue::ChangeKindNames[static_cast<int>(question.kind)], entry);
  return allowed;
}

void TChangeMonitor::Log(const std::string& what, const TStartup& entry) {
  if (switches_.Logs) host_.WriteLog(what + ": " + entry.Name() + " " + entry.Command());
}

void TChangeMonitor::CarryOut(const TStartups& restore, const std::vector<const TStartup*>& now, bool refuse) {
  std::vector<std::pair<Section, std::vector<std::string>>> carriedOut;
  {
    TScope scope(checking_);
    Plan plan;
    for (int i = 0; i < restore.Count(); ++i) {
      const TStartup* there = now[static_cast<std::size_t>(i)];
      if (there) plan.decided[there] = Outcome{nullptr, there, &restore.Items(i)};
      if (!refuse || !there) continue;
      refusals_.Remember(there->GetSection(), TDifference{ChangeKind::Added, there, nullptr});
      // Refused just now by the user: no notice that it "came back".
      if (TRefusal* refusal = refusals_.Standing(there->GetSection(), TDifference{ChangeKind::Added, there, nullptr}))
        TRefusals::NoticeDue(*refusal, NowSeconds());
    }
    std::vector<std::pair<const TStartup*, std::string>> refused;
    std::vector<const TStartup*> failed = WriteBack(restore, refused);
    const std::unordered_set<const TStartup*> pending = UndoRefused(refused, plan, {}, failed);
    for (int i = 0; i < restore.Count(); ++i) {
      const TStartup& entry = restore.Items(i);
      const TStartup* there = now[static_cast<std::size_t>(i)];
      if (std::find(failed.begin(), failed.end(), &entry) == failed.end())
        carriedOut.emplace_back(entry.GetSection(), std::vector<std::string>{entry.ValueName()});
      else if (refuse && there && !pending.count(&entry))
        refusals_.Forget(there->GetSection(), TDifference{ChangeKind::Added, there, nullptr});
    }
  }
  // The snapshot follows the places, so an action is not taken for a change of its own.
  for (const auto& [section, valueNames] : carriedOut)
    if (Swept(section)) AcceptOwnWrite(section, valueNames);
  StoreBaseline();
  AfterCheck();
}

}  // namespace korvalis::app
