#include "platform/Files.h"

#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::platform {

bool DirExists(FileSystem& files, const std::string& folder) { return files.SetCurrentFolder(folder); }

void FindFiles(FileSystem& files, const std::string& folder, const std::string& extensions,
               std::vector<std::string>& list, bool recursive) {
  if (!DirExists(files, folder)) return;
  std::vector<FolderEntry> entries;
  files.FindEntries(text::JoinPath(folder, "*.*"), entries);
  const std::string wanted = text::UpperAscii(extensions);
  std::vector<std::string> subfolders;
  for (const auto& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;
    if (entry.IsFolder() && recursive) {
      subfolders.push_back(text::JoinPath(folder, entry.name));
      continue;
    }
    const auto dot = entry.name.find_last_of('.');
    if (dot == std::string::npos) continue;
    if (wanted.find(text::UpperAscii(entry.name.substr(dot))) != std::string::npos)
      list.push_back(text::JoinPath(folder, entry.name));
  }
  for (const auto& subfolder : subfolders) FindFiles(files, subfolder, extensions, list, recursive);
}

std::string WindowsDir(Environment& environment) { return environment.WindowsFolder(); }

std::string SystemDir(Environment& environment) { return environment.SystemFolder(); }

}  // namespace korvalis::platform
