#pragma once
// What a scheduled task's definition (its XML) says runs, and when: read strictly and within
// bounds, since any program may plant one.
#include <optional>
#include <string>
#include <vector>

namespace korvalis::catalogue {

struct TTaskDefinition {
  bool enabled = true;
  bool hidden = false;
  std::vector<std::string> actions;   // "C:\x.exe -a", "COM handler {CLSID}"
  std::vector<std::string> triggers;  // in words: "at logon of any user", "daily at 09:00"
};

// None for text that is not a well-formed task definition, or too large or too deep to be one.
std::optional<TTaskDefinition> ParseTaskDefinition(const std::string& xml);

// The command an entry of the task shows and is compared by: its actions, then its triggers in
// parentheses, so a changed trigger is a changed entry. Empty for a task that runs nothing.
std::string TaskCommand(const TTaskDefinition& definition);

}  // namespace korvalis::catalogue
