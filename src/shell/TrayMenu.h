#pragma once
// The popup menu a tray icon opens: its top-level items and modal showing. It tells its
// subscribers when it is freed so that nobody keeps a dangling reference to it.
#include <functional>
#include <utility>

#include "shell/Notifier.h"

namespace korvalis::shell {

class TTrayIcon;

class TrayMenuItem {
 public:
  virtual ~TrayMenuItem() = default;
  virtual bool IsDefault() const = 0;
  virtual bool Enabled() const = 0;
  virtual void Click() = 0;
};

class TrayMenu {
 public:
  TrayMenu() = default;
  virtual ~TrayMenu() { freed_.Notify(); }
  TrayMenu(const TrayMenu&) = delete;
  TrayMenu& operator=(const TrayMenu&) = delete;

  virtual bool AutoPopup() const = 0;
  virtual int ItemCount() const = 0;
  virtual TrayMenuItem& Item(int index) = 0;
  // The component that opened the menu, for its command handlers.
  virtual void SetPopupComponent(TTrayIcon* component) = 0;
  // Shows the menu at screen coordinates and returns once it has closed.
  virtual void Popup(int x, int y) = 0;

  [[nodiscard]] Subscription SubscribeFreed(std::function<void()> handler) {
    return freed_.Subscribe(std::move(handler));
  }

 private:
  Notifier freed_;
};

}  // namespace korvalis::shell
