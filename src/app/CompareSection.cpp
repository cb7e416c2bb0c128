#include "app/CompareSection.h"

#include <algorithm>

#include "app/NameIndex.h"
#include "text/StrMan.h"

namespace korvalis::app {

using catalogue::ChangeKind;
using catalogue::TStartup;

TSectionComparison CompareSection(const catalogue::TStartups& snapshot, const catalogue::TStartups& fresh,
                                  catalogue::Section section, const std::vector<std::string>& unreadableNames) {
  TSectionComparison result;
  // A startup file is compared by its content too: a batch file's new bytes are a change; and a
  // service by its start type: one starting at boot instead of later is a change.
  const bool byContent = catalogue::IsFolderSection(section);
  const catalogue::TPlace* place = catalogue::PlaceOf(section);
  const bool byStartType = place && place->kind == catalogue::PlaceKind::Service;
  const auto same = [&](const TStartup& before, const TStartup& now) {
    return text::SameTextAscii(before.Command(), now.Command()) &&
           (!byContent || (before.ContentSize() == now.ContentSize() && before.ContentHash() == now.ContentHash())) &&
           (!byStartType || before.ValueType() == now.ValueType());
  };
  const TNameIndex snapshotNames(snapshot, section);
  const TNameIndex freshNames(fresh, section);
  for (int i = 0; i < fresh.Count(); ++i) {
    const TStartup& now = fresh.Items(i);
    const TStartup* before = snapshotNames.Find(now.ValueName());
    if (!before)
      result.differences.push_back(TDifference{ChangeKind::Added, &now, nullptr});
    else if (same(*before, now))
      result.unchanged.push_back(&now);
    else
      result.differences.push_back(TDifference{ChangeKind::Changed, &now, before});
  }
  for (int i = 0; i < snapshot.Count(); ++i) {
    const TStartup& before = snapshot.Items(i);
    if (before.GetSection() != section || freshNames.Find(before.ValueName())) continue;
    const bool unreadable = std::any_of(unreadableNames.begin(), unreadableNames.end(), [&](const std::string& name) {
      return text::SameTextAscii(name, before.ValueName());
    });
    if (unreadable)
      result.unreadable.push_back(&before);
    else
      result.differences.push_back(TDifference{ChangeKind::Removed, nullptr, &before});
  }
  return result;
}

}  // namespace korvalis::app
