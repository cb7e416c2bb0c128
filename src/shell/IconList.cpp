#include "shell/IconList.h"

#include "platform/Error.h"

namespace korvalis::shell {

void TIconList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw Error(FormatText("List index out of bounds (%d)", index));
}

IconHandle TIconList::Items(int index) const {
  CheckIndex(index);
  return icons_[static_cast<std::size_t>(index)];
}

void TIconList::SetItem(int index, IconHandle icon) {
  CheckIndex(index);
  icons_[static_cast<std::size_t>(index)] = icon;
  changed_.Notify();
}

void TIconList::Add(IconHandle icon) {
  icons_.push_back(icon);
  changed_.Notify();
}

void TIconList::Delete(int index) {
  CheckIndex(index);
  icons_.erase(icons_.begin() + index);
  changed_.Notify();
}

void TIconList::Clear() {
  icons_.clear();
  changed_.Notify();
}

void TIconList::Assign(const TIconList& other) {
  if (&other == this) return;
  icons_ = other.icons_;
  changed_.Notify();
}

}  // namespace korvalis::shell
