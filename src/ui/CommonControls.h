#pragma once
// The common controls library, loaded when the first control is made rather than with the
// program: the resident program sits in the tray for hours without a window of controls.
#include <windows.h>

#include <commctrl.h>

namespace korvalis::ui {

// Loads the library once (the version the program's manifest names) and registers the classes,
// with the standard ones and the bars; false where the system refuses either.
bool UseCommonControls(DWORD classes = 0);

// The list's icon at index as an icon of its own; nullptr where there is none.
HICON ImageListIcon(HIMAGELIST list, int index, UINT flags);

}  // namespace korvalis::ui
