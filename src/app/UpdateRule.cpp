#include "app/UpdateRule.h"

#include <algorithm>
#include <vector>

#include "catalogue/CommandLine.h"
#include "catalogue/HostPayload.h"
#include "catalogue/Startups.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::app {

namespace {

// "1.2.10" as its numbers; none for a name that is not a version.
std::optional<std::vector<unsigned long>> VersionOf(const std::string& name) {
  std::vector<unsigned long> parts;
  std::size_t from = 0;
  constexpr std::size_t kPartsAtMost = 6, kDigitsAtMost = 9;
  while (parts.size() < kPartsAtMost) {
    const std::size_t dot = name.find('.', from);
    const std::string part = name.substr(from, dot == std::string::npos ? std::string::npos : dot - from);
    if (part.empty() || part.size() > kDigitsAtMost ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    parts.push_back(std::stoul(part));
    if (dot == std::string::npos) return parts;
    from = dot + 1;
  }
  return std::nullopt;
}

bool ProgramOrLibrary(const std::string& name) {
  const std::string upper = text::UpperAscii(name);
  const auto dot = upper.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = upper.substr(dot + 1);
  for (const char* kind : {"EXE", "DLL", "OCX", "CPL", "SCR", "SYS", "COM", "DRV", "AX"})
    if (extension == kind) return true;
  return false;
}

std::optional<std::string> ValidSigner(platform::FileInspector& inspector, const std::string& path) {
  const platform::FileFacts facts = inspector.Inspect(path);
  if (facts.lookup != platform::FileLookup::Found || facts.signature != platform::Signature::Valid ||
      facts.signer.empty())
    return std::nullopt;
  return facts.signer;
}

}  // namespace

bool InspectablePath(const std::string& path) {
  return path.size() > 3 && path[1] == ':' && path[2] == '\\' && text::KindOfPath(path) == text::PathKind::Local;
}

bool LaterVersionFolder(const std::string& earlier, const std::string& later) {
  if (!text::SameTextAscii(text::FileDir(earlier), text::FileDir(later))) return false;
  const auto from = VersionOf(text::FileNamePart(earlier));
  const auto to = VersionOf(text::FileNamePart(later));
  return from && to && *from < *to;
}

bool MayBeUpdate(const catalogue::TStartup& before, const catalogue::TStartup& now) {
  if (before.Command() == now.Command() || catalogue::IsBootOrSystemDriver(now)) return false;
  // A script host's own signature says nothing of what it runs.
  if (catalogue::FindHostPayload(before.Command()).kind != catalogue::PayloadKind::None ||
      catalogue::FindHostPayload(now.Command()).kind != catalogue::PayloadKind::None)
    return false;
  if (catalogue::CommandParams(before.Command()) != catalogue::CommandParams(now.Command())) return false;
  const std::string& earlier = before.ProgramFile();
  const std::string& program = now.ProgramFile();
  if (!InspectablePath(earlier) || !InspectablePath(program)) return false;
  if (!text::SameTextAscii(text::FileNamePart(earlier), text::FileNamePart(program))) return false;
  const std::string from = text::FileDir(earlier), to = text::FileDir(program);
  return text::SameTextAscii(from, to) || LaterVersionFolder(from, to);
}

std::optional<std::string> UpdateSigner(platform::FileSystem& files, platform::FileInspector& inspector,
                                        const TUpdateCheck& check) {
  // Nothing on a drive mapped to a share is listed or read: its server would learn the user's credentials.
  if (inspector.IsRemote(check.program) || inspector.IsRemote(check.earlierProgram)) return std::nullopt;
  const std::optional<std::string> signer =
      check.recordedSigner.empty() ? ValidSigner(inspector, check.earlierProgram) : check.recordedSigner;
  if (!signer || ValidSigner(inspector, check.program) != signer) return std::nullopt;
  std::vector<platform::FolderEntry> entries;
  const std::string folder = text::FileDir(check.program);
  if (!files.FindEntries(text::JoinPath(folder, "*"), entries)) return std::nullopt;
  std::size_t checked = 0;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.IsFolder() || !ProgramOrLibrary(entry.name)) continue;
    if (++checked > kFolderFilesAtMost) return std::nullopt;
    if (ValidSigner(inspector, text::JoinPath(folder, entry.name)) != signer) return std::nullopt;
  }
  return signer;
}

}  // namespace korvalis::app
