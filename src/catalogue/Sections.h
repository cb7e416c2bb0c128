#pragma once
// The numbered startup locations and sets of them.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "platform/Registry.h"

namespace korvalis::catalogue {

using Section = std::uint8_t;
constexpr int kSectionCount = 11;

constexpr Section kLocalMachineStartupFolder = 0;
constexpr Section kLocalMachineRun = 4;
constexpr Section kLocalMachineRunOnce = 5;
constexpr Section kLocalMachineServices = 6;
constexpr Section kLocalMachineServiceOnce = 7;
constexpr Section kCurrentUserRun = 8;
constexpr Section kCurrentUserRunOnce = 9;
constexpr Section kCurrentUserStartupFolder = 10;

// Display names, indexed by section number.
extern const std::array<const char*, kSectionCount> SectionNames;

// The section's display name; empty text outside 0 to 10.
const char* SectionName(Section section);

// Registry key path of sections 4 to 9 (with its leading backslash); nullptr otherwise.
const char* SectionKey(Section section);

bool IsRegistrySection(Section section);
bool IsFolderSection(Section section);

// HKEY_LOCAL_MACHINE for sections 4 to 7, HKEY_CURRENT_USER for 8 and 9.
platform::RootKey SectionRoot(Section section);

// A set of sections, bit n standing for section n.
class SectionSet {
 public:
  constexpr SectionSet() = default;
  SectionSet(std::initializer_list<Section> sections);
  static SectionSet Of(Section section);
  static constexpr SectionSet FromBits(std::uint16_t bits) { return SectionSet(bits); }

  constexpr bool Contains(Section section) const { return section < kSectionCount && (bits_ >> section) & 1u; }
  constexpr std::uint16_t Bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }

 private:
  constexpr explicit SectionSet(std::uint16_t bits) : bits_(static_cast<std::uint16_t>(bits & 0x07FF)) {}
  std::uint16_t bits_ = 0;
};

// Sections 0 and 4 to 10: every location the program reads.
constexpr SectionSet AllSections = SectionSet::FromBits(2033);

enum class ChangeKind : std::uint8_t { Added = 0, Removed = 1, Changed = 2 };

// The words of the decision line, indexed by ChangeKind.
extern const std::array<const char*, 3> ChangeKindNames;

}  // namespace korvalis::catalogue
