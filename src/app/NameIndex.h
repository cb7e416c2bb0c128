#pragma once
// The first entry of a section with a given name, names compared with ASCII letters folded.
// A hash index for large sections; a plain walk for the handful of entries a key usually has.
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/Startups.h"

namespace korvalis::app {

class TNameIndex {
 public:
  static constexpr std::size_t kIndexFrom = 16;

  TNameIndex(const catalogue::TStartups& catalogue, catalogue::Section section);
  const catalogue::TStartup* Find(const std::string& name) const;

 private:
  std::vector<const catalogue::TStartup*> entries_;  // of the section, in catalogue order
  std::unordered_map<std::string, const catalogue::TStartup*> first_;  // folded name: first entry
};

}  // namespace korvalis::app
