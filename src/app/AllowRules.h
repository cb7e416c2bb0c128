#pragma once
// The user's rules "Always allow changes of this entry signed by <signer>": a change of that
// entry in that place is taken unasked while its program file is validly signed by that signer.
// A rule is a value of a guarded key of its own, so a rule another program writes is asked.
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Sections.h"
#include "catalogue/Startups.h"

namespace korvalis::app {

struct TAllowRule {
  catalogue::Section section = 0;
  std::string valueName;  // TStartup::ValueName of the entry
  std::string signer;

  bool operator==(const TAllowRule& other) const;
  // Whether the rule is about this entry: the same place and the same name there.
  bool Names(const catalogue::TStartup& entry) const;
};

// The rule's value name, "Current User Run: Updater", read the same way back.
std::string RuleValueName(catalogue::Section section, const std::string& valueName);
// The rule an entry of the rules' place stands for; none for a value that names no place.
std::optional<TAllowRule> RuleOf(const catalogue::TStartup& ruleEntry);
// The accepted rules: those of the rules' place in the snapshot given.
std::vector<TAllowRule> RulesIn(const catalogue::TStartups& snapshot);
// Whether the rule may cover the entry at all: never a script host, whose payload decides, and
// never a place of Korvalis's own.
bool RuleMayCover(const catalogue::TStartup& entry);
// Writes the rule's value (added true) or deletes it; raises the write's error.
void WriteRule(const platform::Platform& platform, const TAllowRule& rule, bool added);

}  // namespace korvalis::app
