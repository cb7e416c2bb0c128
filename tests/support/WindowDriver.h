#pragma once
// Drives windows as a user would: finds them by caption, reads their controls' texts through
// the window API, presses buttons and keys, and takes screenshots. Works from another thread
// or another process than the one that owns the windows.
#include <windows.h>

#include <string>
#include <vector>

namespace korvalis::testing {

struct ChildWindow {
  HWND handle = nullptr;
  std::string className;
  std::string text;
  RECT rect{};  // in client coordinates of the top-level window
  bool visible = false;
  bool enabled = false;
};

// The visible top-level window with the caption; nullptr when none appears within the time.
HWND WaitForWindow(const std::string& caption, int timeoutMs = 10000);
bool WaitUntilGone(HWND window, int timeoutMs = 10000);
std::string WindowText(HWND window);
std::vector<ChildWindow> Children(HWND window);
// The child whose text equals the given one (a button caption, a label's text).
HWND ChildWithText(HWND window, const std::string& text);
std::vector<std::string> StaticTexts(HWND window);

void PressButton(HWND window, const std::string& caption);
void PressKey(HWND window, WPARAM virtualKey);
void PressCloseBox(HWND window);
bool IsChecked(HWND checkBox);
// The text of a report list's cell, read in the process that owns the list.
std::string ListCell(HWND list, int row, int column);
// The first child window of the class (WC_LISTVIEWA, "Edit"); none when there is none.
HWND ChildOfClass(HWND window, const std::string& className);

// Saves the whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string& path);

}  // namespace korvalis::testing
