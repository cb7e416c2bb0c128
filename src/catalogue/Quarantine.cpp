#include "catalogue/Quarantine.h"

#include <optional>

#include "catalogue/Places.h"
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/Sha256.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {
constexpr int kMaxSameName = 1000;
constexpr const char* kOriginSuffix = ".origin.txt";
constexpr std::size_t kHashDigits = 16;

std::string OriginRecord(const std::string& path) { return path + "\r\n"; }

// The names Quarantine gives a file: the name itself, or a number or the start of its content's
// hash and a dash in front.
bool QuarantineNameOf(const std::string& candidate, const std::string& name) {
  if (text::SameTextAscii(candidate, name)) return true;
  if (candidate.size() <= name.size() + 1 ||
      !text::SameTextAscii(candidate.substr(candidate.size() - name.size()), name))
    return false;
  const std::string prefix = candidate.substr(0, candidate.size() - name.size());
  return prefix.back() == '-' && prefix.find_first_not_of("0123456789abcdef") == prefix.size() - 1 &&
         prefix.size() > 1;
}

std::string HashPrefix(const std::string& sha256) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < sha256.size() && hex.size() < kHashDigits; ++i) {
    const auto c = static_cast<unsigned char>(sha256[i]);
    hex += std::string{digits[c >> 4], digits[c & 15]};
  }
  return hex;
}
}  // namespace

std::string QuarantineFolder(platform::Environment& environment) {
  const std::string local = environment.LocalAppDataFolder();
  // Without it the folder would be relative to whatever folder is current.
  if (local.empty()) return std::string();
  return text::JoinPath(text::JoinPath(local, "Korvalis"), "Quarantine");
}

std::string MachineQuarantineFolder(const platform::Platform& platform) {
  // The machine's own setting, not a variable of the environment a user's program could set.
  const std::string programData = platform.shell.SpecialFolderPath(platform::kCsidlCommonAppData, 0);
  if (programData.empty()) return std::string();
  const std::string korvalis = text::JoinPath(programData, "Korvalis");
  const std::string folder = text::JoinPath(korvalis, "Quarantine");
  if (!platform.files.MakeAdministratorsFolder(korvalis) || !platform.files.MakeAdministratorsFolder(folder))
    return std::string();
  return folder;
}

namespace {
struct Slot {
  std::string target, origin;
};

// The copy of the file the folder holds from that origin, of that content (any content: null).
std::optional<std::string> HeldCopy(platform::FileSystem& files, const std::string& folder, const std::string& name,
                                    const std::string& origin, const platform::FileDigest* content) {
  std::vector<platform::FolderEntry> found;
  if (!files.FindEntries(text::JoinPath(folder, "*" + name), found)) return std::nullopt;
  const std::string record = OriginRecord(origin);
  for (const platform::FolderEntry& candidate : found) {
    if (candidate.IsFolder() || !QuarantineNameOf(candidate.name, name)) continue;
    const std::string held = text::JoinPath(folder, candidate.name);
    std::vector<std::uint8_t> recorded;
    if (!files.ReadFile(held + kOriginSuffix, recorded) ||
        !text::SameTextAscii(std::string(recorded.begin(), recorded.end()), record))
      continue;
    platform::FileDigest digest;
    if (!content || (files.DigestFile(held, 0, digest) == platform::DigestResult::Read &&
                     digest.size == content->size && digest.sha256 == content->sha256))
      return held;
  }
  return std::nullopt;
}

// The names a file may take, in turn: its own, one of its content's hash (so that files of ever
// new content never run out of names), then numbered.
std::string Candidate(int n, const std::string& name, const platform::FileDigest* content) {
  if (n == 0) return name;
  if (n == 1) return content ? HashPrefix(content->sha256) + "-" + name : std::string();
  return std::to_string(n) + "-" + name;
}

std::optional<Slot> FreeSlot(platform::FileSystem& files, const std::string& folder, const std::string& name,
                             const platform::FileDigest* content) {
  for (int n = 0; n <= kMaxSameName; ++n) {
    const std::string candidate = Candidate(n, name, content);
    if (candidate.empty()) continue;
    const std::string target = text::JoinPath(folder, candidate);
    const std::string origin = target + kOriginSuffix;
    if (!files.IsFile(target) && !files.IsFile(origin)) return Slot{target, origin};
  }
  return std::nullopt;
}

platform::FileDigest DigestOf(std::uint64_t size, std::string sha256) {
  platform::FileDigest digest;
  digest.size = size;
  digest.sha256 = std::move(sha256);
  return digest;
}

// Where the file goes, with its origin recorded there; held: the same bytes from there lie in
// the quarantine already, and the slot only takes the file out of its place.
std::optional<Slot> Prepared(const platform::Platform& platform, const std::string& folder, const std::string& name,
                             const std::string& from, const platform::FileDigest* content,
                             std::optional<std::string>& held) {
  if (folder.empty() || !platform.files.CreateFolders(folder)) return std::nullopt;
  held = content ? HeldCopy(platform.files, folder, name, from, content) : std::nullopt;
  std::optional<Slot> slot = FreeSlot(platform.files, folder, name, content);
  const std::string record = OriginRecord(from);
  if (!slot || held) return slot;
  if (!platform.files.WriteFile(slot->origin, std::vector<std::uint8_t>(record.begin(), record.end())))
    return std::nullopt;
  return slot;
}
}  // namespace

std::string Quarantine(const platform::Platform& platform, const std::string& folder, const std::string& path) {
  platform::FileSystem& files = platform.files;
  const Error failure(FormatText("Cannot quarantine file %s", path));
  platform::FileDigest content;
  const bool known = files.DigestFile(path, 0, content) == platform::DigestResult::Read;
  std::optional<std::string> held;
  const std::optional<Slot> slot = Prepared(platform, folder, text::FileNamePart(path), path, known ? &content : nullptr, held);
  if (!slot) throw failure;
  // Moved even when held: the folder's own answer says whether the file may be taken.
  const platform::Status moved = files.Move(path, slot->target);
  if (moved == platform::kSuccess && !files.IsFile(path)) {
    platform::FileDigest now;
    if (!held) return slot->target;
    if (files.DigestFile(slot->target, 0, now) == platform::DigestResult::Read && now.size == content.size &&
        now.sha256 == content.sha256) {
      files.RemoveFile(slot->target);
      return *held;
    }
    // Changed since it was looked at: a copy of its own after all.
    const std::string record = OriginRecord(path);
    files.WriteFile(slot->origin, std::vector<std::uint8_t>(record.begin(), record.end()));
    return slot->target;
  }
  // A move that only copied leaves the original intact: the copy is no quarantine.
  if (moved == platform::kSuccess) files.RemoveFile(slot->target);
  if (!held) files.RemoveFile(slot->origin);
  // A folder only an administrator may change, such as the machine's Startup folder.
  if (moved == platform::kErrorAccessDenied) throw RightsMissingError(failure.what());
  throw failure;
}

std::string QuarantineCopy(const platform::Platform& platform, const std::string& folder, const std::string& fileName,
                           const std::string& origin, const std::vector<std::uint8_t>& bytes) {
  const Error failure(FormatText("Cannot quarantine %s", origin));
  const platform::FileDigest content = DigestOf(bytes.size(), platform::Sha256Of(bytes));
  std::optional<std::string> held;
  const std::optional<Slot> slot = Prepared(platform, folder, fileName, origin, &content, held);
  if (held) return std::string();
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
  const TPlace* at = entry.Place();
  const bool task = at && at->Kind().Quarantined() == QuarantineAs::Definition;
  TShortcutLink link(platform.shell);
  const std::string place = task ? std::string() : StartupFolderOf(link, entry.GetSection());
  const std::string folder = QuarantineFolder(platform.environment);
  if ((!task && place.empty()) || folder.empty()) return false;
  const std::string path = task ? entry.ValueName() : text::JoinPath(place, entry.ValueName());
  const std::string name = task ? TaskFileName(entry.ValueName()) : entry.ValueName();
  const platform::FileDigest content = DigestOf(entry.ContentSize(), entry.ContentHash());
  return HeldCopy(platform.files, folder, name, path, task ? nullptr : &content).has_value();
}

bool RefusalsHeldInQuarantine(const TPlace& place) {
  return place.Kind().Quarantined() != QuarantineAs::Nothing;
}

}  // namespace korvalis::catalogue
