#include "catalogue/Quarantine.h"

#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {
constexpr int kMaxSameName = 1000;
constexpr const char* kOriginSuffix = ".origin.txt";

std::string OriginRecord(const std::string& path) { return path + "\r\n"; }

// The names Quarantine gives a file: the name itself, or a number and a dash in front.
bool QuarantineNameOf(const std::string& candidate, const std::string& name) {
  if (text::SameTextAscii(candidate, name)) return true;
  if (candidate.size() <= name.size() + 1 ||
      !text::SameTextAscii(candidate.substr(candidate.size() - name.size()), name))
    return false;
  const std::string number = candidate.substr(0, candidate.size() - name.size());
  return number.back() == '-' && number.find_first_not_of("0123456789") == number.size() - 1 && number.size() > 1;
}
}  // namespace

std::string QuarantineFolder(platform::Environment& environment) {
  const std::string local = environment.LocalAppDataFolder();
  // Without it the folder would be relative to whatever folder is current.
  if (local.empty()) return std::string();
  return text::JoinPath(text::JoinPath(local, "Korvalis"), "Quarantine");
}

std::string Quarantine(const platform::Platform& platform, const std::string& path) {
  platform::FileSystem& files = platform.files;
  const Error failure(FormatText("Cannot quarantine file %s", path));
  const std::string folder = QuarantineFolder(platform.environment);
  if (folder.empty() || !files.CreateFolders(folder)) throw failure;
  const std::string name = text::FileNamePart(path);
  for (int n = 1; n <= kMaxSameName; ++n) {
    const std::string target = text::JoinPath(folder, n == 1 ? name : std::to_string(n) + "-" + name);
    const std::string origin = target + kOriginSuffix;
    if (files.IsFile(target) || files.IsFile(origin)) continue;
    const std::string record = OriginRecord(path);
    if (!files.WriteFile(origin, std::vector<std::uint8_t>(record.begin(), record.end()))) throw failure;
    const platform::Status moved = files.Move(path, target);
    if (moved == platform::kSuccess && !files.IsFile(path)) return target;
    // A move that only copied leaves the original intact: the copy is no quarantine.
    if (moved == platform::kSuccess) files.RemoveFile(target);
    files.RemoveFile(origin);
    // A folder only an administrator may change, such as the machine's Startup folder.
    if (moved == platform::kErrorAccessDenied) throw RightsMissingError(failure.what());
    throw failure;
  }
  throw failure;
}

bool HeldInQuarantine(const platform::Platform& platform, const TStartup& entry) {
  TShortcutLink link(platform.shell);
  const std::string place = StartupFolderOf(link, entry.GetSection());
  const std::string folder = QuarantineFolder(platform.environment);
  if (place.empty() || folder.empty()) return false;
  const std::string path = text::JoinPath(place, entry.ValueName());
  std::vector<platform::FolderEntry> found;
  if (!platform.files.FindEntries(text::JoinPath(folder, "*" + entry.ValueName()), found)) return false;
  for (const platform::FolderEntry& candidate : found) {
    if (candidate.IsFolder() || !QuarantineNameOf(candidate.name, entry.ValueName())) continue;
    const std::string held = text::JoinPath(folder, candidate.name);
    std::vector<std::uint8_t> origin;
    const std::string record = OriginRecord(path);
    if (!platform.files.ReadFile(held + kOriginSuffix, origin) ||
        !text::SameTextAscii(std::string(origin.begin(), origin.end()), record))
      continue;
    platform::FileDigest digest;
    if (platform.files.DigestFile(held, 0, digest) == platform::DigestResult::Read &&
        digest.size == entry.ContentSize() && digest.sha256 == entry.ContentHash())
      return true;
  }
  return false;
}

}  // namespace korvalis::catalogue
