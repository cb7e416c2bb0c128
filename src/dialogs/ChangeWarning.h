#pragma once
// The warning both change dialogs show above their question.

namespace korvalis::dialogs {

inline constexpr const char* kChangeWarning =
    "Warning: prevent changes may cause some applications to crash\r\n"
    "and may even cause system instability. \r\n"
    "Make sure you know what you are doing!";

}  // namespace korvalis::dialogs
