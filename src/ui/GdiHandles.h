#pragma once
// Owners of the window system's handles.
#include <windows.h>

#include "platform/win32/Handles.h"

namespace korvalis::ui {

using platform::win32::NullTraits;
using platform::win32::UniqueHandle;

inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DeleteBrush(HBRUSH brush) { DeleteObject(brush); }
inline void DeleteFont(HFONT font) { DeleteObject(font); }
inline void DestroyMenuHandle(HMENU menu) { DestroyMenu(menu); }
inline void DestroyWindowHandle(HWND window) { DestroyWindow(window); }

using UniqueIcon = UniqueHandle<NullTraits<HICON, DestroyIconHandle>>;
using UniqueBrush = UniqueHandle<NullTraits<HBRUSH, DeleteBrush>>;
using UniqueFont = UniqueHandle<NullTraits<HFONT, DeleteFont>>;
using UniqueMenu = UniqueHandle<NullTraits<HMENU, DestroyMenuHandle>>;
using UniqueWindow = UniqueHandle<NullTraits<HWND, DestroyWindowHandle>>;

}  // namespace korvalis::ui
