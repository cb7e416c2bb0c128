#include <gtest/gtest.h>

#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::catalogue {

class CatalogueTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  TStartups catalogue{0x1234, windows.platform()};
};

TEST_F(CatalogueTest, AddingTheSameNameCommandAndSectionTwiceReturnsTheFirstEntry) {
  TStartup* first = catalogue.Add("Agent", "", "C:\\a.exe", 8, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(catalogue.Add("Agent", "Other title", "C:\\a.exe", 8, 4), first);
  EXPECT_EQ(catalogue.Count(), 1);
  EXPECT_EQ(first->Title(), "a.exe");  // the existing entry is not updated
  EXPECT_EQ(first->IconIndex(), 0);
  EXPECT_EQ(first->Owner(), &catalogue);
  EXPECT_TRUE(first->Enabled());
}

TEST_F(CatalogueTest, ANameOrCommandDifferingOnlyInLetterCaseOrAnotherSectionMakesANewEntry) {
  catalogue.Add("Agent", "", "C:\\a.exe", 8, 0);
  catalogue.Add("AGENT", "", "C:\\a.exe", 8, 0);
  catalogue.Add("Agent", "", "C:\\A.EXE", 8, 0);
  catalogue.Add("Agent", "", "C:\\a.exe", 9, 0);
  EXPECT_EQ(catalogue.Count(), 4);
}

TEST_F(CatalogueTest, AnEntryChangedAfterItWasAddedIsFoundAsItIsNow) {
  TStartup* entry = catalogue.Add("Old", "", "a.exe", 8, 0);
  entry->SetName("New");
  EXPECT_EQ(catalogue.Add("New", "", "a.exe", 8, 0), entry);
  TStartup* again = catalogue.Add("Old", "", "a.exe", 8, 0);
  EXPECT_NE(again, entry);
  again->SetCommand("b.exe");
  again->SetSection(9);
  EXPECT_EQ(catalogue.Add("Old", "", "b.exe", 9, 0), again);
  EXPECT_EQ(catalogue.Count(), 2);
}

TEST_F(CatalogueTest, TheIndexFoundTheLastOfSeveralEqualEntriesWhereTheFirstIsMeant) {
  TStartups other{0x1234, windows.platform()};
  TStartup* first = other.Add("Agent", "", "C:\\a.exe", 8, 0);
  TStartups third{0x1234, windows.platform()};
  third.Add("Agent", "", "C:\\a.exe", 8, 0);
  catalogue.Adopt(other.TakeSection(8));
  catalogue.Adopt(third.TakeSection(8));
  ASSERT_EQ(catalogue.Count(), 2);
  EXPECT_EQ(catalogue.Add("Agent", "", "C:\\a.exe", 8, 0), first);
}

TEST_F(CatalogueTest, AnEmptyCommandAddsNothing) {
  EXPECT_EQ(catalogue.Add("Agent", "", "", 8, 0), nullptr);
  EXPECT_EQ(catalogue.Count(), 0);
}

TEST_F(CatalogueTest, TitleAndNameAreDerivedFromTheCommandWhenNotGiven) {
  TStartup* entry = catalogue.Add("", "", "C:\\Tools\\agent.exe /quiet", 8, 0);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Title(), "agent.exe /quiet");
  EXPECT_EQ(entry->Name(), "agent");
  EXPECT_EQ(entry->ProgramFile(), "C:\\Tools\\agent.exe");
  TStartup* dotted = catalogue.Add("", "", "C:\\v1.2\\tool", 8, 0);
  EXPECT_EQ(dotted->Title(), "tool");
  EXPECT_EQ(dotted->Name(), "tool");
  TStartup* titled = catalogue.Add("", "My.Title.txt", "C:\\x.exe", 8, 0);
  EXPECT_EQ(titled->Name(), "My.Title");
}

TEST_F(CatalogueTest, ARundllCommandDerivesItsLibraryAsProgramFile) {
  TStartup* entry = catalogue.Add("Desk", "", "rundll32.exe shell32.dll,Control_RunDLL desk.cpl", 4, 0);
  EXPECT_EQ(entry->ProgramFile(), "shell32.dll");
  entry->SetCommand("C:\\WINDOWS\\notepad.exe /p");
  EXPECT_EQ(entry->ProgramFile(), "C:\\WINDOWS\\notepad.exe");
}

TEST_F(CatalogueTest, ItemsOutsideTheListFailWithTheListMessage) {
  catalogue.Add("A", "", "a.exe", 8, 0);
  EXPECT_EQ(&catalogue.Items(0), &catalogue.Items(0));
  try {
    catalogue.Items(1);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (1)");
  }
  EXPECT_THROW(catalogue.Items(-1), Error);
}

TEST_F(CatalogueTest, ACopyIsEnabledAndCarriesNoLinkData) {
  TStartup* original = catalogue.Add("Agent", "T", "\"C:\\a.exe\" ", 10, 0);
  original->LinkData() = {1, 2, 3};
  original->SetEnabled(false);
  TStartups other(0, windows.platform());
  TStartup* copy = other.AddCopy(*original);
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->Enabled());
  EXPECT_TRUE(copy->LinkData().empty());
  EXPECT_EQ(copy->Name(), "Agent");
  EXPECT_EQ(copy->Title(), "T");
  EXPECT_EQ(copy->GetSection(), 10);
  EXPECT_EQ(copy->Owner(), &other);
}

TEST_F(CatalogueTest, ClearAndTakeSectionReleaseEntries) {
  catalogue.Add("A", "", "a.exe", 8, 0);
  catalogue.Add("B", "", "b.exe", 4, 0);
  catalogue.Add("C", "", "c.exe", 8, 0);
  EXPECT_EQ(catalogue.TakeSection(8).size(), 2u);
  ASSERT_EQ(catalogue.Count(), 1);
  EXPECT_EQ(catalogue.Items(0).Name(), "B");
  catalogue.Clear();
  EXPECT_EQ(catalogue.Count(), 0);
}

TEST_F(CatalogueTest, LoadingTheEmptySetOrSectionsWithoutReaderAddsNothingAndTouchesNothing) {
  windows.registry.PutString(platform::RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "A", "C:\\a.exe");
  catalogue.LoadSections(SectionSet{});
  catalogue.LoadSections(SectionSet{1, 2, 3});
  EXPECT_EQ(catalogue.Count(), 0);
  EXPECT_EQ(windows.registry.Count(platform::memory::RegistryOperation::Kind::Open), 0);
}

TEST(SectionTables, NamesKeysRootsAndSets) {
  EXPECT_STREQ(SectionNames[8], "Current User Run");
  EXPECT_STREQ(SectionNames[7], "Local Machine Service Once");
  EXPECT_STREQ(SectionKey(6), "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServices");
  EXPECT_STREQ(SectionKey(9), "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  EXPECT_EQ(SectionKey(3), nullptr);
  EXPECT_EQ(SectionKey(10), nullptr);
  EXPECT_EQ(SectionRoot(7), platform::RootKey::LocalMachine);
  EXPECT_EQ(SectionRoot(8), platform::RootKey::CurrentUser);
  EXPECT_EQ(AllSections.LowBits(), 2033);
  EXPECT_EQ((SectionSet{0, 4, 5, 6, 7, 8, 9, 10}).LowBits(), AllSections.LowBits());
  EXPECT_FALSE(AllSections.Contains(1));
  // Widened for every guarded place; the six and the folders keep their bits.
  EXPECT_TRUE(SectionSet::FromBits(0xFFFFFFFF).Contains(kLocalMachineRunOther));
  EXPECT_FALSE(SectionSet::FromBits(0xFFFFFFFF).Contains(kSectionCount));
  EXPECT_STREQ(SectionName(8), "Current User Run");
  EXPECT_STREQ(SectionName(1), "WinIni Run");
  EXPECT_STREQ(SectionName(kLocalMachineRunOther), "Local Machine Run (32-bit)");
  EXPECT_STREQ(ChangeKindNames[static_cast<int>(ChangeKind::Removed)], "Remove");
}

}  // namespace korvalis::catalogue
