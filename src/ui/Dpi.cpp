#include "ui/Dpi.h"

#include <windows.h>

namespace korvalis::ui {

int ScreenDpi() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    const int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
  }();
  return dpi;
}

int Scale(int pixels) { return MulDiv(pixels, ScreenDpi(), 96); }

}  // namespace korvalis::ui
