#pragma once
// Pop-up menus with check marks, a default item and a handler run before opening.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/TrayMenu.h"

namespace korvalis::ui {

class TMenuItem : public shell::TrayMenuItem {
 public:
  TMenuItem(std::string name, std::string caption, std::function<void()> onClick = nullptr)
      : Name(std::move(name)), Caption(std::move(caption)), OnClick(std::move(onClick)) {}

  std::string Name;
  std::string Caption;  // "-" makes a separator
  bool Checked = false;
  bool Default = false;
  bool IsEnabled = true;
  std::function<void()> OnClick;

  bool IsDefault() const override { return Default; }
  bool Enabled() const override { return IsEnabled; }
  void Click() override {
    if (IsEnabled && OnClick) OnClick();
  }
};

class TPopupMenu : public shell::TrayMenu {
 public:
  std::vector<TMenuItem> Items;
  bool AutoPopupOn = true;
  std::function<void()> OnPopup;

  TMenuItem& Item(const std::string& name);
  // The window that owns the menu while it is shown.
  void SetOwner(HWND owner) { owner_ = owner; }

  bool AutoPopup() const override { return AutoPopupOn; }
  int ItemCount() const override { return static_cast<int>(Items.size()); }
  shell::TrayMenuItem& Item(int index) override { return Items.at(static_cast<std::size_t>(index)); }
  void SetPopupComponent(shell::TTrayIcon*) override {}
  // Runs OnPopup, shows the menu at the screen position and waits; the chosen item's OnClick
  // runs after the menu has closed.
  void Popup(int x, int y) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace korvalis::ui
