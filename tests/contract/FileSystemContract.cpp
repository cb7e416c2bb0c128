// Files and folders as both worlds must answer them.
#include <algorithm>

#include "contract/Worlds.h"
#include "platform/Sha256.h"
#include "support/Hex.h"

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
  EXPECT_EQ(files().Move(folder + "\\other.bat", folder + "\\Aside\\run.bat"), kErrorAlreadyExists);
  EXPECT_TRUE(files().IsFile(folder + "\\other.bat"));
  EXPECT_EQ(files().Move(folder + "\\missing.bat", folder + "\\Aside\\missing.bat"), kErrorFileNotFound);
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
  EXPECT_TRUE(SignalsSoon(*watch));
  EXPECT_FALSE(files().WatchFolder(folder + "\\missing"));
}

TEST_P(FileSystemContract, ADigestGivesSizeAndSha256AndKeepsTheBytesOfASmallFileOnly) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().WriteFile(folder + "\\abc.bat", {'a', 'b', 'c'}));
  FileDigest digest;
  ASSERT_EQ(files().DigestFile(folder + "\\abc.bat", 3, digest), DigestResult::Read);
  EXPECT_EQ(digest.size, 3u);
  EXPECT_EQ(test::Hex(digest.sha256), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_TRUE(digest.kept);
  EXPECT_EQ(digest.bytes, (std::vector<std::uint8_t>{'a', 'b', 'c'}));
  ASSERT_EQ(files().DigestFile(folder + "\\abc.bat", 2, digest), DigestResult::Read);
  EXPECT_FALSE(digest.kept);
  EXPECT_TRUE(digest.bytes.empty());

  // Larger than one piece read: both worlds give the digest of the whole.
  std::vector<std::uint8_t> big(300 * 1024 + 7);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31 + i / 977);
  ASSERT_TRUE(files().WriteFile(folder + "\\big.exe", big));
  ASSERT_EQ(files().DigestFile(folder + "\\big.exe", 64 * 1024, digest), DigestResult::Read);
  EXPECT_EQ(digest.size, big.size());
  EXPECT_EQ(digest.sha256, Sha256Of(big));
  EXPECT_FALSE(digest.kept);
  EXPECT_EQ(files().DigestFile(folder + "\\missing.bat", 10, digest), DigestResult::Missing);
  EXPECT_EQ(files().DigestFile(folder, 10, digest), DigestResult::NotRegular);
}

TEST_P(FileSystemContract, APipeInAFolderIsListedButNeverReadNorReplaced) {
  const std::string pipe = world().ScratchFolder() + "\\pipe.bat";
  if (!world().MakePipe(pipe)) GTEST_SKIP() << "this world cannot make a pipe in a folder";
  ASSERT_EQ(Names(world().ScratchFolder() + "\\*.bat"), (std::vector<std::string>{"pipe.bat"}));
  FileDigest digest;
  EXPECT_EQ(files().DigestFile(pipe, 10, digest), DigestResult::NotRegular);  // returns, no writer needed
  EXPECT_FALSE(files().CanReplace(pipe));
}

TEST_P(FileSystemContract, OnlyANameOfItsOwnIsReplaceableAndAnAtomicWriteNeverChangesALinksTarget) {
  const std::string folder = world().ScratchFolder();
  EXPECT_TRUE(files().CanReplace(folder + "\\new.lnk"));
  EXPECT_FALSE(files().CanReplace(folder));
  ASSERT_TRUE(files().WriteFile(folder + "\\own.lnk", {1}));
  EXPECT_TRUE(files().CanReplace(folder + "\\own.lnk"));
  ASSERT_TRUE(world().MakeHardLink(folder + "\\own.lnk", folder + "\\second.lnk"));
  EXPECT_FALSE(files().CanReplace(folder + "\\own.lnk"));
  EXPECT_FALSE(files().CanReplace(folder + "\\second.lnk"));

  ASSERT_TRUE(files().WriteFile(folder + "\\target.ini", {7, 7}));
  if (!world().MakeSymbolicLink(folder + "\\linked.bat", folder + "\\target.ini")) return;
  ASSERT_TRUE(files().IsFile(folder + "\\linked.bat"));
  files().WriteFileAtomically(folder + "\\linked.bat", {9});
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(files().ReadFile(folder + "\\target.ini", bytes));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{7, 7}));
}

TEST_P(FileSystemContract, AFolderWatchSeesFilesAndASubfolderWatchSeesFolders) {
  const std::string folder = world().ScratchFolder();
  const std::unique_ptr<ChangeWatch> filesWatch = files().WatchFolder(folder);
  const std::unique_ptr<ChangeWatch> foldersWatch = files().WatchSubfolders(folder);
  ASSERT_TRUE(filesWatch);
  ASSERT_TRUE(foldersWatch);
  ASSERT_TRUE(files().CreateFolders(folder + "\\Startup"));
  EXPECT_TRUE(SignalsSoon(*foldersWatch));
  EXPECT_FALSE(filesWatch->Signaled());
  EXPECT_FALSE(files().WatchSubfolders(folder + "\\missing"));
}

TEST_P(FileSystemContract, AnOwnFileIsReadWholeWithinItsLimitWhileHeldOpenAndNeverThroughALink) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().WriteFile(folder + "\\undo.request", {'u', 0, '\n'}));
  std::vector<std::uint8_t> bytes;
  {
    const std::shared_ptr<void> held = world().HoldOpen(folder + "\\undo.request");
    ASSERT_TRUE(held);
    ASSERT_EQ(files().ReadOwnFile(folder + "\\undo.request", 3, bytes), OwnFileResult::Read);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'u', 0, '\n'}));
  }
  EXPECT_EQ(files().ReadOwnFile(folder + "\\undo.request", 2, bytes), OwnFileResult::TooLarge);
  EXPECT_EQ(files().ReadOwnFile(folder + "\\missing.request", 10, bytes), OwnFileResult::Missing);
  EXPECT_EQ(files().ReadOwnFile(folder, 10, bytes), OwnFileResult::NotRegular);
  // A folder above it linked elsewhere, as a junction planted at the request's folder would be.
  ASSERT_TRUE(files().CreateFolders(folder + "\\Real"));
  ASSERT_TRUE(files().WriteFile(folder + "\\Real\\undo.request", {'u'}));
  if (!world().MakeSymbolicLink(folder + "\\Linked", folder + "\\Real")) return;
  EXPECT_EQ(files().ReadOwnFile(folder + "\\Linked\\undo.request", 10, bytes), OwnFileResult::ReparsePoint);
}

TEST_P(FileSystemContract, AnAdministratorsFolderIsMadeOrTakenOverButNeverAFileNorALinkedFolder) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(files().MakeAdministratorsFolder(folder + "\\Quarantine"));
  EXPECT_TRUE(files().MakeAdministratorsFolder(folder + "\\Quarantine"));  // taken over as it is
  ASSERT_TRUE(files().WriteFile(folder + "\\Quarantine\\kept.bat", {1}));  // by an administrator, as the test runs
  EXPECT_TRUE(files().IsFile(folder + "\\Quarantine\\kept.bat"));
  EXPECT_FALSE(files().MakeAdministratorsFolder(folder + "\\Quarantine\\kept.bat"));
  EXPECT_FALSE(files().MakeAdministratorsFolder(folder + "\\missing\\Quarantine"));
  if (!world().MakeSymbolicLink(folder + "\\Linked", folder + "\\Quarantine")) return;
  EXPECT_FALSE(files().MakeAdministratorsFolder(folder + "\\Linked"));
  EXPECT_FALSE(files().MakeAdministratorsFolder(folder + "\\Linked\\Below"));
}

KORVALIS_INSTANTIATE_CONTRACT(FileSystemContract);

}  // namespace korvalis::contract
