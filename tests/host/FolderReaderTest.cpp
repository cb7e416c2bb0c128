#include <gtest/gtest.h>

#include "catalogue/Startups.h"
#include "platform/Sha256.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"

namespace korvalis::catalogue {

using platform::memory::LinkFields;
using platform::memory::MemoryShell;

class FolderReaderTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  TStartups catalogue{0x42, windows.platform()};
  const std::string userFolder = windows.shell.SpecialFolderPath(platform::kCsidlStartup, 0);
  const std::string commonFolder = windows.shell.SpecialFolderPath(platform::kCsidlCommonStartup, 0);

  std::vector<std::uint8_t> PutLink(const std::string& path, const std::string& target, const std::string& arguments) {
    LinkFields fields;
    fields.path = target;
    fields.arguments = arguments;
    auto bytes = MemoryShell::Encode(fields);
    windows.files.AddFile(path, bytes);
    return bytes;
  }
};

TEST_F(FolderReaderTest, AShortcutBecomesAnEntryWithItsQuotedTargetArgumentsAndBytes) {
  const auto bytes = PutLink(userFolder + "\\Agent.lnk", "C:\\Tools\\agent.exe", "-quiet");
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder));
  ASSERT_EQ(catalogue.Count(), 1);
  const TStartup& entry = catalogue.Items(0);
  EXPECT_EQ(entry.Name(), "Agent");
  EXPECT_EQ(entry.Command(), "\"C:\\Tools\\agent.exe\" -quiet");
  EXPECT_EQ(entry.Title(), "agent.exe\" -quiet");
  EXPECT_EQ(entry.GetSection(), kCurrentUserStartupFolder);
  EXPECT_EQ(entry.LinkData(), bytes);
  EXPECT_EQ(entry.ProgramFile(), "C:\\Tools\\agent.exe");
}

TEST_F(FolderReaderTest, AShortcutWithoutArgumentsEndsInAQuoteAndABlank) {
  PutLink(commonFolder + "\\Plain.lnk", "C:\\p.exe", "");
  catalogue.LoadSections(SectionSet::Of(kLocalMachineStartupFolder));
  ASSERT_EQ(catalogue.Count(), 1);
  EXPECT_EQ(catalogue.Items(0).Command(), "\"C:\\p.exe\" ");
}

TEST_F(FolderReaderTest, EveryFileIsReadItselfOrByItsShortcutAndADamagedShortcutIsAFileByItself) {
  PutLink(userFolder + "\\AGENT.LNK", "C:\\a.exe", "");
  windows.files.AddTextFile(userFolder + "\\Notes.txt", "notes");
  windows.files.AddTextFile(userFolder + "\\Damaged.lnk", "garbage");
  windows.files.AddTextFile(userFolder + "\\desktop.ini", "[.ShellClassInfo]");
  PutLink(userFolder + "\\Last.lnk", "C:\\l.exe", "");
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder));
  ASSERT_EQ(catalogue.Count(), 4);
  EXPECT_EQ(catalogue.Items(0).Name(), "AGENT");
  EXPECT_EQ(catalogue.Items(0).ValueName(), "AGENT.LNK");
  // A file that is no shortcut runs at logon too: it is its own command.
  EXPECT_EQ(catalogue.Items(1).Name(), "Notes.txt");
  EXPECT_EQ(catalogue.Items(1).Command(), userFolder + "\\Notes.txt");
  EXPECT_EQ(catalogue.Items(1).LinkData(), std::vector<std::uint8_t>({'n', 'o', 't', 'e', 's'}));
  EXPECT_EQ(catalogue.Items(1).ContentSize(), 5u);
  EXPECT_EQ(catalogue.Items(1).ContentHash(), platform::Sha256Of({'n', 'o', 't', 'e', 's'}));
  // So is one named like a shortcut that the shell cannot read as one.
  EXPECT_EQ(catalogue.Items(2).Name(), "Damaged.lnk");
  EXPECT_EQ(catalogue.Items(2).ValueName(), "Damaged.lnk");
  EXPECT_EQ(catalogue.Items(2).Command(), userFolder + "\\Damaged.lnk");
  EXPECT_EQ(catalogue.Items(3).Name(), "Last");
}

TEST_F(FolderReaderTest, TheUserFolderComesFirstThenTheCommonOneThenTheRegistry) {
  PutLink(commonFolder + "\\Common.lnk", "C:\\c.exe", "");
  PutLink(userFolder + "\\User.lnk", "C:\\u.exe", "");
  windows.registry.PutString(platform::RootKey::CurrentUser, testing::kRunKey, "Reg", "r.exe");
  catalogue.Refresh();
  ASSERT_EQ(catalogue.Count(), 3);
  EXPECT_EQ(catalogue.Items(0).Name(), "User");
  EXPECT_EQ(catalogue.Items(1).Name(), "Common");
  EXPECT_EQ(catalogue.Items(2).Name(), "Reg");
}

TEST_F(FolderReaderTest, ReadingAFolderTwiceAddsEachShortcutOnce) {
  PutLink(userFolder + "\\Agent.lnk", "C:\\a.exe", "");
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder));
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder));
  EXPECT_EQ(catalogue.Count(), 1);
}

TEST_F(FolderReaderTest, WithOnlyTheCommonFolderAskedTheUserFolderIsNotSearched) {
  PutLink(userFolder + "\\User.lnk", "C:\\u.exe", "");
  int searched = 0;
  windows.files.SetHook([&](const platform::memory::FileOperation& op) {
    if (op.kind == platform::memory::FileOperation::Kind::SetCurrentFolder && op.path == userFolder) ++searched;
    return true;
  });
  catalogue.LoadSections(SectionSet::Of(kLocalMachineStartupFolder));
  EXPECT_EQ(searched, 0);
  EXPECT_EQ(catalogue.Count(), 0);
}

TEST_F(FolderReaderTest, AnUnresolvableShortcutIsRecordedFromItsOwnEmptyFieldsNeverTheLastOnes) {
  PutLink(userFolder + "\\First.lnk", "C:\\first.exe", "-f");
  PutLink(userFolder + "\\Second.lnk", "C:\\second.exe", "");
  windows.shell.FailLinkCall("Resolve", platform::kS_FALSE);
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder));
  ASSERT_EQ(catalogue.Count(), 2);
  EXPECT_EQ(catalogue.Items(0).Command(), "\"\" ");
  EXPECT_EQ(catalogue.Items(1).Command(), "\"\" ");
  EXPECT_EQ(catalogue.Items(1).Name(), "Second");
}

TEST_F(FolderReaderTest, AFileThatCannotBeReadIsNoEntryButAnUnreadableNameAndABigOneIsKnownByItsContentAlone) {
  PutLink(userFolder + "\\Agent.lnk", "C:\\a.exe", "");
  windows.files.AddFile(userFolder + "\\big.exe", std::vector<std::uint8_t>(64 * 1024 + 1, 7));
  windows.files.AddFile(userFolder + "\\empty.bat");
  windows.files.SetHook([&](const platform::memory::FileOperation& op) {
    return !(op.kind == platform::memory::FileOperation::Kind::Digest && op.path == userFolder + "\\Agent.lnk");
  });
  ReadProblems problems;
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder), problems);
  ASSERT_EQ(catalogue.Count(), 2);
  EXPECT_EQ(problems.unreadableNames, std::vector<std::string>{"Agent.lnk"});
  EXPECT_EQ(problems.messages, std::vector<std::string>{"Cannot read file " + userFolder + "\\Agent.lnk"});
  const TStartup& big = catalogue.Items(0);
  EXPECT_EQ(big.ContentSize(), 64u * 1024 + 1);
  EXPECT_EQ(big.ContentHash().size(), 32u);
  EXPECT_TRUE(big.LinkData().empty());
  const TStartup& empty = catalogue.Items(1);
  EXPECT_EQ(empty.ContentSize(), 0u);
  EXPECT_EQ(empty.ContentHash(), platform::Sha256Of({}));
}

TEST_F(FolderReaderTest, APipeIsSkippedAndReportedAndANameTheCodePageCannotSpellIsStillAnEntry) {
  windows.files.AddDevice(userFolder + "\\pipe.bat");
  windows.files.AddFile(userFolder + "\\caf?.bat", {1});
  ReadProblems problems;
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder), problems);
  ASSERT_EQ(catalogue.Count(), 1);
  EXPECT_EQ(catalogue.Items(0).ValueName(), "caf?.bat");
  EXPECT_TRUE(problems.unreadableNames.empty());
  EXPECT_EQ(problems.messages, (std::vector<std::string>{"Not a regular file, not read: " + userFolder + "\\pipe.bat",
                                                         "Cannot handle the name of file " + userFolder + "\\caf?.bat"}));
}

TEST_F(FolderReaderTest, AFolderTheShellCannotNameYieldsNothing) {
  windows.shell.SetSpecialFolder(platform::kCsidlStartup, "");
  PutLink("C:\\Agent.lnk", "C:\\a.exe", "");
  ASSERT_TRUE(windows.files.SetCurrentFolder("C:\\"));
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder));
  EXPECT_EQ(catalogue.Count(), 0);
}

}  // namespace korvalis::catalogue
