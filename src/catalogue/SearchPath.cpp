#include "catalogue/SearchPath.h"

#include "platform/Files.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

std::string GetEnvVar(platform::Environment& environment, const std::string& name) {
  std::string value;
  return environment.Variable(name, value) ? value : std::string();
}

SearchPath BuildSearchPath(platform::Environment& environment) {
  SearchPath folders;
  text::SplitToList(folders, GetEnvVar(environment, "PATH"), ';');
  folders.push_back(platform::SystemDir(environment));
  folders.push_back(platform::WindowsDir(environment));
  return folders;
}

std::string ExpandSystemRoot(platform::Environment& environment, const std::string& text) {
  return text::ReplaceAll(text, "%SystemRoot%", platform::SystemDir(environment));
}

std::string FindProgramFile(platform::FileSystem& files, platform::Environment& environment,
                            const SearchPath& searchPath, const std::string& fileName) {
  if (text::IsNetworkPath(fileName)) return fileName;
  if (files.IsFile(fileName)) return fileName;
  for (const auto& folder : searchPath) {
    const std::string candidate = text::JoinPath(ExpandSystemRoot(environment, folder), fileName);
    if (!text::IsNetworkPath(candidate) && files.IsFile(candidate)) return candidate;
  }
  return fileName;
}

SearchPath LocalFolders(platform::FileInspector& inspector, platform::Environment& environment,
                        const SearchPath& searchPath) {
  SearchPath local;
  for (const std::string& folder : searchPath)
    if (!inspector.IsRemote(ExpandSystemRoot(environment, folder))) local.push_back(folder);
  return local;
}

}  // namespace korvalis::catalogue
