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

// A window's device context, given back to the window it came from.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context for a scope; the previous one is put back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, previous_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace korvalis::ui
