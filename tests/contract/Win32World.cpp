#include <windows.h>

#include "contract/World.h"
#include "platform/win32/Win32Windows.h"

namespace korvalis::contract {

namespace {

class Win32World : public World {
 public:
  Win32World() {
    static int counter = 0;
    suffix_ = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
  }
  ~Win32World() override {
    windows_.registry.DeleteTree(platform::RootKey::CurrentUser, "Software\\KorvalisTest\\" + suffix_);
    if (!folder_.empty()) RemoveFolder(folder_);
  }
  platform::Platform Platform() override { return windows_.platform(); }
  std::string ScratchKey() override { return "Software\\KorvalisTest\\" + suffix_; }
  std::string ScratchFolder() override {
    if (folder_.empty()) {
      char temp[MAX_PATH + 1] = {};
      GetTempPathA(MAX_PATH, temp);
      folder_ = std::string(temp) + "korvalis-" + suffix_;
      CreateDirectoryA(folder_.c_str(), nullptr);
    }
    return folder_;
  }
  void SetVariable(const std::string& name, const std::string& value) override {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
  }

 private:
  static void RemoveFolder(const std::string& folder) {
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveFolder(path);
        else
          DeleteFileA(path.c_str());
      } while (FindNextFileA(find, &found));
      FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
  }

  platform::win32::Win32Windows windows_;
  std::string suffix_;
  std::string folder_;
};

}  // namespace

WorldKind Win32WorldKind() {
  return WorldKind{"Win32", [] { return std::unique_ptr<World>(std::make_unique<Win32World>()); }};
}

}  // namespace korvalis::contract
