// The floor for the resident program's memory: a hidden window, one tray icon and a message
// loop, nothing else. Ends when its window is closed or the process is told to quit.
#include <windows.h>
#include <shellapi.h>

namespace {

constexpr UINT kTrayCallback = WM_APP + 1;

LRESULT CALLBACK TrayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = TrayProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"BareTrayWindow";
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Bare tray", 0, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return 1;
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = kTrayCallback;
  icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  lstrcpynW(icon.szTip, L"Bare tray", ARRAYSIZE(icon.szTip));
  Shell_NotifyIconW(NIM_ADD, &icon);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Shell_NotifyIconW(NIM_DELETE, &icon);
  return 0;
}
