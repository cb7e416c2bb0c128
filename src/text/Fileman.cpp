#include "text/Fileman.h"

#include "text/StrMan.h"

namespace korvalis::text {

std::string JoinPath(const std::string& folder, const std::string& name) {
  const std::string file = (!name.empty() && name[0] == '\\') ? name.substr(1) : name;
  if (folder.empty()) return file;
  if (folder.back() == '\\') return folder + file;
  return folder + "\\" + file;
}

std::string FileDir(const std::string& path) {
  const auto cut = path.find_last_of("\\:");
  if (cut == std::string::npos) return std::string();
  std::string folder = path.substr(0, cut + 1);
  if (folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string FileNamePart(const std::string& path) {
  const auto cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FileTitle(const std::string& path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool DirExists(platform::FileSystem& files, const std::string& folder) { return files.SetCurrentFolder(folder); }

void FindFiles(platform::FileSystem& files, const std::string& folder, const std::string& extensions,
               std::vector<std::string>& list, bool recursive) {
  if (!DirExists(files, folder)) return;
  std::vector<platform::FolderEntry> entries;
  files.FindEntries(JoinPath(folder, "*.*"), entries);
  const std::string wanted = UpperAscii(extensions);
  std::vector<std::string> subfolders;
  for (const auto& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;
    if (entry.IsFolder() && recursive) {
      subfolders.push_back(JoinPath(folder, entry.name));
      continue;
    }
    const auto dot = entry.name.find_last_of('.');
    if (dot == std::string::npos) continue;
    if (wanted.find(UpperAscii(entry.name.substr(dot))) != std::string::npos)
      list.push_back(JoinPath(folder, entry.name));
  }
  for (const auto& subfolder : subfolders) FindFiles(files, subfolder, extensions, list, recursive);
}

std::string WindowsDir(platform::Environment& environment) { return environment.WindowsFolder(); }

std::string SystemDir(platform::Environment& environment) { return environment.SystemFolder(); }

}  // namespace korvalis::text
