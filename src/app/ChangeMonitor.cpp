#include "app/ChangeMonitor.h"

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

bool HasName(const TStartups& catalogue, const std::string& name) {
  for (int i = 0; i < catalogue.Count(); ++i)
    if (text::SameTextAscii(catalogue.Items(i).ValueName(), name)) return true;
  return false;
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
                               const TSwitches& switches, MonitorHost& host)
    : owner_(owner), platform_(platform), switches_(switches), host_(host), snapshot_(owner, platform) {}

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
    ReadProblems problems;
    LoadSection(snapshot_, section, problems);
  }
}

void TChangeMonitor::CheckAllSections() {
  {
    CheckScope scope(checking_);
    for (Section section : kSweepOrder) CheckSection(section);
  }
  if (renewalPending_ && !Checking()) RenewAll();
}

void TChangeMonitor::LoadSection(TStartups& into, Section section, ReadProblems& problems) {
  into.LoadSections(catalogue::SectionSet::Of(section), problems);
  ReportNewProblems(section, problems);
}

void TChangeMonitor::ReportNewProblems(Section section, const ReadProblems& problems) {
  std::set<std::string>& shown = shownProblems_[section];
  const std::set<std::string> current(problems.messages.begin(), problems.messages.end());
  for (const auto& message : current)
    if (!shown.count(message)) host_.ReportError(Error(message));
  shown = current;
}

const TStartup* TChangeMonitor::SnapshotEntry(Section section, const std::string& name) const {
  for (int i = 0; i < snapshot_.Count(); ++i) {
    const TStartup& entry = snapshot_.Items(i);
    if (entry.GetSection() == section && text::SameTextAscii(entry.ValueName(), name)) return &entry;
  }
  return nullptr;
}

void TChangeMonitor::CheckSection(Section section) {
  CheckScope scope(checking_);
  TStartups fresh(owner_, platform_);
  ReadProblems problems;
  LoadSection(fresh, section, problems);
  TStartups restore(owner_, platform_);
  bool differs = false;

  for (int i = 0; i < fresh.Count(); ++i) {
    const TStartup& now = fresh.Items(i);
    const TStartup* before = SnapshotEntry(section, now.ValueName());
    if (before && text::SameTextAscii(before->Command(), now.Command())) continue;
    differs = true;
    if (before) {
      if (!ConfirmChange(now, ChangeKind::Changed)) restore.AddCopy(*before);
    } else if (!ConfirmChange(now, ChangeKind::Added)) {
      if (TStartup* copy = restore.AddCopy(now)) copy->SetEnabled(false);
    }
  }
  for (int i = 0; i < snapshot_.Count(); ++i) {
    const TStartup& before = snapshot_.Items(i);
    if (before.GetSection() != section || HasName(fresh, before.ValueName())) continue;
    // A value that is there but could not be read has not been removed.
    if (Contains(problems.unreadableNames, before.ValueName())) continue;
    differs = true;
    if (!ConfirmChange(before, ChangeKind::Removed)) restore.AddCopy(before);
  }

  WriteBack(restore);
  if (differs) RenewSection(section, problems);
}

void TChangeMonitor::WriteBack(const TStartups& restore) {
  // Every refused change is put back that can be; each one that cannot is reported.
  for (int i = 0; i < restore.Count(); ++i) {
    try {
      restore.Items(i).Apply();
    } catch (const Error& error) {
      host_.ReportError(error);
    }
  }
}

void TChangeMonitor::RenewSection(Section section, const ReadProblems& problems) {
  // Only this section is taken anew: a difference elsewhere must still be asked about when
  // the sweep reaches its own section. Entries that could not be read keep their old state.
  TStartups kept(owner_, platform_);
  for (int i = 0; i < snapshot_.Count(); ++i) {
    const TStartup& entry = snapshot_.Items(i);
    if (entry.GetSection() == section && Contains(problems.unreadableNames, entry.ValueName())) kept.AddCopy(entry);
  }
  snapshot_.RemoveSection(section);
  ReadProblems renewed;
  LoadSection(snapshot_, section, renewed);
  for (int i = 0; i < kept.Count(); ++i)
    if (Contains(renewed.unreadableNames, kept.Items(i).ValueName())) snapshot_.AddCopy(kept.Items(i));
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
