#include "catalogue/Sections.h"

#include "catalogue/Places.h"

namespace korvalis::catalogue {

const std::array<const char*, kClassicSectionCount> SectionNames = {
    "Local Machine Startup Folder", "WinIni Run",           "WinIni Load",
    "System Ini",                   "Local Machine Run",    "Local Machine Run Once",
    "Local Machine Services",       "Local Machine Service Once", "Current User Run",
    "Current User Run Once",        "Current User Startup Folder",
};

const std::array<const char*, 3> ChangeKindNames = {"Add", "Remove", "Change"};

namespace {
const std::array<const char*, 6> kSectionKeys = {
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
};
}  // namespace

const char* SectionName(Section section) {
  const TPlace* place = PlaceOf(section);
  return place ? place->name.c_str() : "";
}

const char* SectionKey(Section section) {
  return IsRegistrySection(section) ? kSectionKeys[section - kLocalMachineRun] : nullptr;
}

bool IsRegistrySection(Section section) { return section >= kLocalMachineRun && section <= kCurrentUserRunOnce; }

bool IsFolderSection(Section section) {
  return section == kLocalMachineStartupFolder || section == kCurrentUserStartupFolder;
}

platform::RootKey SectionRoot(Section section) {
  return section >= kCurrentUserRun ? platform::RootKey::CurrentUser : platform::RootKey::LocalMachine;
}

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
