#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/memory/MemoryWindows.h"
#include "text/Fileman.h"

namespace korvalis::text {

TEST(JoinPath, PutsExactlyOneBackslashBetween) {
  EXPECT_EQ(JoinPath("C:\\A", "\\b.txt"), "C:\\A\\b.txt");
  EXPECT_EQ(JoinPath("C:\\", "b.txt"), "C:\\b.txt");
  EXPECT_EQ(JoinPath("", "b.txt"), "b.txt");
  EXPECT_EQ(JoinPath("C:\\A", "\\\\b"), "C:\\A\\\\b");  // only one leading backslash goes
}

TEST(FileDir, KeepsThePathUpToTheLastSeparatorWithoutAFinalBackslash) {
  EXPECT_EQ(FileDir("C:\\A\\b.exe"), "C:\\A");
  EXPECT_EQ(FileDir("C:\\b.exe"), "C:");
  EXPECT_EQ(FileDir("C:b.exe"), "C:");
  EXPECT_EQ(FileDir("b.exe"), "");
  EXPECT_EQ(FileDir("\"C:\\Program Files\\Tool\\tool.exe\" -min"), "\"C:\\Program Files\\Tool");
}

TEST(FileTitle, GivesTheLastComponentWithoutItsExtension) {
  EXPECT_EQ(FileTitle("C:\\Startup\\My Tool.lnk"), "My Tool");
  EXPECT_EQ(FileTitle("a.b.lnk"), "a.b");
  EXPECT_EQ(FileTitle("C:\\Startup\\README"), "README");
  EXPECT_EQ(FileTitle("C:Agent.lnk"), "Agent");
}

TEST(IsNetworkPath, TellsPathsToAnotherMachineFromLocalOnesAndTheSystemsOwnNamespaces) {
  for (const char* network : {"\\\\server\\share\\x.exe", "//server/share/x.exe", "\\/10.255.255.1\\x.exe",
                              "\\\\?\\UNC\\server\\x.exe", "\\\\.\\unc\\server\\x.exe", "\\\\server"})
    EXPECT_TRUE(IsNetworkPath(network)) << network;
  for (const char* local : {"C:\\x.exe", "\\x.exe", "x.exe", "", "\\", "\\\\?\\C:\\x.exe", "\\\\.\\pipe\\x",
                            "\\\\?\\UNCx\\y"})
    EXPECT_FALSE(IsNetworkPath(local)) << local;
}

}  // namespace korvalis::text

namespace korvalis::platform {

class FindFilesTest : public ::testing::Test {
 protected:
  memory::MemoryWindows windows;
  std::vector<std::string> list;
};

TEST_F(FindFilesTest, DirExistsLeavesTheTestedFolderCurrent) {
  windows.files.AddFolder("C:\\Data\\Inner");
  ASSERT_TRUE(windows.files.SetCurrentFolder("C:\\WINDOWS"));
  EXPECT_TRUE(DirExists(windows.files, "C:\\Data\\Inner"));
  EXPECT_EQ(windows.files.CurrentFolder(), "C:\\Data\\Inner");
  EXPECT_FALSE(DirExists(windows.files, "C:\\Nowhere"));
  EXPECT_EQ(windows.files.CurrentFolder(), "C:\\Data\\Inner");
}

TEST_F(FindFilesTest, AMissingFolderLeavesTheListAndTheCurrentFolderAlone) {
  ASSERT_TRUE(windows.files.SetCurrentFolder("C:\\WINDOWS"));
  list.push_back("kept");
  FindFiles(windows.files, "C:\\Nowhere", ".lnk", list, false);
  EXPECT_EQ(list, (std::vector<std::string>{"kept"}));
  EXPECT_EQ(windows.files.CurrentFolder(), "C:\\WINDOWS");
}

TEST_F(FindFilesTest, MatchesExtensionsWithoutCaseAndSkipsDotNames) {
  windows.files.AddFile("C:\\S\\Agent.lnk");
  windows.files.AddFile("C:\\S\\AGENT2.LNK");
  windows.files.AddFile("C:\\S\\Notes.txt");
  windows.files.AddFile("C:\\S\\.hidden.lnk");
  windows.files.AddFile("C:\\S\\noextension");
  FindFiles(windows.files, "C:\\S", ".lnk", list, false);
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\S\\Agent.lnk", "C:\\S\\AGENT2.LNK"}));
}

TEST_F(FindFilesTest, TheExtensionTextMayNameSeveralAndPrefixesMatchToo) {
  windows.files.AddFile("C:\\S\\a.exe");
  windows.files.AddFile("C:\\S\\b.com");
  windows.files.AddFile("C:\\S\\c.l");
  windows.files.AddFile("C:\\S\\d.bat");
  FindFiles(windows.files, "C:\\S", ".EXE;.COM", list, false);
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\S\\a.exe", "C:\\S\\b.com"}));
  list.clear();
  FindFiles(windows.files, "C:\\S", ".lnk", list, false);
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\S\\c.l"}));
}

TEST_F(FindFilesTest, WithoutRecursionAFolderWithAMatchingExtensionIsListedLikeAFile) {
  windows.files.AddFolder("C:\\S\\Old.lnk");
  windows.files.AddFile("C:\\S\\Old.lnk\\Inner.lnk");
  FindFiles(windows.files, "C:\\S", ".lnk", list, false);
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\S\\Old.lnk"}));
}

TEST_F(FindFilesTest, WithRecursionSubfoldersFollowTheFolderDepthFirst) {
  windows.files.AddFolder("C:\\S\\A");
  windows.files.AddFile("C:\\S\\A\\Deep\\d.lnk");
  windows.files.AddFile("C:\\S\\A\\a.lnk");
  windows.files.AddFile("C:\\S\\top.lnk");
  FindFiles(windows.files, "C:\\S\\", ".lnk", list, true);
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\S\\top.lnk", "C:\\S\\A\\a.lnk", "C:\\S\\A\\Deep\\d.lnk"}));
}

}  // namespace korvalis::platform
