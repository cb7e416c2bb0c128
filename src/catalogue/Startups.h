#pragma once
// The catalogue: the startup entries it owns, in insertion order, and the reading and
// writing of their locations.
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/Places.h"
#include "catalogue/ReadProblems.h"
#include "catalogue/Sections.h"
#include "catalogue/Startup.h"
#include "platform/Platform.h"

namespace korvalis::catalogue {

class TShortcutLink;

// The path of a startup folder section's folder; empty when the shell cannot name it.
std::string StartupFolderOf(TShortcutLink& link, Section section);
// Where it is, or would be made again: also while it does not exist.
std::string StartupFolderPathEvenIfMissing(platform::Shell& shell, Section section);
// Whether the file is a shortcut by its name (a .lnk extension, in any case).
bool IsShortcutName(const std::string& fileName);
// Whether a file name as listed can be opened by it: false for one the ANSI calls could not spell.
bool NameCanBeSpelled(const std::string& fileName);
// Where a service's second entry is, for the library its shared process runs.
TEntryKey ServiceDllKey(const std::string& service);
// The command of a service whose ImagePath is there but is no text.
inline constexpr const char* kUnreadableImagePath = "ImagePath unreadable: its data is not text";
// A service entry that starts at boot or with the system: a driver Windows may need to start.
bool IsBootOrSystemDriver(const TStartup& entry);
// An approval value (TPlace::approves) that keeps its entry from starting: its first byte is odd.
bool DisablesEntry(const TStartup& approval);

class TStartups {
 public:
  TStartups(platform::WindowHandle ownerWindow, const platform::Platform& platform);
  TStartups(const TStartups&) = delete;
  TStartups& operator=(const TStartups&) = delete;

  int Count() const { return static_cast<int>(entries_.size()); }
  // Fails with "List index out of bounds (%d)" outside 0 to Count - 1.
  TStartup& Items(int index) const;
  void Clear();

  // The first entry equal in Name, Command and Section (letter case counts), unchanged; else a
  // new enabled entry; nothing for an empty command.
  TStartup* Add(const std::string& name, const std::string& title, const std::string& command, Section section,
                std::int32_t iconIndex);
  TStartup* AddCopy(const TStartup& entry);
  // Add, with where in its place the entry is (TStartup::SetValueName) kept apart from the Name
  // it is shown under.
  TStartup* AddEntry(const std::string& name, const TEntryKey& key, const std::string& title,
                     const std::string& command, Section section, std::int32_t iconIndex);
  // AddEntry of the record, and then its value type, data and content set.
  TStartup* AddRecord(const TEntryRecord& record, const std::string& title = std::string());

  // Adds the entries of the sections in the set: folders first, whose errors are swallowed,
  // then the registry and the scheduled tasks, whose errors end the call.
  void LoadSections(SectionSet sections);
  // The same, but values that cannot be taken in are skipped and listed instead.
  void LoadSections(SectionSet sections, ReadProblems& problems);
  void Refresh() { LoadSections(AllSections()); }
  // Writes back every entry in order; the first error ends it.
  void ApplyAll();
  // Hands over the entries of one section, keeping the order of the others.
  std::vector<std::unique_ptr<TStartup>> TakeSection(Section section);
  // Appends entries handed over by another catalogue, as they are.
  void Adopt(std::vector<std::unique_ptr<TStartup>> entries);

  // Each kind of place reads its entries through one of these. Files that cannot be read, and
  // values that cannot be taken in, are listed in the problems, when given.
  void LoadFolder(Section section, ReadProblems* problems);
  void LoadPlace(const TPlace& place, ReadProblems* problems);
  void LoadServices(const TPlace& place, ReadProblems* problems);
  // A definition that cannot be read is an entry of its own, "definition unreadable".
  void LoadTasks(Section section, ReadProblems* problems);

  platform::WindowHandle OwnerWindow() const { return ownerWindow_; }
  // An entry's name, command or section changed: the look-up of existing entries is rebuilt.
  void EntryChanged() { indexStale_ = true; }
  const platform::Platform& Platform() const { return platform_; }
  // Where refused files and task definitions go: the user's quarantine, or the folder given
  // (the machine's, for the elevated copy, which never writes where a user's program can).
  std::string QuarantineFolder() const;
  void QuarantineIn(std::string folder) { quarantine_ = std::move(folder); }

 private:
  void LoadKinds(SectionSet sections, ReadProblems* problems);
  // One file of a folder: by its shortcut's target, or by itself when it is none the shell reads.
  TStartup* AddFolderFile(TShortcutLink& link, const std::string& path, const std::string& fileName,
                          Section section);
  void LoadValues(const TPlace& place, platform::RegistryKey& key, const std::string& prefix, ReadProblems* problems);
  // The tasks the scheduler's registry cache keeps from its API's sight, beside those it listed.
  void LoadHiddenTasks(const std::vector<platform::RegisteredTask>& listed, Section section);

  static std::size_t IdentityOf(const std::string& name, const std::string& command, Section section);
  void Index(TStartup* entry);
  void RebuildIndex();

  std::vector<std::unique_ptr<TStartup>> entries_;
  // The entries by a hash of name, command and section, so a large key is read in linear time;
  // each list keeps insertion order, so the first of several equal entries is the one found.
  std::unordered_map<std::size_t, std::vector<TStartup*>> byIdentity_;
  bool indexStale_ = false;
  platform::WindowHandle ownerWindow_;
  platform::Platform platform_;
  std::optional<std::string> quarantine_;
};

}  // namespace korvalis::catalogue
