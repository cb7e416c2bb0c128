#include "app/ChangeMonitor.h"

#include "app/NameIndex.h"

#include <algorithm>

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
constexpr Section kSweepOrder[] = {8, 9, 4, 5, 6, 7};
// The order in which a whole snapshot is read: folders, then the registry.
constexpr Section kSnapshotOrder[] = {10, 0, 7, 6, 5, 4, 9, 8};

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return text::SameTextAscii(n, name); });
}

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
    : owner_(owner),
      platform_(platform),
      switches_(switches),
      host_(host),
      snapshot_(owner, platform),
      watches_(platform.registry, std::move(clock)) {}

void TChangeMonitor::TakeSnapshot() {
  if (Checking()) {
    renewalPending_ = true;
    return;
  }
  RenewAll();
}

void TChangeMonitor::RenewAll() {
  renewalPending_ = false;
  snapshot_.Clear();
  for (Section section : kSnapshotOrder) {
    if (catalogue::IsRegistrySection(section)) watches_.Arm(section);
    ReadProblems problems;
    LoadSection(snapshot_, section, problems);
  }
}

void TChangeMonitor::CheckAllSections() {
  {
    CheckScope scope(checking_);
    // One look at the notifications; after a section was checked (questions may have been open
    // for a while) another look for the sections still to come.
    catalogue::SectionSet due = watches_.Due();
    for (Section section : kSweepOrder) {
      if (!due.Contains(section)) continue;
      CheckSection(section);
      due = watches_.Due();
    }
  }
  if (renewalPending_ && !Checking()) RenewAll();
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
  TStartups restore(owner_, platform_);
  std::vector<Outcome> outcomes;
  bool differs = false;
  const TNameIndex snapshotNames(snapshot_, section);
  const TNameIndex freshNames(fresh, section);

  for (int i = 0; i < fresh.Count(); ++i) {
    const TStartup& now = fresh.Items(i);
    const TStartup* before = snapshotNames.Find(now.Name());
    if (before && text::SameTextAscii(before->Command(), now.Command())) {
      outcomes.push_back(Outcome{&now, &now, nullptr});
      continue;
    }
    differs = true;
    if (before) {
      if (ConfirmChange(now, ChangeKind::Changed))
        outcomes.push_back(Outcome{&now, &now, nullptr});
      else
        outcomes.push_back(Outcome{before, &now, restore.AddCopy(*before)});
    } else if (ConfirmChange(now, ChangeKind::Added)) {
      outcomes.push_back(Outcome{&now, &now, nullptr});
    } else {
      TStartup* removal = restore.AddCopy(now);
      if (removal) removal->SetEnabled(false);
      outcomes.push_back(Outcome{nullptr, &now, removal});
    }
  }
  for (int i = 0; i < snapshot_.Count(); ++i) {
    const TStartup& before = snapshot_.Items(i);
    if (before.GetSection() != section || freshNames.Find(before.Name())) continue;
    // A value that is there but could not be read has not been removed.
    if (Contains(problems.unreadableNames, before.Name())) {
      outcomes.push_back(Outcome{&before, &before, nullptr});
      continue;
    }
    differs = true;
    if (!ConfirmChange(before, ChangeKind::Removed)) outcomes.push_back(Outcome{&before, nullptr, restore.AddCopy(before)});
  }

  const std::vector<const TStartup*> failed = WriteBack(restore);
  if (differs) RenewSection(section, outcomes, failed);
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

void TChangeMonitor::RenewSection(Section section, const std::vector<Outcome>& outcomes,
                                  const std::vector<const TStartup*>& failed) {
  // The section is taken anew from the answers, not read again: a change made while a question
  // was open is still a difference, to be asked about at the next tick. A refused change that
  // could not be put back is taken as it stands, so it is not asked again and again.
  TStartups renewed(owner_, platform_);
  for (const Outcome& outcome : outcomes) {
    const bool writeFailed =
        outcome.writeBack && std::find(failed.begin(), failed.end(), outcome.writeBack) != failed.end();
    if (const TStartup* kept = writeFailed ? outcome.ifFailed : outcome.ifWritten) renewed.AddCopy(*kept);
  }
  snapshot_.RemoveSection(section);
  for (int i = 0; i < renewed.Count(); ++i) snapshot_.AddCopy(renewed.Items(i));
}

bool TChangeMonitor::ConfirmChange(const TStartup& entry, ChangeKind kind) {
  if (!switches_.Notification) return true;
  const bool allowed = host_.AskUser(entry, kind);
  if (switches_.Logs)
    host_.WriteLog(std::string(catalogue::ChangeKindNames[static_cast<int>(kind)]) + ": " + entry.Name() + " " +
                   entry.Command());
  return allowed;
}

}  // namespace korvalis::app
