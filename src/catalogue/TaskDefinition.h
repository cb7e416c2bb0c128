#pragma once
// What a scheduled task's definition (its XML) says runs, and when: read strictly and within
// bounds, since any program may plant one.
#include <cstdint>
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

// A task's command as stored by a build that did not yet say as whom a task runs, in today's
// form: where the principal's words of the stored definition are all that tells the two apart,
// the command with them; otherwise the stored command, whose difference is a change.
std::string StoredTaskCommand(const std::string& storedCommand, const std::string& xml,
                              const std::string& currentUser = std::string());

// The longest user name the system gives, without its NUL.
inline constexpr std::uint32_t kMaxUserNameChars = 257;

// What a task's entry says when its definition cannot be read: too large, or not one at all.
inline constexpr const char* kUnreadableTaskCommand = "definition unreadable";
// A task entry's value type: 0 for an enabled task (as entries were stored before disabled ones
// were read), this for a disabled one, which starts nothing but may be enabled again.
inline constexpr std::uint32_t kTaskDisabled = 1;

}  // namespace korvalis::catalogue
