// Files and folders as both worlds must answer them.
#include <algorithm>

#include "contract/Worlds.h"

namespace korvalis::contract {

using namespace platform;

namespace {

class FileSystemContract : public ContractTest {
 protected:
  FileSystem& files() { return platform().files; }
  std::vector<std::string> Names(const std::string& pattern) {
    std::vector<FolderEntry> entries;
    files().FindEntries(pattern, entries);
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace

TEST_P(FileSystemContract, WrittenBytesReadBackExactlyAndReplaceEarlierContent) {
  const std::string path = world().ScratchFolder() + "\\data.bin";
  ASSERT_TRUE(files().WriteFile(path, {1, 2, 3, 0, 255}));
  ASSERT_TRUE(files().WriteFile(path, {9, 0, 8}));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(files().ReadFile(path, bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{9, 0, 8}));
}

TEST_P(FileSystemContract, IsFileTellsFilesFromFoldersAndNothing) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().WriteFile(folder + "\\a.txt", {}));
  EXPECT_TRUE(files().IsFile(folder + "\\a.txt"));
  EXPECT_TRUE(files().IsFile(folder + "\\A.TXT"));
  EXPECT_FALSE(files().IsFile(folder));
  EXPECT_FALSE(files().IsFile(folder + "\\missing.txt"));
  EXPECT_FALSE(files().IsFile(""));
}

TEST_P(FileSystemContract, TheCurrentFolderChangesOnlyToAnExistingFolder) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().SetCurrentFolder(folder));
  const std::string current = files().CurrentFolder();
  EXPECT_FALSE(files().SetCurrentFolder(folder + "\\missing"));
  EXPECT_EQ(files().CurrentFolder(), current);
  ASSERT_TRUE(files().WriteFile("relative.txt", {7}));  // lands in the current folder
  EXPECT_TRUE(files().IsFile(folder + "\\relative.txt"));
}

TEST_P(FileSystemContract, EnumeratingAllEntriesListsFilesFoldersAndTheDotEntries) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().WriteFile(folder + "\\Agent.lnk", {1}));
  ASSERT_TRUE(files().WriteFile(folder + "\\noext", {1}));
  ASSERT_TRUE(files().CreateFolders(folder + "\\Old.lnk"));
  EXPECT_EQ(Names(folder + "\\*.*"), (std::vector<std::string>{".", "..", "Agent.lnk", "Old.lnk", "noext"}));
  std::vector<FolderEntry> entries;
  files().FindEntries(folder + "\\Old.lnk", entries);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(entries[0].IsFolder());
}

TEST_P(FileSystemContract, WritingIntoAMissingFolderFailsAndDeletingAMissingFileFails) {
  const std::string folder = world().ScratchFolder();
  EXPECT_FALSE(files().WriteFile(folder + "\\missing\\x.bin", {1}));
  EXPECT_FALSE(files().RemoveFile(folder + "\\x.bin"));
  ASSERT_TRUE(files().WriteFile(folder + "\\x.bin", {1}));
  EXPECT_TRUE(files().RemoveFile(folder + "\\X.BIN"));
  EXPECT_FALSE(files().IsFile(folder + "\\x.bin"));
}

KORVALIS_INSTANTIATE_CONTRACT(FileSystemContract);

}  // namespace korvalis::contract
