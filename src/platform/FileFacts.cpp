#include "platform/FileFacts.h"

#include <cctype>

#include "text/Fileman.h"

namespace korvalis::platform {

namespace {
bool IsSlash(char c) { return c == '\\' || c == '/'; }
}  // namespace

bool NeverInspected(const std::string& path) {
  if (text::IsNetworkPath(path)) return true;
  if (path.size() < 2 || !IsSlash(path[0]) || !IsSlash(path[1])) return false;
  // \\?\C:\... is a local path in the long form; every other form reaches a device.
  return !(path.size() >= 7 && (path[2] == '?' || path[2] == '.') && IsSlash(path[3]) &&
           std::isalpha(static_cast<unsigned char>(path[4])) && path[5] == ':' && IsSlash(path[6]));
}

}  // namespace korvalis::platform
