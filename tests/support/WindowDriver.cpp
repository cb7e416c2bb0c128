#include "support/WindowDriver.h"

#include <commctrl.h>

#include <fstream>

namespace korvalis::testing {

HWND WaitForWindow(const std::string& caption, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 50) {
    // A hidden window may bear the same caption: the program's main window is "Korvalis" too.
    for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, caption.c_str()); window;
         window = FindWindowExA(nullptr, window, nullptr, caption.c_str()))
      if (IsWindowVisible(window)) return window;
    Sleep(50);
  }
  return nullptr;
}

bool WaitUntilGone(HWND window, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 50) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(50);
  }
  return false;
}

std::string WindowText(HWND window) {
  char buffer[4096] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                      nullptr);
  return buffer;
}

namespace {
struct Collect {
  HWND top;
  std::vector<ChildWindow>* children;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM parameter) {
  auto* collect = reinterpret_cast<Collect*>(parameter);
  ChildWindow info;
  info.handle = child;
  char className[256] = {};
  GetClassNameA(child, className, sizeof className);
  info.className = className;
  info.text = WindowText(child);
  GetWindowRect(child, &info.rect);
  MapWindowPoints(nullptr, collect->top, reinterpret_cast<POINT*>(&info.rect), 2);
  info.visible = IsWindowVisible(child) != FALSE;
  info.enabled = IsWindowEnabled(child) != FALSE;
  collect->children->push_back(info);
  return TRUE;
}
}  // namespace

std::vector<ChildWindow> Children(HWND window) {
  std::vector<ChildWindow> children;
  Collect collect{window, &children};
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&collect));
  return children;
}

HWND ChildWithText(HWND window, const std::string& text) {
  for (const auto& child : Children(window))
    if (child.text == text) return child.handle;
  return nullptr;
}

std::vector<std::string> StaticTexts(HWND window) {
  std::vector<std::string> texts;
  for (const auto& child : Children(window))
    if (_stricmp(child.className.c_str(), "Static") == 0) texts.push_back(child.text);
  return texts;
}

void PressButton(HWND window, const std::string& caption) {
  if (HWND button = ChildWithText(window, caption)) PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND window, WPARAM virtualKey) {
  PostMessageA(window, WM_KEYDOWN, virtualKey, 1);
  PostMessageA(window, WM_KEYUP, virtualKey, 1u | (3u << 30));
}

void PressCloseBox(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

bool IsChecked(HWND checkBox) { return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool SaveScreenshot(const std::string& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((width * 3 + 3) / 4) * 4;
  const DWORD imageSize = stride * height;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), imageSize);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out.good();
}

std::string ListCell(HWND list, int row, int column) {
  char buffer[1024] = {};
  LVITEMA cell{};
  cell.iSubItem = column;
  cell.pszText = buffer;
  cell.cchTextMax = sizeof buffer;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
  return buffer;
}

HWND ChildOfClass(HWND window, const std::string& className) {
  for (const ChildWindow& child : Children(window))
    if (child.className == className) return child.handle;
  return nullptr;
}

}  // namespace korvalis::testing
