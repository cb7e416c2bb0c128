#include <gtest/gtest.h>

#include "catalogue/SearchPath.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::catalogue {

class SearchPathTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  std::string Find(const SearchPath& path, const std::string& name) {
    return FindProgramFile(windows.files, windows.environment, path, name);
  }
};

TEST_F(SearchPathTest, HoldsThePathPiecesThenTheSystemAndWindowsFolders) {
  windows.environment.SetVariable("PATH", "C:\\Tools; ;\"C:\\Program Files\\X\";;C:\\Last");
  // A quoted piece ends at its closing quote, so the semicolon behind it yields an empty piece.
  EXPECT_EQ(BuildSearchPath(windows.environment),
            (SearchPath{"C:\\Tools", "", "C:\\Program Files\\X", "", "", "C:\\Last", "C:\\WINDOWS\\system32",
                        "C:\\WINDOWS"}));
}

TEST_F(SearchPathTest, AnUnsetPathLeavesOnlyTheSystemFolders) {
  windows.environment.UnsetVariable("PATH");
  EXPECT_EQ(GetEnvVar(windows.environment, "PATH"), "");
  EXPECT_EQ(BuildSearchPath(windows.environment), (SearchPath{"C:\\WINDOWS\\system32", "C:\\WINDOWS"}));
}

TEST_F(SearchPathTest, FindsABareNameInTheFirstFolderThatHoldsIt) {
  windows.files.AddFile("C:\\Tools\\shell32.dll");
  windows.environment.SetVariable("PATH", "C:\\Empty;C:\\Tools");
  const SearchPath path = BuildSearchPath(windows.environment);
  EXPECT_EQ(Find(path, "shell32.dll"), "C:\\Tools\\shell32.dll");
  EXPECT_EQ(Find(path, "notepad.exe"), "C:\\WINDOWS\\notepad.exe");
}

TEST_F(SearchPathTest, AnExistingFileIsReturnedAsItStandsAndAMissingOneUnchanged) {
  const SearchPath path = BuildSearchPath(windows.environment);
  EXPECT_EQ(Find(path, "C:\\WINDOWS\\notepad.exe"), "C:\\WINDOWS\\notepad.exe");
  EXPECT_EQ(Find(path, "C:\\Missing\\tool.exe"), "C:\\Missing\\tool.exe");
  EXPECT_EQ(Find(path, "notepad"), "notepad");  // no extension is ever added
  EXPECT_EQ(Find(path, "C:\\WINDOWS"), "C:\\WINDOWS");  // a folder is no program file
}

TEST_F(SearchPathTest, ARelativeNameIsFirstLookedUpFromTheCurrentFolder) {
  windows.files.AddFile("C:\\Here\\shell32.dll");
  ASSERT_TRUE(windows.files.SetCurrentFolder("C:\\Here"));
  EXPECT_EQ(Find(BuildSearchPath(windows.environment), "shell32.dll"), "shell32.dll");
}

TEST_F(SearchPathTest, SystemRootInAPathItemIsTheSystemFolderWhenSearched) {
  windows.files.AddFile("C:\\WINDOWS\\system32\\Tools\\agent.exe");
  windows.environment.SetVariable("PATH", "%SystemRoot%\\Tools;%systemroot%\\Other");
  const SearchPath path = BuildSearchPath(windows.environment);
  EXPECT_EQ(path[0], "%SystemRoot%\\Tools");  // stored as read
  EXPECT_EQ(Find(path, "agent.exe"), "C:\\WINDOWS\\system32\\Tools\\agent.exe");
  EXPECT_EQ(ExpandSystemRoot(windows.environment, "%systemroot%\\x"), "%systemroot%\\x");
}

TEST_F(SearchPathTest, ANetworkPathIsNeverLookedAtNeitherAsTheFileNorAsAFolderSearched) {
  std::vector<std::string> asked;
  windows.files.SetHook([&](const platform::memory::FileOperation& operation) {
    asked.push_back(operation.path);
    return true;
  });
  windows.files.AddFile("C:\\Tools\\agent.exe");
  const SearchPath path{"\\\\10.255.255.1\\share", "//10.255.255.1/share", "C:\\Tools"};
  EXPECT_EQ(Find(path, "\\\\10.255.255.1\\x.exe"), "\\\\10.255.255.1\\x.exe");
  EXPECT_EQ(Find(path, "\\\\?\\UNC\\10.255.255.1\\s\\x.exe"), "\\\\?\\UNC\\10.255.255.1\\s\\x.exe");
  EXPECT_EQ(Find(path, "agent.exe"), "C:\\Tools\\agent.exe");
  EXPECT_EQ(asked, (std::vector<std::string>{"agent.exe", "C:\\Tools\\agent.exe"}));
}

}  // namespace korvalis::catalogue
