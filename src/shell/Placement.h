#pragma once
// Keeps a form's window placement, and with TFormStorage a list of named values, in the
// registry between runs: restored when the form is shown, saved when it closes.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "shell/PlacementStore.h"
#include "shell/PlacementWindow.h"
#include "shell/StoredValue.h"

namespace korvalis::shell {

using TPlacementOptions = unsigned;
constexpr TPlacementOptions fpState = 1;
constexpr TPlacementOptions fpPosition = 2;
constexpr TPlacementOptions fpActiveControl = 4;

// Limits imposed on the form's position and tracking size; all zero imposes none.
struct TWinMinMaxInfo {
  std::int32_t maxPosLeft = 0;
  std::int32_t maxPosTop = 0;
  std::int32_t maxSizeHeight = 0;
  std::int32_t maxSizeWidth = 0;
  std::int32_t maxTrackHeight = 0;
  std::int32_t maxTrackWidth = 0;
  std::int32_t minTrackHeight = 0;
  std::int32_t minTrackWidth = 0;
  bool IsDefault() const;
};

// Shows an error the way the application's central error report does.
using ErrorReporter = std::function<void(const std::exception& error)>;

class TFormPlacement {
 public:
  using Notification = std::function<void(TFormPlacement& sender)>;

  TFormPlacement(PlacementWindow& form, platform::Registry& registry, ErrorReporter reportError);
  virtual ~TFormPlacement() = default;
  TFormPlacement(const TFormPlacement&) = delete;
  TFormPlacement& operator=(const TFormPlacement&) = delete;

  // The form's events. Errors go to the reporter and the form goes on.
  // From the show event, before the form's own show handler.
  void BeforeFormShow();
  // From the close query, after the form's own handler has decided canClose.
  void AfterFormCloseQuery(bool canClose, bool formHasWindow);
  // From the destroy event, before the form's own destroy handler.
  void BeforeFormDestroy();

  // The two operations behind those events; they raise their errors.
  void RestoreStoredState();
  // Does nothing until a restore has got past the placement, so that a form whose stored
  // data could not be read never overwrites it.
  void SaveStoredState();

  // Only then does the form need its size-locking, min/max window hook.
  bool NeedsWindowHook() const { return preventResize_ || !minMaxInfo_.IsDefault(); }

  bool Active() const { return active_; }
  void SetActive(bool active) { active_ = active; }
  const std::string& IniFileName() const { return iniFileName_; }
  void SetIniFileName(const std::string& name) { iniFileName_ = name; }
  const std::string& IniSection() const { return iniSection_; }
  void SetIniSection(const std::string& section) { iniSection_ = section; }
  const TWinMinMaxInfo& MinMaxInfo() const { return minMaxInfo_; }
  void SetMinMaxInfo(const TWinMinMaxInfo& info) { minMaxInfo_ = info; }
  TPlacementOptions Options() const { return options_; }
  void SetOptions(TPlacementOptions options) { options_ = options; }
  bool PreventResize() const { return preventResize_; }
  void SetPreventResize(bool prevent) { preventResize_ = prevent; }
  TPlacementRegRoot RegistryRoot() const { return registryRoot_; }
  void SetRegistryRoot(TPlacementRegRoot root) { registryRoot_ = root; }
  // Only the registry is a store: without it the component neither restores nor saves.
  bool UseRegistry() const { return useRegistry_; }
  void SetUseRegistry(bool useRegistry) { useRegistry_ = useRegistry; }
  std::int32_t Version() const { return version_; }
  void SetVersion(std::int32_t version) { version_ = version; }
  void SetOnSavePlacement(Notification handler) { onSavePlacement_ = std::move(handler); }
  void SetOnRestorePlacement(Notification handler) { onRestorePlacement_ = std::move(handler); }

 protected:
  // What a derived component stores besides the placement.
  virtual void RestoreValues(PlacementStore&) {}
  virtual void SaveValues(PlacementStore&) {}

 private:
  void Guarded(const std::function<void()>& operation);
  void RestorePlacement(PlacementStore& store);
  void RestorePosition(PlacementStore& store, WindowPlacement& placement);
  // False when the form is minimized through the application, which then repaints it.
  bool RestoreWindowState(PlacementStore& store);
  WindowState DefaultWindowState() const;
  bool StandsForApplication() const;
  void SavePlacement(PlacementStore& store);
  void UpdatePlacement();

  PlacementWindow& form_;
  platform::Registry& registry_;
  ErrorReporter reportError_;

  bool active_ = true;
  std::string iniFileName_;
  std::string iniSection_;
  TWinMinMaxInfo minMaxInfo_;
  TPlacementOptions options_ = fpState | fpPosition;
  bool preventResize_ = false;
  TPlacementRegRoot registryRoot_ = TPlacementRegRoot::prCurrentUser;
  bool useRegistry_ = false;
  std::int32_t version_ = 0;
  Notification onSavePlacement_;
  Notification onRestorePlacement_;

  bool restored_ = false;
  bool saved_ = false;
  bool destroying_ = false;
};

class TFormStorage : public TFormPlacement {
 public:
  using TFormPlacement::TFormPlacement;

  TStoredValues& StoredValues() { return storedValues_; }
  const TStoredValues& StoredValues() const { return storedValues_; }
  // Entries "Component.Property". The form framework has no named properties to read or
  // write, so these entries are kept but nothing is stored for them.
  std::vector<std::string>& StoredProps() { return storedProps_; }

 protected:
  void RestoreValues(PlacementStore& store) override;
  void SaveValues(PlacementStore& store) override;

 private:
  std::vector<std::string> storedProps_;
  TStoredValues storedValues_;
};

}  // namespace korvalis::shell
