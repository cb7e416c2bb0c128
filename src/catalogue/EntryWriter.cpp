// Writing one entry back to its location.
#include "catalogue/CommandLine.h"
#include "catalogue/Quarantine.h"
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"
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
}  // namespace

void TStartup::ApplyToRegistry(const TPlace& place) const {
  platform::Registry& registry = owner_->Platform().registry;
  if (place.view == platform::RegistryView::Other && !registry.HasOtherView()) return;
  std::string path = place.path;
  std::string value = valueName_;
  if (place.BelowKey()) {
    // A key's name holds no backslash, and the reader guards no value whose name does, so the
    // last one ends the path of subkeys.
    const auto cut = valueName_.rfind('\\');
    if (cut == std::string::npos) return;
    path += "\\" + valueName_.substr(0, cut);
    value = valueName_.substr(cut + 1);
  }
  if (enabled_) {
    // A refused deletion of the whole key must still bring its entries back.
    platform::OpenedKey opened = registry.CreateKey(place.root, path, platform::KeyAccess::Write, place.view);
    const bool asRead = place.keepsData && !linkData_.empty();
    if (!opened || (asRead ? opened.key->SetValue(value, valueType_, linkData_) : SetText(place, *opened.key, value, command_)) !=
                       platform::kSuccess)
      throw Error(FormatText("Failed to set data for '%s'", name_));
    return;
  }
  if (!place.shadowed.empty()) {
    // Only the user's whole key gives the class back to the machine's server.
    const platform::Status status = registry.DeleteTree(place.root, path, place.view);
    if (status != platform::kSuccess && status != platform::kErrorFileNotFound)
      throw Error(FormatText("Failed to delete value '%s'", name_));
    return;
  }
  // The system cannot log on without it; a refused addition writes the place's kept data instead.
  if (place.KeptData(value)) return;
  if (place.Emptied(value)) {
    platform::OpenedKey opened = registry.OpenKey(place.root, path, platform::KeyAccess::Write, place.view);
    if (opened && SetText(place, *opened.key, value, std::string()) == platform::kSuccess) return;
    throw Error(FormatText("Failed to set data for '%s'", name_));
  }
  if (!platform::DeleteValueIfPresent(registry, place.root, path, value, place.view))
    throw Error(FormatText("Failed to delete value '%s'", name_));
}

void TStartup::ApplyToFolder() const {
  platform::FileSystem& files = owner_->Platform().files;
  TShortcutLink link(owner_->Platform().shell);
  link.OwnerWindow = owner_->OwnerWindow();
  const std::string folder = StartupFolderOf(link, section_);
  const std::string path = text::JoinPath(folder, valueName_.empty() ? name_ + ".lnk" : valueName_);
  if (folder.empty()) {
    // Without its folder the shortcut would land in whatever folder is current.
    if (enabled_) throw Error(FormatText("Cannot create file %s", path));
    return;
  }
  if (!enabled_) {
    // Refused: kept aside, not deleted, so a mistaken answer can be undone by hand.
    if (files.IsFile(path))
      Quarantine(owner_->Platform(), path);
    else if (!NameCanBeSpelled(valueName_))
      throw Error(FormatText("Cannot quarantine file %s", path));
    return;
  }
  // A link or a name another file shares would carry the bytes somewhere else.
  if (!files.CanReplace(path)) throw Error(FormatText("Cannot create file %s", path));
  const bool known = !contentHash_.empty();
  if (known ? linkData_.size() == contentSize_ : !linkData_.empty()) {
    if (!files.WriteFileAtomically(path, linkData_)) throw Error(FormatText("Cannot create file %s", path));
    return;
  }
  // Only a shortcut can be made anew from its command; any other file whose bytes were not
  // kept cannot be put back, and nothing else is written in its place.
  if (known || !IsShortcutName(path)) throw Error(FormatText("Cannot put back file %s, its content was not kept", path));
  link.FileName = path;
  link.Target = "\"" + CommandProgram(command_) + "\"";
  link.Arguments = CommandParams(command_);
  link.Save();
}

}  // namespace korvalis::catalogue
