#include <gtest/gtest.h>

#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"

namespace korvalis::catalogue {

using namespace korvalis::testing;
using platform::RootKey;
using platform::memory::RegistryOperation;

class RegistryReaderTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  TStartups catalogue{0, windows.platform()};
  void PutRun(RootKey root, const char* key, const std::string& name, const std::string& command) {
    windows.registry.PutString(root, key, name, command);
  }
  // Makes every value look as if it outgrew the sizes its key reported, so it is read by name.
  static bool ByName(const RegistryOperation& op) { return op.kind == RegistryOperation::Kind::EnumValue; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < catalogue.Count(); ++i) names.push_back(catalogue.Items(i).Name());
    return names;
  }
};

TEST_F(RegistryReaderTest, EachValueIsReadWithOneCallWhileItFitsTheSizesTheKeyReported) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "A", "C:\\a.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "B", "C:\\b.exe /x");
  catalogue.LoadSections(SectionSet::Of(8));
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(windows.registry.Count(RegistryOperation::Kind::EnumValue), 2);
  EXPECT_EQ(windows.registry.Count(RegistryOperation::Kind::ReadValue), 0);
}

TEST_F(RegistryReaderTest, AValueGrownPastTheReportedSizeIsReadAgainByName) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Short", "s.exe");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Grows", "g.exe");
  windows.registry.SetHook([this](const RegistryOperation& op) {
    // Between the key's report and the enumeration the value became longer than any other.
    if (op.kind == RegistryOperation::Kind::EnumValue && windows.registry.Count(op.kind) == 2)
      windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Grows", "C:\\" + std::string(500, 'g') + ".exe");
    return platform::kSuccess;
  });
  catalogue.LoadSections(SectionSet::Of(8));
  ASSERT_EQ(catalogue.Count(), 2);
  EXPECT_EQ(catalogue.Items(1).Command(), "C:\\" + std::string(500, 'g') + ".exe");
}

TEST_F(RegistryReaderTest, ReadsTheSixKeysInTheirFixedOrderWithTheirIconIndexes) {
  PutRun(RootKey::CurrentUser, kRunKey, "UserRun", "u.exe");
  PutRun(RootKey::CurrentUser, kRunOnceKey, "UserOnce", "uo.exe");
  PutRun(RootKey::LocalMachine, kRunKey, "MachineRun", "m.exe");
  PutRun(RootKey::LocalMachine, kRunOnceKey, "MachineOnce", "mo.exe");
  PutRun(RootKey::LocalMachine, kRunServicesKey, "Service", "s.exe");
  PutRun(RootKey::LocalMachine, kRunServicesOnceKey, "ServiceOnce", "so.exe");
  catalogue.Refresh();
  EXPECT_EQ(Names(), (std::vector<std::string>{"ServiceOnce", "Service", "MachineOnce", "MachineRun", "UserOnce",
                                               "UserRun"}));
  const int expectedIcons[] = {4, 4, 0, 0, 0, 0};
  const Section expectedSections[] = {7, 6, 5, 4, 9, 8};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(catalogue.Items(i).IconIndex(), expectedIcons[i]) << i;
    EXPECT_EQ(catalogue.Items(i).GetSection(), expectedSections[i]) << i;
  }
}

TEST_F(RegistryReaderTest, EmptyDataAddsNothingAndTheSameValueInTwoKeysAddsTwo) {
  PutRun(RootKey::CurrentUser, kRunKey, "A", "C:\\a.exe");
  PutRun(RootKey::CurrentUser, kRunKey, "B", "");
  PutRun(RootKey::CurrentUser, kRunOnceKey, "A", "C:\\a.exe");
  catalogue.LoadSections(SectionSet{8, 9});
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "A"}));
}

TEST_F(RegistryReaderTest, ExpandableStringsAreTakenUnexpandedAndTheDefaultValueIsNamedAfterItsCommand) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Env", "%SystemRoot%\\x.exe", platform::kRegExpandSz);
  PutRun(RootKey::CurrentUser, kRunKey, "", "C:\\Tools\\agent.exe");
  catalogue.LoadSections(SectionSet::Of(8));
  ASSERT_EQ(catalogue.Count(), 2);
  EXPECT_EQ(catalogue.Items(0).Command(), "%SystemRoot%\\x.exe");
  EXPECT_EQ(catalogue.Items(1).Name(), "agent");
  EXPECT_EQ(catalogue.Items(1).Title(), "agent.exe");
}

TEST_F(RegistryReaderTest, AValueOfAnotherTypeEndsTheReadingAndKeepsWhatCameBefore) {
  PutRun(RootKey::CurrentUser, kRunKey, "Before", "b.exe");
  windows.registry.PutDword(RootKey::CurrentUser, kRunKey, "Planted", 1);
  PutRun(RootKey::CurrentUser, kRunKey, "After", "a.exe");
  PutRun(RootKey::CurrentUser, kRunOnceKey, "Once", "o.exe");
  try {
    catalogue.Refresh();
    FAIL() << "no error";
  } catch (const InvalidDataTypeError& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'Planted'");
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"Once", "Before"}));
}

TEST_F(RegistryReaderTest, ATolerantReadingSkipsTheWrongValueAndListsIt) {
  PutRun(RootKey::CurrentUser, kRunKey, "Before", "b.exe");
  windows.registry.PutDword(RootKey::CurrentUser, kRunKey, "Planted", 1);
  PutRun(RootKey::CurrentUser, kRunKey, "After", "a.exe");
  windows.registry.Put(RootKey::CurrentUser, kRunKey, "EmptyDword", platform::kRegDword, {});
  ReadProblems problems;
  catalogue.LoadSections(SectionSet::Of(8), problems);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Before", "After"}));
  EXPECT_EQ(problems.messages, (std::vector<std::string>{"Invalid data type for 'Planted'"}));
  EXPECT_TRUE(problems.unreadableNames.empty());
}

TEST_F(RegistryReaderTest, AFailingReadIsReportedWithTheValueName) {
  PutRun(RootKey::CurrentUser, kRunKey, "Broken", "b.exe");
  windows.registry.SetHook([](const RegistryOperation& op) {
    if (ByName(op)) return platform::kErrorMoreData;
    return op.kind == RegistryOperation::Kind::ReadValue ? platform::kErrorAccessDenied : platform::kSuccess;
  });
  EXPECT_THROW(
      {
        try {
          catalogue.LoadSections(SectionSet::Of(8));
        } catch (const Error& error) {
          EXPECT_STREQ(error.what(), "Failed to get data for 'Broken'");
          throw;
        }
      },
      Error);
  ReadProblems problems;
  catalogue.LoadSections(SectionSet::Of(8), problems);
  EXPECT_EQ(problems.unreadableNames, (std::vector<std::string>{"Broken"}));
}

TEST_F(RegistryReaderTest, AFailingSizeQueryThrewWhereTheTextIsEmpty) {
  PutRun(RootKey::CurrentUser, kRunKey, "Odd", "o.exe");
  PutRun(RootKey::CurrentUser, kRunKey, "Plain", "p.exe");
  windows.registry.SetHook([](const RegistryOperation& op) {
    if (ByName(op)) return platform::kErrorMoreData;
    return op.kind == RegistryOperation::Kind::QueryValueInfo && op.name == "Odd" ? platform::kErrorAccessDenied
                                                                                   : platform::kSuccess;
  });
  EXPECT_NO_THROW(catalogue.LoadSections(SectionSet::Of(8)));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Plain"}));
  catalogue.Clear();
  ReadProblems problems;
  catalogue.LoadSections(SectionSet::Of(8), problems);
  EXPECT_TRUE(problems.messages.empty());
  EXPECT_EQ(problems.unreadableNames, (std::vector<std::string>{"Odd"}));
}

TEST_F(RegistryReaderTest, AValueThatVanishesBetweenEnumerationAndReadingIsSkippedQuietly) {
  PutRun(RootKey::CurrentUser, kRunKey, "Gone", "g.exe");
  PutRun(RootKey::CurrentUser, kRunKey, "Stays", "s.exe");
  windows.registry.SetHook([this](const RegistryOperation& op) {
    if (ByName(op)) return platform::kErrorMoreData;
    if (op.kind == RegistryOperation::Kind::QueryValueInfo && op.name == "Gone")
      windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Gone");
    return platform::kSuccess;
  });
  catalogue.LoadSections(SectionSet::Of(8));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Stays"}));
}

TEST_F(RegistryReaderTest, AValueThatGrowsBeforeTheReadIsReadWhole) {
  PutRun(RootKey::CurrentUser, kRunKey, "Grows", "short.exe");
  int grown = 0;
  windows.registry.SetHook([&](const RegistryOperation& op) {
    if (ByName(op)) return platform::kErrorMoreData;
    if (op.kind == RegistryOperation::Kind::ReadValue && grown++ < 3)
      windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Grows",
                                 "C:\\" + std::string(100 * grown, 'x') + "\\long.exe");
    return platform::kSuccess;
  });
  catalogue.LoadSections(SectionSet::Of(8));
  ASSERT_EQ(catalogue.Count(), 1);
  EXPECT_EQ(catalogue.Items(0).Command(), "C:\\" + std::string(300, 'x') + "\\long.exe");
}

TEST_F(RegistryReaderTest, AValueThatNeverStopsGrowingFailsInsteadOfLooping) {
  PutRun(RootKey::CurrentUser, kRunKey, "Grows", "short.exe");
  std::string data = "x";
  windows.registry.SetHook([&](const RegistryOperation& op) {
    if (ByName(op)) return platform::kErrorMoreData;
    if (op.kind == RegistryOperation::Kind::ReadValue) {
      data += std::string(1000, 'y');
      windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Grows", data);
    }
    return platform::kSuccess;
  });
  EXPECT_THROW(catalogue.LoadSections(SectionSet::Of(8)), Error);
}

TEST_F(RegistryReaderTest, DataWithoutNulHugeDataAndEmbeddedNulsAreReadWithinBounds) {
  const std::string huge(1 << 20, 'h');
  windows.registry.Put(RootKey::CurrentUser, kRunKey, "NoNul", platform::kRegSz, {'a', '.', 'e', 'x', 'e'});
  windows.registry.Put(RootKey::CurrentUser, kRunKey, "Odd", platform::kRegSz, {'o', '.', 'e', 'x', 'e', 0, 'z'});
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Huge", huge);
  catalogue.LoadSections(SectionSet::Of(8));
  ASSERT_EQ(catalogue.Count(), 3);
  EXPECT_EQ(catalogue.Items(0).Command(), "a.exe");
  EXPECT_EQ(catalogue.Items(1).Command(), "o.exe");
  EXPECT_EQ(catalogue.Items(2).Command(), huge);
}

TEST_F(RegistryReaderTest, KeysAreOpenedForReadingSoAUserWhoMayNotWriteStillSeesThem) {
  PutRun(RootKey::LocalMachine, kRunKey, "Machine", "m.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, false});
  catalogue.LoadSections(SectionSet::Of(4));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Machine"}));
}

TEST_F(RegistryReaderTest, AKeyThatIsMissingOrUnreadableIsSkippedQuietly) {
  windows.registry.DeleteTree(RootKey::CurrentUser, kRunKey);
  PutRun(RootKey::LocalMachine, kRunKey, "Hidden", "h.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {false, false});
  PutRun(RootKey::CurrentUser, kRunOnceKey, "Once", "o.exe");
  catalogue.Refresh();
  EXPECT_EQ(Names(), (std::vector<std::string>{"Once"}));
}

TEST_F(RegistryReaderTest, RereadingAddsOnlyWhatChanged) {
  PutRun(RootKey::CurrentUser, kRunKey, "A", "a.exe");
  PutRun(RootKey::CurrentUser, kRunKey, "B", "b.exe");
  catalogue.Refresh();
  PutRun(RootKey::CurrentUser, kRunKey, "B", "b2.exe");
  catalogue.Refresh();
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "B"}));
  EXPECT_EQ(catalogue.Items(2).Command(), "b2.exe");
}

}  // namespace korvalis::catalogue
