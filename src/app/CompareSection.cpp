#include "app/CompareSection.h"

#include <algorithm>
#include <optional>

#include "app/NameIndex.h"
#include "catalogue/TaskDefinition.h"
#include "platform/Services.h"
#include "text/StrMan.h"

namespace korvalis::app {

using catalogue::ChangeKind;
using catalogue::TStartup;

namespace {

// A service that only starts when asked for (a trigger, a dependency, a call) is no new way to
// start by itself: one that comes so, or a service moved to start later, is taken as it
// stands. What a service runs counts whenever it may start; so does its library when it came
// to a service already there.
bool StartsNoSooner(const TDifference& difference, const TNameIndex& snapshotNames, const TNameIndex& freshNames) {
  const TStartup& now = *difference.now;
  if (!now.Key().BelowSubkey()) {
    if (difference.kind == ChangeKind::Added) return now.ValueType() == platform::kServiceDemandStart;
    return text::SameTextAscii(difference.before->Command(), now.Command()) &&
           now.ValueType() > difference.before->ValueType();
  }
  const std::string service(now.Key().TopKey());
  const TStartup* owner = freshNames.Find(service);
  return difference.kind == ChangeKind::Added && owner && owner->ValueType() == platform::kServiceDemandStart &&
         !snapshotNames.Find(service);
}

// A disabled task starts nothing: one that comes or goes so, or is switched off, is taken as it
// stands; switched on again it is asked about.
bool DisabledTask(const TDifference& difference) {
  const TStartup& entry = difference.now ? *difference.now : *difference.before;
  return entry.ValueType() == catalogue::kTaskDisabled;
}

// Task Manager's switch of an entry starts something only when it turns a disabled entry back
// on (an odd first byte made even, or the value deleted); that is asked as the entry's addition.
// Disabling starts nothing, and a switch of an entry the place does not hold switches nothing.
void AskReenabled(TDifference& difference, const TNameIndex& switched) {
  difference.quiet = true;
  if (difference.kind == ChangeKind::Added || !catalogue::DisablesEntry(*difference.before)) return;
  if (difference.kind == ChangeKind::Changed && catalogue::DisablesEntry(*difference.now)) return;
  difference.started = switched.Find(difference.before->ValueName());
  difference.quiet = difference.started == nullptr;
}

}  // namespace

TSectionComparison CompareSection(const catalogue::TStartups& snapshot, const catalogue::TStartups& fresh,
                                  const catalogue::TPlace& place, const std::vector<std::string>& unreadableNames) {
  TSectionComparison result;
  const catalogue::Section section = place.section;
  // A startup file is compared by its content too: a batch file's new bytes are a change; and a
  // service by its start type: one starting at boot instead of later is a change.
  const catalogue::TComparedBy by = place.Kind().ComparedBy();
  const bool byContent = by.content, byStartType = by.startType, byEnabled = by.enabled;
  // A service's library has no start type of its own.
  const auto same = [&](const TStartup& before, const TStartup& now) {
    return text::SameTextAscii(before.Command(), now.Command()) &&
           (!byContent || (before.ContentSize() == now.ContentSize() && before.ContentHash() == now.ContentHash())) &&
           (!byStartType || before.ValueType() == now.ValueType() || now.Key().BelowSubkey()) &&
           (!byEnabled || before.ValueType() == now.ValueType());
  };
  const TNameIndex snapshotNames(snapshot, section);
  const TNameIndex freshNames(fresh, section);
  std::optional<TNameIndex> switched;
  if (place.approves) switched.emplace(snapshot, *place.approves);
  for (int i = 0; i < fresh.Count(); ++i) {
    const TStartup& now = fresh.Items(i);
    const TStartup* before = snapshotNames.Find(now.ValueName());
    TDifference difference{before ? ChangeKind::Changed : ChangeKind::Added, &now, before};
    if (before && same(*before, now)) {
      result.unchanged.push_back(&now);
      continue;
    }
    difference.quiet = (byStartType && StartsNoSooner(difference, snapshotNames, freshNames)) ||
                       (byEnabled && DisabledTask(difference));
    if (switched) AskReenabled(difference, *switched);
    result.differences.push_back(difference);
  }
  for (int i = 0; i < snapshot.Count(); ++i) {
    const TStartup& before = snapshot.Items(i);
    if (before.GetSection() != section || freshNames.Find(before.ValueName())) continue;
    const bool unreadable = std::any_of(unreadableNames.begin(), unreadableNames.end(), [&](const std::string& name) {
      return text::SameTextAscii(name, before.ValueName());
    });
    if (unreadable) {
      result.unreadable.push_back(&before);
      continue;
    }
    TDifference difference{ChangeKind::Removed, nullptr, &before,
                           byEnabled && DisabledTask({ChangeKind::Removed, nullptr, &before})};
    if (switched) AskReenabled(difference, *switched);
    result.differences.push_back(difference);
  }
  return result;
}

void MarkDisabledInTaskManager(catalogue::TStartups& snapshot, catalogue::TStartups& fresh,
                               const catalogue::TPlace& place) {
  const catalogue::Section section = place.section;
  const catalogue::Section switched = place.approves.value_or(section);
  std::vector<TNameIndex> approvals;
  for (const catalogue::Section of : catalogue::ApprovalPlacesOf(switched))
    approvals.emplace_back(of == section ? fresh : snapshot, of);
  if (approvals.empty()) return;
  const auto mark = [&](catalogue::TStartups& entries) {
    for (int i = 0; i < entries.Count(); ++i) {
      TStartup& entry = entries.Items(i);
      if (entry.GetSection() != switched) continue;
      entry.SetDisabledInTaskManager(std::any_of(approvals.begin(), approvals.end(), [&](const TNameIndex& index) {
        const TStartup* approval = index.Find(entry.ValueName());
        return approval && catalogue::DisablesEntry(*approval);
      }));
    }
  };
  mark(snapshot);
  if (!place.approves) mark(fresh);
}

}  // namespace korvalis::app
