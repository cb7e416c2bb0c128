#pragma once
// A component that keeps one icon in the notification area of the taskbar and turns mouse
// actions on it into events: a right click opens its popup menu, a left double click runs
// the menu's default item.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "shell/IconList.h"
#include "shell/Notifier.h"
#include "shell/TrayApi.h"
#include "shell/TrayMenu.h"

namespace korvalis::shell {

// Receives errors that escape the handling of a window message, so the message loop goes on.
using TrayErrorReporter = std::function<void(const std::exception& error)>;

class TTrayIcon : public TrayMessageTarget {
 public:
  // How often an add the notification area refused is tried again (at logon it may not be up).
  static constexpr std::uint16_t kAddRetryMs = 2000;

  using MouseEvent = std::function<void(TTrayIcon& sender, MouseButton button, ShiftState shift, int x, int y)>;
  using MoveEvent = std::function<void(TTrayIcon& sender, ShiftState shift, int x, int y)>;
  using NotifyEvent = std::function<void(TTrayIcon& sender)>;

  // Creates the hidden window; nothing is shown before Loaded or SetActive.
  TTrayIcon(TrayApi& api, TrayErrorReporter reportError);
  ~TTrayIcon() override;
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  // The owner has set the properties up: show the icon when active.
  virtual void Loaded();

  bool Active() const { return active_; }
  void SetActive(bool active);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  const std::string& Hint() const { return hint_; }
  // The part before the first "|" is the tooltip.
  void SetHint(const std::string& hint);
  IconHandle Icon() const { return icon_; }
  void SetIcon(IconHandle icon);
  // Changes made to the list directly reach the notification area too.
  TIconList& Icons() { return icons_; }
  void SetIcons(const TIconList& icons) { icons_.Assign(icons); }
  bool Animated() const { return animating_; }
  // Takes effect only while Icons holds frames.
  void SetAnimated(bool animated);
  std::uint16_t Interval() const { return interval_; }
  void SetInterval(std::uint16_t interval);
  TrayMenu* PopupMenu() const { return popupMenu_; }
  // Not owned; forgotten when the menu is freed.
  void SetPopupMenu(TrayMenu* menu);
  bool Shown() const { return shown_; }
  WindowHandle Handle() const { return window_->Handle(); }

  MouseEvent OnClick;
  NotifyEvent OnDblClick;
  MoveEvent OnMouseMove;
  MouseEvent OnMouseDown;
  MouseEvent OnMouseUp;

  // The icon in view: the current animation frame while animating, else Icon.
  IconHandle CurrentIcon() const;
  void AddIcon();
  void RemoveIcon();
  // Brings the notification area up to date with the icon and hint.
  void RefreshIcon();
  // A balloon notice beside the icon; nothing when the icon is not shown.
  void ShowBalloon(const std::string& title, const std::string& text);
  // Clicks the menu's first top-level item that is default and enabled; false when none.
  bool ClickDefaultItem();
  // Opens the popup menu at a screen position and waits for it; false when there is none to open.
  bool ShowPopupMenu(int x, int y);

  bool HandleCallback(std::uint32_t mouseMessage) override;
  void TaskbarCreated() override;

 protected:
  virtual void FillIconData();
  const NotifyIconData& IconData() const { return iconData_; }
  NotifyIconData& IconData() { return iconData_; }

  virtual void DblClick();
  virtual void Click(MouseButton button, ShiftState shift, int x, int y);
  virtual void MouseDown(MouseButton button, ShiftState shift, int x, int y);
  virtual void MouseMove(ShiftState shift, int x, int y);
  virtual void MouseUp(MouseButton button, ShiftState shift, int x, int y);

 private:
  void DispatchMouse(std::uint32_t mouseMessage);
  void ButtonUp(MouseButton button, ShiftState shift, int x, int y);
  void StartAnimation();
  void StopAnimation();
  void AnimationStep();
  void TimerTick();
  void Guarded(const std::function<void()>& action);

  TrayApi& api_;
  TrayErrorReporter reportError_;
  std::unique_ptr<TrayWindow> window_;
  bool active_ = true;
  bool shown_ = false;
  bool animating_ = false;
  bool enabled_ = true;
  std::uint8_t pressed_ = 0;  // kLeftMouse and kRightMouse of buttons that went down on the icon
  int animationIndex_ = -1;
  std::uint16_t interval_ = 150;
  NotifyIconData iconData_;
  IconHandle icon_ = 0;
  TIconList icons_;
  std::unique_ptr<UiTimer> timer_;
  std::string hint_;
  TrayMenu* popupMenu_ = nullptr;
  Subscription iconsChanged_;
  Subscription menuFreed_;
};

// The tooltip part of a hint: the text before the first "|", or all of it.
std::string ShortHint(const std::string& hint);

}  // namespace korvalis::shell
