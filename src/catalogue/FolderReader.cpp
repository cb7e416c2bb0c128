// Reading the startup folders into the catalogue.
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "text/Fileman.h"

namespace korvalis::catalogue {

void TStartups::LoadFolders(SectionSet sections) {
  TShortcutLink link(platform_.shell);
  link.OwnerWindow = ownerWindow_;
  for (const Section section : {kCurrentUserStartupFolder, kLocalMachineStartupFolder}) {
    if (!sections.Contains(section)) continue;
    const std::string folder =
        section == kCurrentUserStartupFolder ? link.UserStartupFolder() : link.CommonStartupFolder();
    if (folder.empty()) continue;  // never read the current folder in its place
    std::vector<std::string> paths;
    text::FindFiles(platform_.files, folder, ".lnk", paths, false);
    for (const auto& path : paths) {
      try {
        // Each shortcut starts from empty fields, so one the shell cannot resolve never
        // inherits the previous shortcut's target.
        link.ClearFields();
        link.FileName = path;
        link.Read();
        const std::string command = "\"" + link.Target + "\" " + link.Arguments;
        TStartup* entry = Add(text::FileTitle(path), std::string(), command, section, 0);
        if (!entry) continue;
        std::vector<std::uint8_t> bytes;
        if (platform_.files.ReadFile(path, bytes)) entry->LinkData() = std::move(bytes);
      } catch (const Error&) {
        // A shortcut that cannot be read is not a startup entry this program can show.
      }
    }
  }
}

}  // namespace korvalis::catalogue
