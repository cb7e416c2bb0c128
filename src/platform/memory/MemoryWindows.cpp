#include "platform/memory/MemoryWindows.h"

namespace korvalis::platform::memory {

MemoryWindows::MemoryWindows() {
  files.AddFolder(environment.windowsFolder);
  files.AddFolder(environment.systemFolder);
  files.AddFolder(environment.localAppData);
  files.AddFile(environment.systemFolder + "\\shell32.dll");
  files.AddFile(environment.systemFolder + "\\rundll32.exe");
  files.AddFile(environment.windowsFolder + "\\notepad.exe");
  files.AddFile(environment.programPath);
  environment.SetVariable("PATH", environment.systemFolder + ";" + environment.windowsFolder);
  // A 64-bit system keeps the 32-bit view of its machine software here.
  registry.AddKey(RootKey::LocalMachine, "Software\\Wow6432Node");
  for (const char* key : {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                          "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"}) {
    registry.AddKey(RootKey::LocalMachine, key);
    registry.AddKey(RootKey::CurrentUser, key);
  }
}

}  // namespace korvalis::platform::memory
