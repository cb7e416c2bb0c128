#include "catalogue/Quarantine.h"

#include <optional>

#include "catalogue/Places.h"
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

namespace {
// The first name the quarantine has free for the file, with its origin record beside it.
struct Slot {
  std::string target, origin;
};
std::optional<Slot> FreeSlot(platform::FileSystem& files, const std::string& folder, const std::string& name) {
  for (int n = 1; n <= kMaxSameName; ++n) {
    const std::string target = text::JoinPath(folder, n == 1 ? name : std::to_string(n) + "-" + name);
    const std::string origin = target + kOriginSuffix;
    if (!files.IsFile(target) && !files.IsFile(origin)) return Slot{target, origin};
  }
  return std::nullopt;
}

std::optional<Slot> Prepared(const platform::Platform& platform, const std::string& name, const std::string& from) {
  const std::string folder = QuarantineFolder(platform.environment);
  if (folder.empty() || !platform.files.CreateFolders(folder)) return std::nullopt;
  std::optional<Slot> slot = FreeSlot(platform.files, folder, name);
  const std::string record = OriginRecord(from);
  if (!slot || !platform.files.WriteFile(slot->origin, std::vector<std::uint8_t>(record.begin(), record.end())))
    return std::nullopt;
  return slot;
}
}  // namespace

std::string Quarantine(const platform::Platform& platform, const std::string& path) {
  platform::FileSystem& files = platform.files;
  const Error failure(FormatText("Cannot quarantine file %s", path));
  const std::optional<Slot> slot = Prepared(platform, text::FileNamePart(path), path);
  if (!slot) throw failure;
  const platform::Status moved = files.Move(path, slot->target);
  if (moved == platform::kSuccess && !files.IsFile(path)) return slot->target;
  // A move that only copied leaves the original intact: the copy is no quarantine.
  if (moved == platform::kSuccess) files.RemoveFile(slot->target);
  files.RemoveFile(slot->origin);
  // A folder only an administrator may change, such as the machine's Startup folder.
  if (moved == platform::kErrorAccessDenied) throw RightsMissingError(failure.what());
  throw failure;
}

std::string QuarantineCopy(const platform::Platform& platform, const std::string& fileName, const std::string& origin,
                           const std::vector<std::uint8_t>& bytes) {
  const Error failure(FormatText("Cannot quarantine %s", origin));
  const std::optional<Slot> slot = Prepared(platform, fileName, origin);
  if (!slot) throw failure;
  if (platform.files.WriteFile(slot->target, bytes)) return slot->target;
  platform.files.RemoveFile(slot->target);
  platform.files.RemoveFile(slot->origin);
  throw failure;
}

void Unquarantine(const platform::Platform& platform, const std::string& held) {
  platform.files.RemoveFile(held);
  platform.files.RemoveFile(held + kOriginSuffix);
}

std::string TaskFileName(const std::string& taskPath) {
  const auto cut = taskPath.rfind('\\');
  std::string name = cut == std::string::npos ? taskPath : taskPath.substr(cut + 1);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 || std::string("\\/:*?\"<>|").find(c) != std::string::npos) c = '_';
  return (name.empty() ? std::string("task") : name) + ".xml";
}

bool HeldInQuarantine(const platform::Platform& platform, const TStartup& entry) {
  // A task's copy is one of its definition, never the same bytes as a later registration.
  const bool task = PlaceOf(entry.GetSection()) && PlaceOf(entry.GetSection())->kind == PlaceKind::Task;
  TShortcutLink link(platform.shell);
  const std::string place = task ? std::string() : StartupFolderOf(link, entry.GetSection());
  const std::string folder = QuarantineFolder(platform.environment);
  if ((!task && place.empty()) || folder.empty()) return false;
  const std::string path = task ? entry.ValueName() : text::JoinPath(place, entry.ValueName());
  const std::string name = task ? TaskFileName(entry.ValueName()) : entry.ValueName();
  std::vector<platform::FolderEntry> found;
  if (!platform.files.FindEntries(text::JoinPath(folder, "*" + name), found)) return false;
  for (const platform::FolderEntry& candidate : found) {
    if (candidate.IsFolder() || !QuarantineNameOf(candidate.name, name)) continue;
    const std::string held = text::JoinPath(folder, candidate.name);
    std::vector<std::uint8_t> origin;
    const std::string record = OriginRecord(path);
    if (!platform.files.ReadFile(held + kOriginSuffix, origin) ||
        !text::SameTextAscii(std::string(origin.begin(), origin.end()), record))
      continue;
    if (task) return true;
    platform::FileDigest digest;
    if (platform.files.DigestFile(held, 0, digest) == platform::DigestResult::Read &&
        digest.size == entry.ContentSize() && digest.sha256 == entry.ContentHash())
      return true;
  }
  return false;
}

bool RefusalsHeldInQuarantine(Section section) {
  const TPlace* place = PlaceOf(section);
  return place && (place->kind == PlaceKind::Folder || place->kind == PlaceKind::Task);
}

}  // namespace korvalis::catalogue
