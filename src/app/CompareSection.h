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
};

struct TSectionComparison {
  std::vector<const catalogue::TStartup*> unchanged;   // fresh entries the snapshot holds as they are
  std::vector<const catalogue::TStartup*> unreadable;  // snapshot entries whose values could not be read
  std::vector<TDifference> differences;
};

// unreadableNames: values that exist but could not be read; their absence is no removal.
TSectionComparison CompareSection(const catalogue::TStartups& snapshot, const catalogue::TStartups& fresh,
                                  catalogue::Section section, const std::vector<std::string>& unreadableNames);

}  // namespace korvalis::app
