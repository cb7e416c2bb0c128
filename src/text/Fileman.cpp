#include "text/Fileman.h"

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

}  // namespace korvalis::text
