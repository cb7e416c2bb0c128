// Writing one entry back to its location.
#include "catalogue/CommandLine.h"
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"
#include "text/Fileman.h"

namespace korvalis::catalogue {

void TStartup::ApplyToRegistry() const {
  platform::Registry& registry = owner_->Platform().registry;
  const platform::RootKey root = SectionRoot(section_);
  const std::string path = platform::PathFromRoot(SectionKey(section_));
  if (enabled_) {
    // A refused deletion of the whole key must still bring its entries back.
    platform::OpenedKey opened = registry.CreateKey(root, path, platform::KeyAccess::Write);
    if (!opened || opened.key->SetValue(valueName_, platform::kRegSz, platform::StringBytes(command_)) != platform::kSuccess)
      throw Error(FormatText("Failed to set data for '%s'", name_));
    return;
  }
  if (!platform::DeleteValueIfPresent(registry, root, path, valueName_))
    throw Error(FormatText("Failed to delete value '%s'", name_));
}

void TStartup::ApplyToFolder() const {
  platform::FileSystem& files = owner_->Platform().files;
  TShortcutLink link(owner_->Platform().shell);
  link.OwnerWindow = owner_->OwnerWindow();
  const std::string folder =
      section_ == kLocalMachineStartupFolder ? link.CommonStartupFolder() : link.UserStartupFolder();
  const std::string path = text::JoinPath(folder, name_ + ".lnk");
  if (folder.empty()) {
    // Without its folder the shortcut would land in whatever folder is current.
    if (enabled_) throw Error(FormatText("Cannot create file %s", path));
    return;
  }
  if (!enabled_) {
    if (!files.RemoveFile(path) && files.IsFile(path)) throw Error(FormatText("Cannot delete file %s", path));
    return;
  }
  if (!linkData_.empty()) {
    if (!files.WriteFile(path, linkData_)) throw Error(FormatText("Cannot create file %s", path));
    return;
  }
  link.FileName = path;
  link.Target = "\"" + CommandProgram(command_) + "\"";
  link.Arguments = CommandParams(command_);
  link.Save();
}

}  // namespace korvalis::catalogue
