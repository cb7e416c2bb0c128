#include "app/AllowRules.h"

#include <cstring>

#include "catalogue/HostPayload.h"
#include "catalogue/Places.h"
#include "text/StrMan.h"

namespace korvalis::app {

bool TAllowRule::operator==(const TAllowRule& other) const {
  return section == other.section && text::SameTextAscii(valueName, other.valueName) && signer == other.signer;
}

bool TAllowRule::Names(const catalogue::TStartup& entry) const {
  return section == entry.GetSection() && text::SameTextAscii(valueName, entry.ValueName());
}

std::string RuleValueName(catalogue::Section section, const std::string& valueName) {
  return std::string(catalogue::SectionName(section)) + ": " + valueName;
}

std::optional<TAllowRule> RuleOf(const catalogue::TStartup& ruleEntry) {
  const std::string& name = ruleEntry.ValueName();
  // Section names are unique, and none is the start of another followed by ": ".
  for (int section = 0; section < catalogue::kSectionCount; ++section) {
    const char* place = catalogue::SectionName(static_cast<catalogue::Section>(section));
    const std::size_t length = std::strlen(place);
    if (length == 0 || name.size() <= length + 2 || name.compare(0, length, place) != 0 ||
        name.compare(length, 2, ": ") != 0)
      continue;
    if (ruleEntry.Command().empty()) return std::nullopt;
    return TAllowRule{static_cast<catalogue::Section>(section), name.substr(length + 2), ruleEntry.Command()};
  }
  return std::nullopt;
}

std::vector<TAllowRule> RulesIn(const catalogue::TStartups& snapshot) {
  std::vector<TAllowRule> rules;
  for (int i = 0; i < snapshot.Count(); ++i)
    if (snapshot.Items(i).GetSection() == catalogue::kKorvalisAllowRules)
      if (const auto rule = RuleOf(snapshot.Items(i))) rules.push_back(*rule);
  return rules;
}

bool RuleMayCover(const catalogue::TStartup& entry) {
  const catalogue::TPlace* place = entry.Place();
  return place && !place->asksAlways &&
         catalogue::FindHostPayload(entry.Command()).kind == catalogue::PayloadKind::None;
}

void WriteRule(const platform::Platform& platform, const TAllowRule& rule, bool added) {
  catalogue::TStartups written(0, platform);
  const std::string name = RuleValueName(rule.section, rule.valueName);
  catalogue::TStartup* entry = written.AddEntry(name, name, "", rule.signer, catalogue::kKorvalisAllowRules, 0);
  if (!entry) return;
  entry->SetEnabled(added);
  entry->Apply();
}

}  // namespace korvalis::app
