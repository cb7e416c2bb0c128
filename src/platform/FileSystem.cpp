#include "platform/FileSystem.h"

#include "platform/SystemCodes.h"

namespace korvalis::platform {

bool FolderEntry::IsFolder() const { return (attributes & kAttrDirectory) != 0; }

}  // namespace korvalis::platform
