// Files and folders as both worlds must answer them.
#include <algorithm>
#include <chrono>
#include <thread>

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

TEST_P(FileSystemContract, AppendedBytesFollowWhatTheFileHeldAndAMissingFileIsMade) {
  const std::string folder = world().ScratchFolder();
  const std::string path = folder + "\\log.txt";
  ASSERT_TRUE(files().AppendFile(path, {1, 2}));
  ASSERT_TRUE(files().AppendFile(path, {0, 3}));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(files().ReadFile(path, bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 0, 3}));
  EXPECT_FALSE(files().AppendFile(folder + "\\missing\\log.txt", {1}));
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

TEST_P(FileSystemContract, AMovedFileLeavesItsPlaceAndAMoveNeverOverwrites) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().CreateFolders(folder + "\\Aside"));
  ASSERT_TRUE(files().WriteFile(folder + "\\run.bat", {1, 2}));
  ASSERT_TRUE(files().MoveFileTo(folder + "\\run.bat", folder + "\\Aside\\run.bat"));
  EXPECT_FALSE(files().IsFile(folder + "\\run.bat"));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(files().ReadFile(folder + "\\Aside\\run.bat", bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2}));
  ASSERT_TRUE(files().WriteFile(folder + "\\other.bat", {3}));
  EXPECT_FALSE(files().MoveFileTo(folder + "\\other.bat", folder + "\\Aside\\run.bat"));
  EXPECT_TRUE(files().IsFile(folder + "\\other.bat"));
}

TEST_P(FileSystemContract, AnAtomicWriteReplacesTheFileWholeAndLeavesNoTemporaryFile) {
  const std::string path = world().ScratchFolder() + "\\baseline.dat";
  ASSERT_TRUE(files().WriteFileAtomically(path, {1, 2, 3}));
  ASSERT_TRUE(files().WriteFileAtomically(path, {4}));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(files().ReadFile(path, bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{4}));
  EXPECT_FALSE(files().IsFile(path + ".tmp"));
}

TEST_P(FileSystemContract, AFolderWatchFiresWhenAFileIsAddedAndNotBefore) {
  const std::string folder = world().ScratchFolder();
  const std::unique_ptr<ChangeWatch> watch = files().WatchFolder(folder);
  ASSERT_TRUE(watch);
  EXPECT_FALSE(watch->Signaled());
  ASSERT_TRUE(files().WriteFile(folder + "\\drop.vbs", {1}));
  bool fired = false;
  // The system's notification may arrive a moment after the write.
  for (int attempt = 0; attempt < 100 && !fired; ++attempt) {
    fired = watch->Signaled();
    if (!fired) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(fired);
  EXPECT_FALSE(files().WatchFolder(folder + "\\missing"));
}

KORVALIS_INSTANTIATE_CONTRACT(FileSystemContract);

}  // namespace korvalis::contract
