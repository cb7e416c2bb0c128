#pragma once
// What a tolerant reading of the registry could not take in, instead of stopping at it.
#include <string>
#include <vector>

namespace korvalis::catalogue {

struct ReadProblems {
  // The error texts, in the order met ("Invalid data type for '...'", "Failed to get data for '...'").
  std::vector<std::string> messages;
  // Values that exist but could not be read: their absence from a reading says nothing.
  std::vector<std::string> unreadableNames;

  bool Empty() const { return messages.empty(); }
};

}  // namespace korvalis::catalogue
