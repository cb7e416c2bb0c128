#include "catalogue/Quarantine.h"

#include "platform/Error.h"
#include "text/Fileman.h"

namespace korvalis::catalogue {

namespace {
constexpr int kMaxSameName = 1000;
constexpr const char* kOriginSuffix = ".origin.txt";
}  // namespace

std::string QuarantineFolder(platform::Environment& environment) {
  return text::JoinPath(text::JoinPath(environment.LocalAppDataFolder(), "Korvalis"), "Quarantine");
}

std::string Quarantine(const platform::Platform& platform, const std::string& path) {
  platform::FileSystem& files = platform.files;
  const Error failure(FormatText("Cannot quarantine file %s", path));
  const std::string folder = QuarantineFolder(platform.environment);
  if (!files.CreateFolders(folder)) throw failure;
  const std::string name = text::FileNamePart(path);
  for (int n = 1; n <= kMaxSameName; ++n) {
    const std::string target = text::JoinPath(folder, n == 1 ? name : std::to_string(n) + "-" + name);
    const std::string origin = target + kOriginSuffix;
    if (files.IsFile(target) || files.IsFile(origin)) continue;
    const std::string record = path + "\r\n";
    if (!files.WriteFile(origin, std::vector<std::uint8_t>(record.begin(), record.end()))) throw failure;
    if (files.MoveFileTo(path, target)) return target;
    files.RemoveFile(origin);
    throw failure;
  }
  throw failure;
}

}  // namespace korvalis::catalogue
