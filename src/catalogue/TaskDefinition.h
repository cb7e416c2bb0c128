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
  // As whom it runs: a user ("S-1-5-18", "PC\\alice") or a group, none for its author.
  std::string userId, groupId;
  bool highest = false;  // with the highest rights the account may have
};

// None for text that is not a well-formed task definition, or too large or too deep to be one.
std::optional<TTaskDefinition> ParseTaskDefinition(const std::string& xml);

// The command an entry of the task shows and is compared by: its actions, then its triggers in
// parentheses, then as whom it runs ("as SYSTEM with highest privileges"), so a changed trigger
// or principal is a changed entry. The current user (by name) goes unsaid. Empty for a task
// that runs nothing.
std::string TaskCommand(const TTaskDefinition& definition, const std::string& currentUser = std::string());

// What a task's entry says when its definition cannot be read: too large, or not one at all.
inline constexpr const char* kUnreadableTaskCommand = "definition unreadable";

}  // namespace korvalis::catalogue
