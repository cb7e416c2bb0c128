// Writing one entry back to its location.
#include "catalogue/CommandLine.h"
#include "catalogue/Quarantine.h"
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"
#include "platform/Services.h"
#include "text/Fileman.h"

namespace korvalis::catalogue {

namespace {
// Text written where no data was read: a list of strings keeps its type, as one string.
platform::Status SetText(const TPlace& place, platform::RegistryKey& key, const std::string& value,
                         const std::string& text) {
  if (!place.multiString) return key.SetValue(value, platform::kRegSz, platform::StringBytes(text));
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  if (!text.empty()) bytes.push_back(0);
  bytes.push_back(0);
  return key.SetValue(value, platform::kRegMultiSz, bytes);
}
// The system's refusal for lack of rights is an error of its own kind: an administrator could
// still carry the write out.
[[noreturn]] void Refused(platform::Status status, const std::string& message) {
  if (status == platform::kErrorAccessDenied) throw RightsMissingError(message);
  throw Error(message);
}
}  // namespace

void TStartup::ApplyToRegistry(const TPlace& place) const {
  platform::Registry& registry = owner_->Platform().registry;
  if (place.view == platform::RegistryView::Other && !registry.HasOtherView()) return;
  const TEntryKey& key = Key();
  // A value below the place's key never stands for one of the key itself.
  if (place.BelowKey() != key.BelowSubkey()) return;
  const std::string path = key.BelowSubkey() ? place.path + "\\" + std::string(key.Subkey()) : place.path;
  const std::string value(key.Name());
  if (enabled_) {
    // A refused deletion of the whole key must still bring its entries back.
    platform::OpenedKey opened = registry.CreateKey(place.root, path, platform::KeyAccess::Write, place.view);
    const bool asRead = place.keepsData && !record_.data.empty();
    const platform::Status status =
        !opened ? opened.status
                : (asRead ? opened.key->SetValue(value, record_.valueType, record_.data) : SetText(place, *opened.key, value, record_.command));
    if (status != platform::kSuccess || !opened) Refused(status, FormatText("Failed to set data for '%s'", record_.name));
    return;
  }
  if (!place.shadowed.empty() || place.deletesKey) {
    // Only the user's whole key gives the class back to the machine's server; only the whole
    // object's key keeps it from loading.
    const platform::Status status = registry.DeleteTree(place.root, path, place.view);
    if (status != platform::kSuccess && status != platform::kErrorFileNotFound)
      Refused(status, FormatText("Failed to delete value '%s'", record_.name));
    return;
  }
  // The system cannot log on without it; a refused addition writes the place's kept data instead.
  if (place.KeptData(value)) return;
  if (place.Emptied(value)) {
    platform::OpenedKey opened = registry.OpenKey(place.root, path, platform::KeyAccess::Write, place.view);
    const platform::Status status = opened ? SetText(place, *opened.key, value, std::string()) : opened.status;
    if (opened && status == platform::kSuccess) return;
    Refused(status, FormatText("Failed to set data for '%s'", record_.name));
  }
  const platform::Status status = platform::DeleteValueIfThere(registry, place.root, path, value, place.view);
  if (status != platform::kSuccess) Refused(status, FormatText("Failed to delete value '%s'", record_.name));
}

void TStartup::ApplyToService(const TPlace& place) const {
  const platform::Platform& system = owner_->Platform();
  const std::string service(Key().TopKey());
  // Named as the user knows it: the service, also for the library value beneath its key.
  const auto check = [&](platform::Status status, const char* pattern) {
    // A service deleted meanwhile starts nothing any more: there is nothing left to undo.
    if (status == platform::kSuccess || status == platform::kErrorServiceDoesNotExist) return;
    if (status == platform::kErrorAccessDenied) throw RightsMissingError(FormatText(pattern, service));
    throw Error(FormatText(pattern, service));
  };
  if (!enabled_) {
    // Disabled, never deleted: a No given by mistake is one start type away from undone, and
    // its library stays the service's. Disabled is done, whether or not it also stopped.
    check(platform::DisableService(system.registry, system.services, service).disabled,
          "Failed to disable service '%s'");
    return;
  }
  if (!Key().BelowSubkey()) {
    check(platform::SetServiceImagePath(system.registry, system.services, service, record_.command),
          "Failed to set data for '%s'");
    check(platform::SetServiceStart(system.registry, system.services, service, record_.valueType),
          "Failed to set data for '%s'");
    return;
  }
  // The service manager knows nothing of the library: it is the registry value alone.
  platform::OpenedKey opened = system.registry.OpenKey(place.root, place.path + "\\" + service + "\\Parameters",
                                                       platform::KeyAccess::Write, place.view);
  const platform::Status status =
      opened ? opened.key->SetValue("ServiceDll", platform::kRegExpandSz, platform::StringBytes(record_.command)) : opened.status;
  check(status == platform::kErrorFileNotFound ? platform::kErrorServiceDoesNotExist : status,
        "Failed to set data for '%s'");
}

void TStartup::ApplyToFolder() const {
  platform::FileSystem& files = owner_->Platform().files;
  TShortcutLink link(owner_->Platform().shell);
  link.OwnerWindow = owner_->OwnerWindow();
  const std::string folder = StartupFolderOf(link, record_.section);
  const std::string path = text::JoinPath(folder, ValueName().empty() ? record_.name + ".lnk" : ValueName());
  if (folder.empty()) {
    // Without its folder the shortcut would land in whatever folder is current.
    if (enabled_) throw Error(FormatText("Cannot create file %s", path));
    return;
  }
  if (!enabled_) {
    // Refused: kept aside, not deleted, so a mistaken answer can be undone by hand.
    if (files.IsFile(path))
      Quarantine(owner_->Platform(), owner_->QuarantineFolder(), path);
    else if (!NameCanBeSpelled(ValueName()))
      throw Error(FormatText("Cannot quarantine file %s", path));
    return;
  }
  // A link or a name another file shares would carry the bytes somewhere else.
  if (!files.CanReplace(path)) throw Error(FormatText("Cannot create file %s", path));
  const bool known = !record_.contentHash.empty();
  if (known ? record_.data.size() == record_.contentSize : !record_.data.empty()) {
    if (!files.WriteFileAtomically(path, record_.data)) throw Error(FormatText("Cannot create file %s", path));
    return;
  }
  // Only a shortcut can be made anew from its command; any other file whose bytes were not
  // kept cannot be put back, and nothing else is written in its place.
  if (known || !IsShortcutName(path)) throw Error(FormatText("Cannot put back file %s, its content was not kept", path));
  link.FileName = path;
  link.Target = "\"" + CommandProgram(record_.command) + "\"";
  link.Arguments = CommandParams(record_.command);
  link.Save();
}

}  // namespace korvalis::catalogue
