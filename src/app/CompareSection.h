#pragma once
// What differs between a fresh reading of one section and the snapshot, in the order the user
// is asked: additions and changes in the order of the reading, then removals in the order of
// the snapshot. Names and commands compare with ASCII letters folded only.
#include <string>
#include <vector>

#include "catalogue/Startups.h"

namespace korvalis::app {

struct TDifference {
  catalogue::ChangeKind kind;
  const catalogue::TStartup* now;     // the fresh entry; none for a removal
  const catalogue::TStartup* before;  // the snapshot's entry; none for an addition
  // Taken as it stands without a question, as the kinds a place does not ask about: a service
  // that comes or moves to start on demand, a task that comes, goes or stays disabled.
  bool quiet = false;
  // The entry a difference of Task Manager's switches turns back on (the snapshot's): the
  // question names it, as its addition.
  const catalogue::TStartup* started = nullptr;
};

// The kind of change the user is asked about.
inline catalogue::ChangeKind AskedAs(const TDifference& difference) {
  return difference.started ? catalogue::ChangeKind::Added : difference.kind;
}

struct TSectionComparison {
  std::vector<const catalogue::TStartup*> unchanged;   // fresh entries the snapshot holds as they are
  std::vector<const catalogue::TStartup*> unreadable;  // snapshot entries whose values could not be read
  std::vector<TDifference> differences;
};

// unreadableNames: values that exist but could not be read; their absence is no removal.
TSectionComparison CompareSection(const catalogue::TStartups& snapshot, const catalogue::TStartups& fresh,
                                  const catalogue::TPlace& place, const std::vector<std::string>& unreadableNames);

// Marks the entries a check of the section may show (of the section, or those its approval values
// switch) as Task Manager has them: the approval place being checked as read now, the others as
// the snapshot holds them.
void MarkDisabledInTaskManager(catalogue::TStartups& snapshot, catalogue::TStartups& fresh,
                               const catalogue::TPlace& place);

}  // namespace korvalis::app
