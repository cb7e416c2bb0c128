#include "ui/Menu.h"

#include <stdexcept>

#include "ui/GdiHandles.h"

namespace korvalis::ui {

namespace {
constexpr UINT kFirstCommand = 1;
}

TMenuItem& TPopupMenu::Item(const std::string& name) {
  for (auto& item : Items)
    if (item.Name == name) return item;
  throw std::out_of_range("No menu item " + name);
}

bool TPopupMenu::Popup(HWND owner, int x, int y) {
  if (OnPopup) OnPopup();
  UniqueMenu menu(CreatePopupMenu());
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const TMenuItem& item = Items[i];
    if (item.Caption == "-") {
      AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (item.Checked ? MF_CHECKED : 0) | (item.Enabled ? 0 : MF_GRAYED);
    AppendMenuA(menu.get(), flags, kFirstCommand + i, item.Caption.c_str());
    if (item.Default) SetMenuDefaultItem(menu.get(), kFirstCommand + static_cast<UINT>(i), FALSE);
  }
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                       x, y, 0, owner, nullptr));
  // Lets the menu close properly when the user clicks elsewhere next time.
  PostMessageA(owner, WM_NULL, 0, 0);
  if (chosen < kFirstCommand || chosen >= kFirstCommand + Items.size()) return false;
  Click(chosen - kFirstCommand);
  return true;
}

void TPopupMenu::Click(std::size_t index) {
  const TMenuItem& item = Items.at(index);
  if (item.Enabled && item.OnClick) item.OnClick();
}

}  // namespace korvalis::ui
