#include "shell/Placement.h"

#include "platform/Error.h"

namespace korvalis::shell {

bool TWinMinMaxInfo::IsDefault() const {
  return maxPosLeft == 0 && maxPosTop == 0 && maxSizeHeight == 0 && maxSizeWidth == 0 && maxTrackHeight == 0 &&
         maxTrackWidth == 0 && minTrackHeight == 0 && minTrackWidth == 0;
}

TFormPlacement::TFormPlacement(PlacementWindow& form, platform::Registry& registry, ErrorReporter reportError)
    : form_(form), registry_(registry), reportError_(std::move(reportError)) {}

void TFormPlacement::Guarded(const std::function<void()>& operation) {
  CatchAtBoundary(operation, [this](const std::exception& error) {
    if (reportError_) reportError_(error);
  });
}

void TFormPlacement::BeforeFormShow() {
  if (active_) Guarded([this] { RestoreStoredState(); });
}

void TFormPlacement::AfterFormCloseQuery(bool canClose, bool formHasWindow) {
  if (canClose && active_ && formHasWindow) Guarded([this] { SaveStoredState(); });
}

void TFormPlacement::BeforeFormDestroy() {
  if (!active_ || saved_) return;
  destroying_ = true;
  Guarded([this] { SaveStoredState(); });
  destroying_ = false;
}

void TFormPlacement::RestoreStoredState() {
  if (!useRegistry_) return;
  saved_ = false;
  {
    PlacementStore store(registry_, registryRoot_, iniFileName_, iniSection_, PlacementStore::Purpose::Restore);
    if (store.ReadInteger("FormVersion", 0) >= version_) {
      RestorePlacement(store);
      restored_ = true;
      RestoreValues(store);
      if (onRestorePlacement_) onRestorePlacement_(*this);
      if (options_ & fpActiveControl) {
        const std::string control = store.ReadString("ActiveControl", "");
        if (!control.empty()) form_.FocusControl(control);
      }
    }
    // Data of an older version is left alone, but a later save may replace it.
    restored_ = true;
  }
  UpdatePlacement();
}

void TFormPlacement::SaveStoredState() {
  if (!useRegistry_ || !restored_) return;
  PlacementStore store(registry_, registryRoot_, iniFileName_, iniSection_, PlacementStore::Purpose::Save);
  store.WriteInteger("FormVersion", version_);
  SavePlacement(store);
  SaveValues(store);
  if (onSavePlacement_) onSavePlacement_(*this);
  saved_ = true;
}

void TFormStorage::RestoreValues(PlacementStore& store) {
  for (std::size_t i = 0; i < storedValues_.Count(); ++i) storedValues_[i].Restore(store);
}

void TFormStorage::SaveValues(PlacementStore& store) {
  for (std::size_t i = 0; i < storedValues_.Count(); ++i) storedValues_[i].Save(store);
}

}  // namespace korvalis::shell
