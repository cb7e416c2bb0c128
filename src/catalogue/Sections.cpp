#include "catalogue/Sections.h"

namespace korvalis::catalogue {

const std::array<const char*, 3> ChangeKindNames = {"Add", "Remove", "Change"};

SectionSet::SectionSet(std::initializer_list<Section> sections) {
  for (Section section : sections) *this = With(section);
}

SectionSet SectionSet::Of(Section section) { return SectionSet{section}; }

SectionSet SectionSet::With(Section section) const {
  SectionSet set = *this;
  set.words_[section / 64] |= std::uint64_t{1} << (section % 64);
  return set;
}

SectionSet SectionSet::Without(Section section) const {
  SectionSet set = *this;
  set.words_[section / 64] &= ~(std::uint64_t{1} << (section % 64));
  return set;
}

}  // namespace korvalis::catalogue
