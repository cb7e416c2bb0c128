#pragma once
#include <windows.h>

namespace korvalis::ui {

// System colours by role, resolved when painting so they follow the user's scheme.
enum class TColor { BtnFace, Window, InfoBk, WindowText, InfoText };

COLORREF ColorOf(TColor color);
HBRUSH BrushOf(TColor color);  // a system brush; never deleted

}  // namespace korvalis::ui
