// Change notifications on the real registry, changed by another process (Wine's reg.exe).
#include <windows.h>

#include <gtest/gtest.h>

#include "app/SectionWatches.h"
#include "platform/win32/Win32Windows.h"

namespace korvalis::app {

namespace {

// Runs reg.exe with the arguments and waits for it, as another program changing the registry.
bool Reg(const std::string& arguments) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  std::string command = std::string("\"") + system + "\\reg.exe\" " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return false;
  WaitForSingleObject(process.hProcess, 20000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode == 0;
}

constexpr char kUserRun[] = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kServicesOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";

}  // namespace

TEST(SectionWatchesWin32, AValueAddedByAnotherProgramMakesOnlyItsSectionDue) {
  platform::win32::Win32Windows windows;
  TSectionWatches watches(windows.platform());
  for (catalogue::Section section : {4, 5, 6, 7, 8, 9}) watches.Arm(*catalogue::PlaceOf(section));
  // An event for each key there is, and one for each of the two parents they share.
  EXPECT_LE(watches.NativeEvents().size(), 6u + 2u);
  EXPECT_FALSE(watches.Due().Contains(8));
  ASSERT_TRUE(Reg(std::string("add ") + kUserRun + " /v KorvalisWatchTest /d C:\\w.exe /f"));
  const catalogue::SectionSet due = watches.Due();
  EXPECT_TRUE(due.Contains(8));
  EXPECT_FALSE(due.Contains(9));
  EXPECT_FALSE(due.Contains(4));
  Reg(std::string("delete ") + kUserRun + " /v KorvalisWatchTest /f");
}

TEST(SectionWatchesWin32, AKeyCreatedDeletedAndCreatedAgainIsFollowedThroughItsParent) {
  platform::win32::Win32Windows windows;
  Reg(std::string("delete ") + kServicesOnce + " /f");
  TSectionWatches watches(windows.platform());
  watches.Arm(*catalogue::PlaceOf(7));  // the key does not exist: its parent is watched
  EXPECT_FALSE(watches.Due().Contains(7));
  ASSERT_TRUE(Reg(std::string("add ") + kServicesOnce + " /v Once /d C:\\o.exe /f"));
  EXPECT_TRUE(watches.Due().Contains(7));

  watches.Arm(*catalogue::PlaceOf(7));  // now the key itself
  EXPECT_FALSE(watches.Due().Contains(7));
  ASSERT_TRUE(Reg(std::string("delete ") + kServicesOnce + " /f"));
  EXPECT_TRUE(watches.Due().Contains(7));

  watches.Arm(*catalogue::PlaceOf(7));  // gone again: back to the parent
  ASSERT_TRUE(Reg(std::string("add ") + kServicesOnce + " /v Again /d C:\\a.exe /f"));
  EXPECT_TRUE(watches.Due().Contains(7));
  Reg(std::string("delete ") + kServicesOnce + " /f");
}

namespace {
bool DueWithin(TSectionWatches& watches, catalogue::Section section) {
  // The system's notification may arrive a moment after the change.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (watches.Due({catalogue::PlaceOf(section)}).Contains(section)) return true;
    Sleep(20);
  }
  return false;
}
}  // namespace

// The user's Startup folder moved aside for the length of a case, and back however it ends.
class StartupFolderAside {
 public:
  explicit StartupFolderAside(const std::string& folder) : folder_(folder), aside_(folder + ".kept-by-test") {
    moved_ = MoveFileA(folder_.c_str(), aside_.c_str()) != FALSE;
  }
  ~StartupFolderAside() {
    DeleteFileA((folder_ + "\\drop.bat").c_str());
    RemoveDirectoryA(folder_.c_str());
    if (moved_) MoveFileA(aside_.c_str(), folder_.c_str());
  }
  bool Moved() const { return moved_; }

 private:
  std::string folder_, aside_;
  bool moved_ = false;
};

TEST(SectionWatchesWin32, AStartupFolderDeletedAndMadeAgainWithAFileInItIsDueAtOnce) {
  platform::win32::Win32Windows windows;
  const std::string folder = windows.shell.SpecialFolderPath(platform::kCsidlStartup, 0);
  const StartupFolderAside aside(folder);
  ASSERT_TRUE(aside.Moved());
  TSectionWatches watches(windows.platform());
  watches.Arm(*catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder));
  Sleep(200);  // the notice of the move itself may come late
  watches.Arm(*catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder));
  EXPECT_FALSE(watches.Due({catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder)}).Contains(catalogue::kCurrentUserStartupFolder));
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_TRUE(DueWithin(watches, catalogue::kCurrentUserStartupFolder));

  watches.Arm(*catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder));
  ASSERT_TRUE(windows.files.WriteFile(folder + "\\drop.bat", {1}));
  EXPECT_TRUE(DueWithin(watches, catalogue::kCurrentUserStartupFolder));

  watches.Arm(*catalogue::PlaceOf(catalogue::kCurrentUserStartupFolder));
  DeleteFileA((folder + "\\drop.bat").c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_TRUE(DueWithin(watches, catalogue::kCurrentUserStartupFolder));
}

}  // namespace korvalis::app
