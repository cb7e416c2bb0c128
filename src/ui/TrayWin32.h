#pragma once
// The tray icon's needs met by the window system: a hidden window for the callbacks and the
// taskbar's re-creation, Shell_NotifyIcon, a thread timer, the cursor and the keys.
#include "shell/TrayApi.h"

namespace korvalis::ui {

class TWin32TrayApi : public shell::TrayApi {
 public:
  std::unique_ptr<shell::TrayWindow> CreateHiddenWindow(shell::TrayMessageTarget& target) override;
  std::unique_ptr<shell::UiTimer> CreateTimer(std::function<void()> onTick) override;
  bool Notify(shell::NotifyAction action, const shell::NotifyIconData& data) override;
  shell::ScreenPoint CursorPos() override;
  shell::ShiftState KeyState() override;
  void BringToForeground(shell::WindowHandle window) override;
  void CancelMouseCapture() override;
  void ProcessMessages() override;
};

}  // namespace korvalis::ui
