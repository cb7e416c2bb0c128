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

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup();
  UniqueMenu menu(CreatePopupMenu());
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const TMenuItem& item = Items[i];
    if (item.Caption == "-") {
      AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const UINT flags = MF_STRING | (item.Checked ? MF_CHECKED : 0) | (item.IsEnabled ? 0 : MF_GRAYED);
    AppendMenuA(menu.get(), flags, kFirstCommand + i, item.Caption.c_str());
    if (item.Default) SetMenuDefaultItem(menu.get(), kFirstCommand + static_cast<UINT>(i), FALSE);
  }
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                       x, y, 0, owner_, nullptr));
  // Lets the menu close properly when the user clicks elsewhere the next time.
  if (owner_) PostMessageA(owner_, WM_NULL, 0, 0);
  if (chosen >= kFirstCommand && chosen < kFirstCommand + Items.size()) Items[chosen - kFirstCommand].Click();
}

}  // namespace korvalis::ui
