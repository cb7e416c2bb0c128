#pragma once
// How the change confirmation dialog keeps its place and its one stored value.
#include "shell/Placement.h"

namespace korvalis::shell {

// Scrambles the dialog's stored value; changing it makes every stored value unreadable.
constexpr const char* kChangeDialogKeyString = "KwTrPmZeLoQvHs";

// Key "Software\Windows Brenmoor" under the current user, section "Korvalis", and the value
// "ShowOnlineInfo", false until stored.
void SetUpChangeDialogStorage(TFormStorage& storage);

}  // namespace korvalis::shell
