#pragma once
// Pop-up menus with check marks, a default item and a handler run before opening.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace korvalis::ui {

struct TMenuItem {
  std::string Name;
  std::string Caption;  // "-" makes a separator
  bool Checked = false;
  bool Default = false;
  bool Enabled = true;
  std::function<void()> OnClick;
};

class TPopupMenu {
 public:
  std::vector<TMenuItem> Items;
  bool AutoPopup = true;
  std::function<void()> OnPopup;

  TMenuItem& Item(const std::string& name);
  // Runs OnPopup, shows the menu at the screen position and waits; the chosen item's OnClick
  // runs after the menu has closed. True when an item was chosen.
  bool Popup(HWND owner, int x, int y);
  // What a click on the item does; used for the default item and by tests.
  void Click(std::size_t index);
};

}  // namespace korvalis::ui
