// Reading the startup folders into the catalogue: every file there runs at logon, a shortcut
// by its target and any other file by itself.
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

bool IsShortcut(const std::string& fileName) {
  const auto dot = fileName.find_last_of('.');
  return dot != std::string::npos && text::SameTextAscii(fileName.substr(dot), ".lnk");
}

// The files of a folder as the system enumerates them; folders and the folder's own
// description (which the shell never starts) are no startup entries.
std::vector<std::string> StartupFiles(platform::FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  if (!platform::DirExists(files, folder)) return names;
  std::vector<platform::FolderEntry> entries;
  if (!files.FindEntries(text::JoinPath(folder, "*.*"), entries)) return names;
  for (const auto& entry : entries) {
    if (entry.IsFolder() || entry.name == "." || entry.name == "..") continue;
    if (text::SameTextAscii(entry.name, "desktop.ini")) continue;
    names.push_back(entry.name);
  }
  return names;
}

}  // namespace

std::string StartupFolderOf(TShortcutLink& link, Section section) {
  return section == kCurrentUserStartupFolder ? link.UserStartupFolder() : link.CommonStartupFolder();
}

void TStartups::LoadFolders(SectionSet sections) {
  TShortcutLink link(platform_.shell);
  link.OwnerWindow = ownerWindow_;
  for (const Section section : {kCurrentUserStartupFolder, kLocalMachineStartupFolder}) {
    if (!sections.Contains(section)) continue;
    const std::string folder = StartupFolderOf(link, section);
    if (folder.empty()) continue;  // never read the current folder in its place
    for (const std::string& fileName : StartupFiles(platform_.files, folder)) {
      const std::string path = text::JoinPath(folder, fileName);
      try {
        TStartup* entry = nullptr;
        if (IsShortcut(fileName)) {
          // Each shortcut starts from empty fields, so one the shell cannot resolve never
          // inherits the previous shortcut's target.
          link.ClearFields();
          link.FileName = path;
          link.Read();
          const std::string command = "\"" + link.Target + "\" " + link.Arguments;
          entry = AddEntry(text::FileTitle(path), fileName, std::string(), command, section, 0);
        } else {
          entry = AddEntry(fileName, fileName, std::string(), path, section, 0);
        }
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
