#pragma once
// The first entry of a section with a given registry value name, compared with ASCII letters folded.
// A hash index for large sections; a plain walk for the handful of entries a key usually has.
#include <string>
#include <string_view>
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
  // Hashing and comparing with ASCII letters folded, without a folded copy of every name.
  struct FoldedHash {
    std::size_t operator()(std::string_view text) const;
  };
  struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const;
  };

  std::vector<const catalogue::TStartup*> entries_;  // of the section, in catalogue order
  // Views of the entries' names, which outlive the index.
  std::unordered_map<std::string_view, const catalogue::TStartup*, FoldedHash, FoldedEqual> first_;
};

}  // namespace korvalis::app
