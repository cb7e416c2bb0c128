#include "platform/FileFacts.h"

#include "text/Fileman.h"

namespace korvalis::platform {

bool NeverInspected(const std::string& path) { return text::KindOfPath(path) != text::PathKind::Local; }

FileLookup UntouchedLookup(const std::string& path) {
  switch (text::KindOfPath(path)) {
    case text::PathKind::LocalPipe: return FileLookup::LocalPipe;
    case text::PathKind::Device: return FileLookup::Device;
    case text::PathKind::Local:  // on a drive letter mapped to a share
    case text::PathKind::Network: break;
  }
  return FileLookup::NotLookedUp;
}

}  // namespace korvalis::platform
