#pragma once
// The numbered startup locations and sets of them.
#include <array>
#include <cstdint>
#include <initializer_list>

#include "platform/Registry.h"

namespace korvalis::catalogue {

using Section = std::uint8_t;
// Every number a section can have; catalogue/Places.cpp says which ones a place has.
constexpr int kSectionCount = 256;

constexpr Section kLocalMachineStartupFolder = 0;
constexpr Section kLocalMachineRun = 4;
constexpr Section kLocalMachineRunOnce = 5;
constexpr Section kLocalMachineServices = 6;
constexpr Section kLocalMachineServiceOnce = 7;
constexpr Section kCurrentUserRun = 8;
constexpr Section kCurrentUserRunOnce = 9;
constexpr Section kCurrentUserStartupFolder = 10;
// The machine sections 4 to 7 in the other registry view.
constexpr Section kLocalMachineRunOther = 11;
constexpr Section kLocalMachineRunOnceOther = 12;
constexpr Section kLocalMachineServicesOther = 13;
constexpr Section kLocalMachineServiceOnceOther = 14;
// The further logon places (catalogue/Places.cpp says what each one is).
constexpr Section kCurrentUserPoliciesRun = 15;
constexpr Section kLocalMachinePoliciesRun = 16;
constexpr Section kLocalMachineRunOnceEx = 17;
constexpr Section kCurrentUserWindowsLoad = 18;
constexpr Section kCurrentUserLogonScript = 19;
constexpr Section kLocalMachineWinlogon = 20;
constexpr Section kLocalMachineActiveSetup = 21;
constexpr Section kLocalMachineTerminalStartup = 22;
constexpr Section kLocalMachineBootExecute = 23;
constexpr Section kLocalMachineBootVerification = 24;
constexpr Section kCurrentUserStartupLocation = 25;
constexpr Section kLocalMachineStartupLocation = 26;
// 27 to 31: the machine places of 16, 17, 20, 21 and 26 in the other registry view.
// Korvalis's own switches, guarded whatever they say.
constexpr Section kKorvalisSettings = 32;
// The user's rules that allow changes of one entry signed by one signer, guarded as the switches.
constexpr Section kKorvalisAllowRules = 111;

// The section's display name, for every place; empty text for a number no place has.
const char* SectionName(Section section);

// The six registry sections of the first design (4 to 9).
bool IsRegistrySection(Section section);
// The two startup folders (0 and 10).
bool IsFolderSection(Section section);

// A set of sections, bit n standing for section n; wide enough for every number a section can have.
class SectionSet {
 public:
  static constexpr int kCapacity = 256;
  constexpr SectionSet() = default;
  SectionSet(std::initializer_list<Section> sections);
  static SectionSet Of(Section section);
  // The sections 0 to 31 of the low bits, as the first designs numbered them.
  static constexpr SectionSet FromBits(std::uint32_t bits) {
    SectionSet set;
    set.words_[0] = bits;
    return set;
  }

  constexpr bool Contains(Section section) const { return (words_[section / 64] >> (section % 64)) & 1u; }
  constexpr bool Empty() const { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }
  // The low 32 bits, for the sections of the first designs.
  constexpr std::uint32_t LowBits() const { return static_cast<std::uint32_t>(words_[0]); }
  SectionSet With(Section section) const;
  SectionSet Without(Section section) const;
  bool operator==(const SectionSet& other) const { return words_ == other.words_; }
  bool operator!=(const SectionSet& other) const { return !(*this == other); }

 private:
  std::array<std::uint64_t, 4> words_{};
};

// Sections 0 and 4 to 10: every location the first design read.
SectionSet AllSections();

enum class ChangeKind : std::uint8_t { Added = 0, Removed = 1, Changed = 2 };

// The words of the decision line, indexed by ChangeKind.
extern const std::array<const char*, 3> ChangeKindNames;

}  // namespace korvalis::catalogue
