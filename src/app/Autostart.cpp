#include "app/Autostart.h"

#include "platform/Error.h"
#include "platform/RegistryValues.h"
#include "text/StrMan.h"

namespace korvalis::app {

using namespace platform;

std::string AutostartCommand(const std::string& programPath) { return "\"" + programPath + "\""; }

bool IsAutostartSet(const Platform& platform) {
  // A value the user may not change is not shown as a choice the box could undo.
  OpenedKey key = platform.registry.OpenKey(RootKey::CurrentUser, kUserRunKey, KeyAccess::ReadWrite);
  if (!key) return false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (ReadValueBytes(*key.key, kAutostartValue, type, bytes) != kSuccess) return false;
  if (!bytes.empty() && !IsStringType(type)) throw InvalidDataTypeError(kAutostartValue);
  const std::string value = TextOfBytes(bytes);
  const std::string program = platform.environment.ProgramPath();
  return text::SameTextAscii(value, program) || text::SameTextAscii(value, AutostartCommand(program));
}

void SetAutostart(const Platform& platform, bool enabled) {
  if (enabled) {
    OpenedKey key = platform.registry.CreateKey(RootKey::CurrentUser, kUserRunKey, KeyAccess::Write);
    const std::string command = AutostartCommand(platform.environment.ProgramPath());
    if (!key || key.key->SetValue(kAutostartValue, kRegSz, StringBytes(command)) != kSuccess)
      throw Error(FormatText("Failed to set data for '%s'", kAutostartValue));
    return;
  }
  if (!DeleteValueIfPresent(platform.registry, RootKey::CurrentUser, kUserRunKey, kAutostartValue))
    throw Error(FormatText("Failed to delete value '%s'", kAutostartValue));
}

}  // namespace korvalis::app
