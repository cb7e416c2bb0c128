// Program files found through the real search path of a Windows system.
#include <gtest/gtest.h>

#include "catalogue/SearchPath.h"
#include "platform/win32/Win32Windows.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

TEST(SearchPathWin32, FindsShell32InTheSystemFolderThroughTheSearchPath) {
  platform::win32::Win32Windows windows;
  const SearchPath path = BuildSearchPath(windows.environment);
  ASSERT_GE(path.size(), 2u);
  EXPECT_EQ(path[path.size() - 2], windows.environment.SystemFolder());
  EXPECT_EQ(path.back(), windows.environment.WindowsFolder());
  ASSERT_TRUE(windows.files.SetCurrentFolder(windows.environment.WindowsFolder()));
  const std::string found = FindProgramFile(windows.files, windows.environment, path, "shell32.dll");
  EXPECT_TRUE(text::SameTextAscii(found, windows.environment.SystemFolder() + "\\shell32.dll")) << found;
}

TEST(SearchPathWin32, SystemRootInAPathItemIsExpandedToTheSystemFolder) {
  platform::win32::Win32Windows windows;
  const SearchPath path{"C:\\nowhere", "%SystemRoot%"};
  ASSERT_TRUE(windows.files.SetCurrentFolder("C:\\"));
  const std::string found = FindProgramFile(windows.files, windows.environment, path, "kernel32.dll");
  EXPECT_TRUE(text::SameTextAscii(found, windows.environment.SystemFolder() + "\\kernel32.dll")) << found;
}

}  // namespace korvalis::catalogue
