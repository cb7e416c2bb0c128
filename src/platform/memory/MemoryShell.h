#pragma once
// The shell of the in-memory Windows: named special folders, a link object that keeps its
// files in the in-memory file system, and a record of everything started.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/memory/MemoryFileSystem.h"

namespace korvalis::platform::memory {

struct ExecutedCommand {
  WindowHandle parent = 0;
  std::string verb, file, parameters, folder;
  int showCommand = 0;
};

// The fields a link file holds.
struct LinkFields {
  std::string path, workingDirectory, arguments, description, iconPath;
  int iconIndex = 0;
  int showCommand = 1;
  std::uint16_t hotkey = 0;
};

class MemoryShell : public Shell {
 public:
  explicit MemoryShell(MemoryFileSystem& files);

  // Empty for a folder that does not exist, as the shell answers.
  std::string SpecialFolderPath(int csidl, WindowHandle owner) override;
  std::string SpecialFolderPathEvenIfMissing(int csidl) override;
  CreatedLink CreateShellLink(bool inProcessOnly) override;
  std::intptr_t Execute(WindowHandle parent, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& folder, int showCommand) override;

  // An empty path: the shell cannot name that folder.
  void SetSpecialFolder(int csidl, const std::string& path) { folders_[csidl] = path; }
  // Makes the named link-object call ("Load", "Resolve", "GetPath", "Save", ...) answer result.
  void FailLinkCall(const std::string& call, HResult result = kE_FAIL) { failing_[call] = result; }
  HResult linkCreation = kS_OK;
  std::intptr_t executeResult = 42;
  std::vector<ExecutedCommand> executed;
  std::map<int, WindowHandle> folderOwners;  // the owner window each folder was asked with

  // The bytes of a link file as this shell writes them.
  static std::vector<std::uint8_t> Encode(const LinkFields& fields);
  static bool Decode(const std::vector<std::uint8_t>& bytes, LinkFields& fields);

  HResult Failure(const std::string& call) const;
  MemoryFileSystem& files;

 private:
  std::map<int, std::string> folders_;
  std::map<std::string, HResult> failing_;
};

}  // namespace korvalis::platform::memory
