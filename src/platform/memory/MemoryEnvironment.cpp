#include "platform/memory/MemoryEnvironment.h"

#include "text/StrMan.h"

namespace korvalis::platform::memory {

bool MemoryEnvironment::Variable(const std::string& name, std::string& value) {
  for (const auto& [key, text] : variables_) {
    if (text::SameTextAscii(key, name)) {
      value = text;
      return true;
    }
  }
  return false;
}

bool MemoryEnvironment::UserName(std::uint32_t bufferChars, std::string& name) {
  if (userNameFails || userName.size() + 1 > bufferChars) return false;
  name = userName;
  return true;
}

bool MemoryEnvironment::PlatformId(std::uint32_t& id) {
  if (versionFails) return false;
  id = platformId;
  return true;
}

}  // namespace korvalis::platform::memory
