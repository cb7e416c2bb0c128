#pragma once
#include <string>

namespace korvalis::platform::memory {

// File-name matching with * and ?, letter case ignored; "*.*" matches every name, also one
// without a full stop, as the system's enumeration does.
bool MatchesWildcard(const std::string& mask, const std::string& name);

}  // namespace korvalis::platform::memory
