#pragma once
// What the tray icon needs of the window system: the notification area, the hidden window
// that receives its callbacks, a timer on the user-interface thread, the cursor, the keys.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Shell.h"

namespace korvalis::shell {

using platform::WindowHandle;

// An icon as the system knows it; 0 is no icon.
using IconHandle = std::uintptr_t;

constexpr std::uint32_t kNifMessage = 0x1;
constexpr std::uint32_t kNifIcon = 0x2;
constexpr std::uint32_t kNifTip = 0x4;
constexpr std::uint32_t kNifInfo = 0x10;  // a balloon notice beside the icon
constexpr std::uint32_t kTrayCallbackMessage = 0xB054;
constexpr std::size_t kMaxTipChars = 63;

// Mouse messages as the callback carries them in its second parameter.
constexpr std::uint32_t kWmMouseMove = 0x200;
constexpr std::uint32_t kWmLButtonDown = 0x201;
constexpr std::uint32_t kWmLButtonUp = 0x202;
constexpr std::uint32_t kWmLButtonDblClk = 0x203;
constexpr std::uint32_t kWmRButtonDown = 0x204;
constexpr std::uint32_t kWmRButtonUp = 0x205;
constexpr std::uint32_t kWmRButtonDblClk = 0x206;
constexpr std::uint32_t kWmMButtonDown = 0x207;
constexpr std::uint32_t kWmMButtonUp = 0x208;
constexpr std::uint32_t kWmMButtonDblClk = 0x209;

// The notification-area record without its size, which depends on the headers the system
// binding is built with and is set there.
struct NotifyIconData {
  WindowHandle window = 0;
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::uint32_t callbackMessage = 0;
  IconHandle icon = 0;
  std::string tip;  // at most kMaxTipChars characters; the binding adds the NUL
  // With kNifInfo: the balloon's title and text (cut to what the record holds).
  std::string infoTitle;
  std::string info;
};

enum class NotifyAction : std::uint32_t { Add = 0, Modify = 1, Delete = 2 };

// Keys down and the mouse action, as passed with every mouse event.
using ShiftState = std::uint8_t;
constexpr ShiftState kShiftKey = 0x01;
constexpr ShiftState kAltKey = 0x02;
constexpr ShiftState kCtrlKey = 0x04;
constexpr ShiftState kLeftMouse = 0x08;
constexpr ShiftState kRightMouse = 0x10;
constexpr ShiftState kMiddleMouse = 0x20;
constexpr ShiftState kDoubleClick = 0x40;

enum class MouseButton { Left, Right, Middle };

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

// What the hidden window's procedure hands on.
class TrayMessageTarget {
 public:
  virtual ~TrayMessageTarget() = default;
  // The mouse message of a callback; false when it was not handled and belongs to the
  // default window procedure.
  virtual bool HandleCallback(std::uint32_t mouseMessage) = 0;
  // The shell has re-created the taskbar and forgotten every icon.
  virtual void TaskbarCreated() = 0;
};

// The hidden window; destroying the object destroys the window.
class TrayWindow {
 public:
  TrayWindow() = default;
  virtual ~TrayWindow() = default;
  TrayWindow(const TrayWindow&) = delete;
  TrayWindow& operator=(const TrayWindow&) = delete;
  virtual WindowHandle Handle() const = 0;
};

// A timer whose ticks arrive through the message loop of the user-interface thread.
class UiTimer {
 public:
  UiTimer() = default;
  virtual ~UiTimer() = default;
  UiTimer(const UiTimer&) = delete;
  UiTimer& operator=(const UiTimer&) = delete;
  // Starts or restarts the count.
  virtual void Start(std::uint16_t intervalMs) = 0;
  virtual void Stop() = 0;
};

class TrayApi {
 public:
  virtual ~TrayApi() = default;
  // A hidden window that passes the callback message and the taskbar's re-creation to target.
  virtual std::unique_ptr<TrayWindow> CreateHiddenWindow(TrayMessageTarget& target) = 0;
  virtual std::unique_ptr<UiTimer> CreateTimer(std::function<void()> onTick) = 0;
  // One call to the notification area; true on success.
  virtual bool Notify(NotifyAction action, const NotifyIconData& data) = 0;
  virtual ScreenPoint CursorPos() = 0;
  // Shift, Ctrl and Alt as they are down at this moment.
  virtual ShiftState KeyState() = 0;
  // Does nothing for a disabled window.
  virtual void BringToForeground(WindowHandle window) = 0;
  // Ends any mouse capture or drag in the application's active or main form.
  virtual void CancelMouseCapture() = 0;
  virtual void ProcessMessages() = 0;
};

}  // namespace korvalis::shell
