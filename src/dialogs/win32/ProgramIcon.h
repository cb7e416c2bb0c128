#pragma once
// The shell's icons for the programs of the entries, looked up on the lookup's worker thread and
// without ever touching a network path, a pipe or a device: drawing a question must not wait for
// a network timeout or a pipe's other end, nor hand the user's credentials to another machine.
#include <windows.h>

#include <string>

#include "dialogs/win32/ProgramLookup.h"

namespace korvalis::dialogs {

// The index in the system image list (sizeFlag: SHGFI_LARGEICON or SHGFI_SMALLICON, with
// SHGFI_ICON if wanted) of the program file's own icon; -1 when the shell cannot give it. A
// file never touched gets the icon of its kind, told by its name alone. It may wait on the file.
int FileIconIndex(const TProgramFile& file, UINT sizeFlag);

// The icon of the file's kind, told by its name alone, for a file that need not exist.
int KindIconIndex(const std::string& path, UINT sizeFlag);

}  // namespace korvalis::dialogs
