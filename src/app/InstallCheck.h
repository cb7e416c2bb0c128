#pragma once
// Whether the program may run with administrator rights: only where nobody but the
// administrators, SYSTEM and TrustedInstaller may change its file or a folder above it, since a
// program running as the user could otherwise put its own code there and be started elevated.
#include <string>
#include <vector>

#include "platform/Security.h"

namespace korvalis::app {

// One line per file or folder someone else may change ("<path>: <who> may change it"); none
// when the program may run elevated, as also where the user's programs hold administrator
// rights anyway.
std::vector<std::string> InstallCheck(platform::Security& security, const std::string& programPath);

// What is shown instead of the offer to undo as administrator, naming each line.
std::string UndoNotOfferedText(const std::vector<std::string>& changeable);

}  // namespace korvalis::app
