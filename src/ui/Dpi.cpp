#include "ui/Dpi.h"

#include <windows.h>

#include "ui/GdiHandles.h"

namespace korvalis::ui {

int ScreenDpi() {
  static const int dpi = [] {
    const WindowDC screen(nullptr);
    const int value = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return value > 0 ? value : 96;
  }();
  return dpi;
}

int Scale(int pixels) { return MulDiv(pixels, ScreenDpi(), 96); }

}  // namespace korvalis::ui
