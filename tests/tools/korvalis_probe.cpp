// A small Windows-side helper for the end-to-end scripts: does one thing of the catalogue
// against the real system and reports it on standard output.
//   korvalis_probe folder CSIDL                        the shell's path of a special folder
//   korvalis_probe apply SECTION ENABLED NAME COMMAND  writes one entry back as the monitor would
//   korvalis_probe facts PATH                          what the change dialogs say about a program file
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/Startups.h"
#include "dialogs/ProgramFacts.h"
#include "platform/Error.h"
#include "platform/win32/Win32Windows.h"

namespace {

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
  std::fprintf(stderr, "usage: korvalis_probe folder CSIDL | apply SECTION ENABLED NAME COMMAND | facts PATH\n");
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
