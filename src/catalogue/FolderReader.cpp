// Reading the startup folders into the catalogue: every file there runs at logon, a shortcut
// by its target and any other file by itself.
#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/SystemCodes.h"
#include "platform/Files.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

// A file up to this size is kept byte for byte, so a refused removal or change puts it back
// exactly; a larger one is known by its size and hash alone, so memory stays flat.
constexpr std::size_t kKeptBytesAtMost = 64 * 1024;

// The files of a folder as the system enumerates them; folders and the folder's own
// description (which the shell never starts) are no startup entries.
std::vector<std::string> StartupFiles(platform::FileSystem& files, const std::string& folder) {
  std::vector<std::string> names;
  if (!platform::DirExists(files, folder)) return names;
  std::vector<platform::FolderEntry> entries;
  if (!files.FindEntries(text::JoinPath(folder, "*.*"), entries)) return names;
  for (const auto& entry : entries) {
    if (entry.IsFolder() || entry.name == "." || entry.name == "..") continue;
    if (text::SameTextAscii(entry.name, "desktop.ini")) continue;
    names.push_back(entry.name);
  }
  return names;
}

void Note(ReadProblems* problems, const std::string& message, const std::string& unreadableName = std::string()) {
  if (!problems) return;
  problems->messages.push_back(message);
  if (!unreadableName.empty()) problems->unreadableNames.push_back(unreadableName);
}

}  // namespace

std::string StartupFolderOf(TShortcutLink& link, Section section) {
  return section == kCurrentUserStartupFolder ? link.UserStartupFolder() : link.CommonStartupFolder();
}

std::string StartupFolderPathEvenIfMissing(platform::Shell& shell, Section section) {
  return shell.SpecialFolderPathEvenIfMissing(section == kCurrentUserStartupFolder ? platform::kCsidlStartup
                                                                                    : platform::kCsidlCommonStartup);
}

bool IsShortcutName(const std::string& fileName) {
  const auto dot = fileName.find_last_of('.');
  return dot != std::string::npos && text::SameTextAscii(fileName.substr(dot), ".lnk");
}

bool NameCanBeSpelled(const std::string& fileName) {
  // No file name holds a question mark: it is what the ANSI calls put for a character the
  // code page lacks, and such a name opens nothing.
  return fileName.find('?') == std::string::npos;
}

TStartup* TStartups::AddFolderFile(TShortcutLink& link, const std::string& path, const std::string& fileName,
                                   Section section) {
  if (IsShortcutName(fileName)) {
    try {
      // Each shortcut starts from empty fields, so one the shell cannot resolve never
      // inherits the previous shortcut's target.
      link.ClearFields();
      link.FileName = path;
      link.Read();
      const std::string command = "\"" + link.Target + "\" " + link.Arguments;
      return AddEntry(text::FileTitle(path), fileName, std::string(), command, section, 0);
    } catch (const Error&) {
      // Named like a shortcut but none the shell can read: it still runs at logon as a file.
    }
  }
  return AddEntry(fileName, fileName, std::string(), path, section, 0);
}

void TStartups::LoadFolder(Section section, ReadProblems* problems) {
  TShortcutLink link(platform_.shell);
  link.OwnerWindow = ownerWindow_;
  const std::string folder = StartupFolderOf(link, section);
  if (folder.empty()) return;  // never read the current folder in its place
  for (const std::string& fileName : StartupFiles(platform_.files, folder)) {
    const std::string path = text::JoinPath(folder, fileName);
    if (!NameCanBeSpelled(fileName)) {
      // Asked about by the name it shows, though it can be neither read nor moved.
      Note(problems, FormatText("Cannot handle the name of file %s", path));
      AddEntry(fileName, fileName, std::string(), path, section, 0);
      continue;
    }
    platform::FileDigest digest;
    switch (platform_.files.DigestFile(path, kKeptBytesAtMost, digest)) {
      case platform::DigestResult::Read:
        break;
      case platform::DigestResult::Missing:
        continue;  // gone since the folder was listed
      case platform::DigestResult::NotRegular:
        Note(problems, FormatText("Not a regular file, not read: %s", path));
        continue;
      case platform::DigestResult::Unreadable:
        // Its absence from this reading says nothing: the entry read before stands.
        Note(problems, FormatText("Cannot read file %s", path), fileName);
        continue;
    }
    if (TStartup* entry = AddFolderFile(link, path, fileName, section)) {
      entry->SetContent(digest.size, digest.sha256);
      if (digest.kept) entry->LinkData() = std::move(digest.bytes);
    }
  }
}

}  // namespace korvalis::catalogue
