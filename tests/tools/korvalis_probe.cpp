// A small Windows-side helper for the end-to-end scripts: does one thing of the catalogue
// against the real system and reports it on standard output.
//   korvalis_probe folder CSIDL                        the shell's path of a special folder
//   korvalis_probe apply SECTION ENABLED NAME COMMAND  writes one entry back as the monitor would
//   korvalis_probe facts PATH                          what the change dialogs say about a program file
//   korvalis_probe dacl PATH SDDL                      sets the access list of a key under HKLM
//   korvalis_probe changeable PATH                     each file or folder the install check names,
//                                                      with the SIDs that may change it
#include <objbase.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "catalogue/Startups.h"
#include "dialogs/ProgramFacts.h"
#include "platform/Error.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Windows.h"
#include "support/SignedSamples.h"

namespace {

// A key's rights as a test wants them: Wine enforces a key's access list for every process.
int SetKeyAccessList(const char* path, const char* sddl) {
  using namespace korvalis::platform::win32;
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC, key.put()) != ERROR_SUCCESS) return 1;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &raw, nullptr)) return 1;
  const std::unique_ptr<void, decltype(&LocalFree)> descriptor(raw, &LocalFree);
  return RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) == ERROR_SUCCESS ? 0 : 1;
}

int Run(int argc, char** argv) {
  using namespace korvalis;
  platform::win32::Win32Windows windows;
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "folder" && argc == 3) {
    std::printf("%s\n", windows.shell.SpecialFolderPath(std::atoi(argv[2]), 0).c_str());
    return 0;
  }
  if (command == "apply" && argc == 6) {
    catalogue::TStartups entries(0, windows.platform());
    catalogue::TStartup* entry =
        entries.Add(argv[4], "", argv[5], static_cast<catalogue::Section>(std::atoi(argv[2])), 0);
    if (!entry) return 2;
    entry->SetEnabled(std::atoi(argv[3]) != 0);
    entries.ApplyAll();
    return 0;
  }
  if (command == "facts" && argc == 3) {
    for (const auto& line : dialogs::ProgramFactLines(windows.inspector.Inspect(argv[2])))
      std::printf("%s\n", line.c_str());
    return 0;
  }
  if (command == "dacl" && argc == 4) return SetKeyAccessList(argv[2], argv[3]);
  if (command == "trust-samples" && argc == 2) return korvalis::testing::TrustSamplesRoot() ? 0 : 1;
  if (command == "changeable" && argc == 3) {
    for (const platform::TChangeable& entry : platform::ChangeableEntries(windows.security, argv[2])) {
      std::string who;
      for (const platform::TPrincipal& principal : entry.who) who += " " + principal.sid;
      std::printf("%s:%s\n", entry.path.c_str(), entry.who.empty() ? " unreadable" : who.c_str());
    }
    return 0;
  }
  std::fprintf(stderr,
               "usage: korvalis_probe folder CSIDL | apply SECTION ENABLED NAME COMMAND | facts PATH | dacl PATH SDDL | "
               "changeable PATH | trust-samples\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  int result = 1;
  try {
    result = Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  }
  CoUninitialize();
  return result;
}
