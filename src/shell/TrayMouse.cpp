// The hidden window's callback: mouse messages on the icon become events, the right click
// opens the popup menu and the left double click runs its default item.
#include "shell/TrayShell.h"

namespace korvalis::shell {

bool TTrayIcon::HandleCallback(std::uint32_t mouseMessage) {
  if (!enabled_) return false;
  Guarded([&] { DispatchMouse(mouseMessage); });
  return true;
}

void TTrayIcon::DispatchMouse(std::uint32_t mouseMessage) {
  // The message carries no position; where the cursor is now is the best there is.
  const ScreenPoint at = api_.CursorPos();
  const ShiftState keys = api_.KeyState() & (kShiftKey | kCtrlKey | kAltKey);
  switch (mouseMessage) {
    case kWmMouseMove:
      MouseMove(keys, at.x, at.y);
      break;
    case kWmLButtonDown:
      MouseDown(MouseButton::Left, keys | kLeftMouse, at.x, at.y);
      pressed_ |= kLeftMouse;
      break;
    case kWmLButtonUp:
      ButtonUp(MouseButton::Left, keys | kLeftMouse, at.x, at.y);
      break;
    case kWmLButtonDblClk:
      DblClick();
      MouseDown(MouseButton::Left, keys | kDoubleClick, at.x, at.y);
      break;
    case kWmRButtonDown:
      MouseDown(MouseButton::Right, keys | kRightMouse, at.x, at.y);
      pressed_ |= kRightMouse;
      break;
    case kWmRButtonUp:
      ButtonUp(MouseButton::Right, keys | kRightMouse, at.x, at.y);
      break;
    case kWmRButtonDblClk:
      MouseDown(MouseButton::Right, keys | kDoubleClick, at.x, at.y);
      break;
    case kWmMButtonDown:
      MouseDown(MouseButton::Middle, keys | kMiddleMouse, at.x, at.y);
      break;
    case kWmMButtonUp:
      MouseUp(MouseButton::Middle, keys | kMiddleMouse, at.x, at.y);
      break;
    case kWmMButtonDblClk:
      MouseDown(MouseButton::Middle, keys | kDoubleClick, at.x, at.y);
      break;
    default:
      break;
  }
}

void TTrayIcon::ButtonUp(MouseButton button, ShiftState shift, int x, int y) {
  // A button pressed elsewhere and released over the icon is no click.
  const std::uint8_t bit = button == MouseButton::Left ? kLeftMouse : kRightMouse;
  if (pressed_ & bit) {
    pressed_ &= static_cast<std::uint8_t>(~bit);
    Click(button, shift, x, y);
  }
  MouseUp(button, shift, x, y);
}

void TTrayIcon::Click(MouseButton button, ShiftState shift, int x, int y) {
  if (button == MouseButton::Right && ShowPopupMenu(x, y)) return;
  if (OnClick) OnClick(*this, button, shift, x, y);
}

void TTrayIcon::DblClick() {
  if (!ClickDefaultItem() && OnDblClick) OnDblClick(*this);
}

void TTrayIcon::MouseDown(MouseButton button, ShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void TTrayIcon::MouseMove(ShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}

void TTrayIcon::MouseUp(MouseButton button, ShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

bool TTrayIcon::ClickDefaultItem() {
  if (!active_ || !popupMenu_) return false;
  for (int index = 0; index < popupMenu_->ItemCount(); ++index) {
    TrayMenuItem& item = popupMenu_->Item(index);
    if (item.IsDefault() && item.Enabled()) {
      item.Click();
      return true;
    }
  }
  return false;
}

bool TTrayIcon::ShowPopupMenu(int x, int y) {
  if (!active_ || !popupMenu_ || !popupMenu_->AutoPopup()) return false;
  popupMenu_->SetPopupComponent(this);
  api_.CancelMouseCapture();
  // A menu whose window is not in the foreground stays open when the user clicks elsewhere.
  api_.BringToForeground(window_->Handle());
  api_.ProcessMessages();
  // The pending messages may have freed the menu.
  if (!popupMenu_) return false;
  try {
    popupMenu_->Popup(x, y);
  } catch (...) {
    api_.BringToForeground(window_->Handle());
    throw;
  }
  api_.BringToForeground(window_->Handle());
  return true;
}

}  // namespace korvalis::shell
