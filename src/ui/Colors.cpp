#include "ui/Colors.h"

namespace korvalis::ui {

namespace {
int SystemIndex(TColor color) {
  switch (color) {
    case TColor::BtnFace: return COLOR_BTNFACE;
    case TColor::Window: return COLOR_WINDOW;
    case TColor::InfoBk: return COLOR_INFOBK;
    case TColor::WindowText: return COLOR_WINDOWTEXT;
    case TColor::InfoText: return COLOR_INFOTEXT;
  }
  return COLOR_BTNFACE;
}
}  // namespace

COLORREF ColorOf(TColor color) { return GetSysColor(SystemIndex(color)); }

HBRUSH BrushOf(TColor color) { return GetSysColorBrush(SystemIndex(color)); }

}  // namespace korvalis::ui
