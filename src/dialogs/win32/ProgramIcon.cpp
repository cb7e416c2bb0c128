#include "dialogs/win32/ProgramIcon.h"

#include <shellapi.h>

#include "text/Fileman.h"
#include "ui/GdiHandles.h"

namespace korvalis::dialogs {

namespace {

int IconIndexOf(const std::string& path, DWORD attributes, UINT flags) {
  SHFILEINFOA info{};
  if (!SHGetFileInfoA(path.c_str(), attributes, &info, sizeof info, SHGFI_SYSICONINDEX | flags)) return -1;
  const ui::UniqueIcon handedOver(info.hIcon);  // given with SHGFI_ICON, and then ours to destroy
  return info.iIcon;
}

}  // namespace

int FileIconIndex(const TProgramFile& file, UINT sizeFlag) {
  if (file.neverTouched || text::KindOfPath(file.path) != text::PathKind::Local)
    return KindIconIndex(file.path, sizeFlag);
  return IconIndexOf(file.path, 0, sizeFlag);
}

int KindIconIndex(const std::string& path, UINT sizeFlag) {
  // The name alone, so that the shell has no path to go to.
  return IconIndexOf(text::FileNamePart(path), FILE_ATTRIBUTE_NORMAL, sizeFlag | SHGFI_USEFILEATTRIBUTES);
}

}  // namespace korvalis::dialogs
