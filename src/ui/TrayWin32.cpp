#include "ui/TrayWin32.h"

#include <windows.h>

#include <shellapi.h>

#include <map>
#include <stdexcept>

#include "ui/Application.h"
#include "ui/GdiHandles.h"

namespace korvalis::ui {

namespace {

constexpr char kTrayWindowClass[] = "KorvalisTrayWindow";

UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* target = reinterpret_cast<shell::TrayMessageTarget*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (target && message == shell::kTrayCallbackMessage) {
    bool handled = false;
    Guarded([&] { handled = target->HandleCallback(static_cast<std::uint32_t>(lParam)); });
    if (handled) return 0;
  } else if (target && message == TaskbarCreatedMessage()) {
    Guarded([&] { target->TaskbarCreated(); });
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32TrayWindow : public shell::TrayWindow {
 public:
  explicit Win32TrayWindow(shell::TrayMessageTarget& target) {
    static const bool registered = [] {
      WNDCLASSEXA windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.lpfnWndProc = TrayWindowProc;
      windowClass.hInstance = Application().Handle();
      windowClass.lpszClassName = kTrayWindowClass;
      return RegisterClassExA(&windowClass) != 0;
    }();
    (void)registered;
    // A top-level window, not a message-only one: only those hear "TaskbarCreated".
    window_.reset(CreateWindowExA(0, kTrayWindowClass, "Korvalis tray", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  Application().Handle(), &target));
    // Without it no click could reach the program and no icon could be added.
    if (!window_) throw std::runtime_error("Cannot create the tray icon's window");
  }
  shell::WindowHandle Handle() const override { return reinterpret_cast<shell::WindowHandle>(window_.get()); }

 private:
  UniqueWindow window_;
};

// Thread timers report to a procedure without context; the map finds the timer again.
std::map<UINT_PTR, std::function<void()>>& TimerHandlers() {
  static std::map<UINT_PTR, std::function<void()>> handlers;
  return handlers;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  const auto it = TimerHandlers().find(id);
  if (it != TimerHandlers().end()) Guarded([&] { it->second(); });
}

class Win32UiTimer : public shell::UiTimer {
 public:
  explicit Win32UiTimer(std::function<void()> onTick) : onTick_(std::move(onTick)) {}
  ~Win32UiTimer() override { Stop(); }
  void Start(std::uint16_t intervalMs) override {
    Stop();
    id_ = SetTimer(nullptr, 0, intervalMs, TimerProc);
    if (id_) TimerHandlers()[id_] = onTick_;
  }
  void Stop() override {
    if (!id_) return;
    KillTimer(nullptr, id_);
    TimerHandlers().erase(id_);
    id_ = 0;
  }

 private:
  std::function<void()> onTick_;
  UINT_PTR id_ = 0;
};

}  // namespace

std::unique_ptr<shell::TrayWindow> TWin32TrayApi::CreateHiddenWindow(shell::TrayMessageTarget& target) {
  return std::make_unique<Win32TrayWindow>(target);
}

std::unique_ptr<shell::UiTimer> TWin32TrayApi::CreateTimer(std::function<void()> onTick) {
  return std::make_unique<Win32UiTimer>(std::move(onTick));
}

bool TWin32TrayApi::Notify(shell::NotifyAction action, const shell::NotifyIconData& data) {
  NOTIFYICONDATAA record{};
  // The first version of the record, whose size depends on the architecture built for; a
  // balloon needs the second, which has room for its texts.
  const bool balloon = (data.flags & shell::kNifInfo) != 0;
  record.cbSize = balloon ? NOTIFYICONDATAA_V2_SIZE : NOTIFYICONDATAA_V1_SIZE;
  if (balloon) {
    lstrcpynA(record.szInfoTitle, data.infoTitle.c_str(), static_cast<int>(sizeof record.szInfoTitle));
    lstrcpynA(record.szInfo, data.info.c_str(), static_cast<int>(sizeof record.szInfo));
    record.dwInfoFlags = NIIF_INFO;
  }
  record.hWnd = reinterpret_cast<HWND>(data.window);
  record.uID = data.id;
  record.uFlags = data.flags;
  record.uCallbackMessage = data.callbackMessage;
  record.hIcon = reinterpret_cast<HICON>(data.icon);
  lstrcpynA(record.szTip, data.tip.c_str(), static_cast<int>(shell::kMaxTipChars + 1));
  return Shell_NotifyIconA(static_cast<DWORD>(action), &record) != FALSE;
}

shell::ScreenPoint TWin32TrayApi::CursorPos() {
  POINT point{};
  GetCursorPos(&point);
  return shell::ScreenPoint{point.x, point.y};
}

shell::ShiftState TWin32TrayApi::KeyState() {
  shell::ShiftState state = 0;
  if (GetKeyState(VK_SHIFT) < 0) state |= shell::kShiftKey;
  if (GetKeyState(VK_CONTROL) < 0) state |= shell::kCtrlKey;
  if (GetKeyState(VK_MENU) < 0) state |= shell::kAltKey;
  return state;
}

void TWin32TrayApi::BringToForeground(shell::WindowHandle window) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (IsWindowEnabled(hwnd)) SetForegroundWindow(hwnd);
}

void TWin32TrayApi::CancelMouseCapture() { ReleaseCapture(); }

void TWin32TrayApi::ProcessMessages() { Application().ProcessMessages(); }

}  // namespace korvalis::ui
