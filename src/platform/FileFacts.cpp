#include "platform/FileFacts.h"

#include <cctype>

namespace korvalis::platform {

namespace {
bool IsSlash(char c) { return c == '\\' || c == '/'; }
}  // namespace

bool IsNetworkPath(const std::string& path) {
  if (path.size() < 2 || !IsSlash(path[0]) || !IsSlash(path[1])) return false;
  // \\?\C:\... is a local path in the long form; \\?\UNC\... and every other form reach
  // a server or a device.
  if (path.size() >= 7 && (path[2] == '?' || path[2] == '.') && IsSlash(path[3]) &&
      std::isalpha(static_cast<unsigned char>(path[4])) && path[5] == ':' && IsSlash(path[6]))
    return false;
  return true;
}

}  // namespace korvalis::platform
