#include "text/Fileman.h"

#include <cctype>

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

bool IsNetworkPath(const std::string& path) {
  const auto separator = [&](std::size_t at) { return at < path.size() && (path[at] == '\\' || path[at] == '/'); };
  if (!separator(0) || !separator(1)) return false;
  // \\?\ and \\.\ lead into the system's own namespaces, of which only UNC is the network.
  if (path.size() > 2 && (path[2] == '?' || path[2] == '.') && separator(3))
    return path.size() > 7 && text::SameTextAscii(path.substr(4, 3), "UNC") && separator(7);
  return true;
}

PathKind KindOfPath(const std::string& path) {
  if (IsNetworkPath(path)) return PathKind::Network;
  if (path.size() < 4 || (path[0] != '\\' && path[0] != '/') || (path[1] != '\\' && path[1] != '/'))
    return PathKind::Local;
  // Not the network, so it begins \\?\ or \\.\ : the system's namespaces.
  std::string rest = path.substr(4);
  for (char& c : rest)
    if (c == '/') c = '\\';
  if (rest.size() >= 3 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':' && rest[2] == '\\')
    return PathKind::Local;
  const std::string folded = UpperAscii(rest);
  for (const char* pipes : {"PIPE\\", "GLOBALROOT\\DEVICE\\NAMEDPIPE\\"})
    if (folded.compare(0, std::string(pipes).size(), pipes) == 0) return PathKind::LocalPipe;
  return PathKind::Device;
}

}  // namespace korvalis::text
