#include <gtest/gtest.h>

#include "app/ActivityLog.h"
#include "app/Autostart.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"

namespace korvalis::app {

using platform::RootKey;
using namespace korvalis::testing;

class AutostartTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  std::string program = windows.environment.programPath;
};

TEST_F(AutostartTest, WithoutTheValueItIsOffAndSettingItWritesTheQuotedProgramPath) {
  EXPECT_FALSE(IsAutostartSet(windows.platform()));
  SetAutostart(windows.platform(), true);
  const auto value = windows.registry.Get(RootKey::CurrentUser, kRunKey, "Korvalis");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, platform::kRegSz);
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, kRunKey, "Korvalis"), "\"" + program + "\"");
  EXPECT_TRUE(IsAutostartSet(windows.platform()));
  SetAutostart(windows.platform(), false);
  EXPECT_FALSE(windows.registry.Get(RootKey::CurrentUser, kRunKey, "Korvalis"));
}

TEST_F(AutostartTest, ThePlainPathInAnyAsciiCaseCountsButArgumentsOrAnotherPathDoNot) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Korvalis", "c:\\PROGRAM FILES\\korvalis\\KORVALIS.EXE");
  EXPECT_TRUE(IsAutostartSet(windows.platform()));
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Korvalis", "\"" + program + "\" /min");
  EXPECT_FALSE(IsAutostartSet(windows.platform()));
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Korvalis", "C:\\Other\\korvalis.exe");
  EXPECT_FALSE(IsAutostartSet(windows.platform()));
}

TEST_F(AutostartTest, AMissingRunKeyIsOffAndCreatedWhenSet) {
  windows.registry.DeleteTree(RootKey::CurrentUser, kRunKey);
  EXPECT_FALSE(IsAutostartSet(windows.platform()));
  SetAutostart(windows.platform(), false);
  EXPECT_FALSE(windows.registry.HasKey(RootKey::CurrentUser, kRunKey));
  SetAutostart(windows.platform(), true);
  EXPECT_TRUE(IsAutostartSet(windows.platform()));
}

TEST_F(AutostartTest, AValueOfAnotherTypeFailsWithItsName) {
  windows.registry.PutDword(RootKey::CurrentUser, kRunKey, "Korvalis", 1);
  try {
    IsAutostartSet(windows.platform());
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'Korvalis'");
  }
}

TEST_F(AutostartTest, ARunKeyThatMayNotBeWrittenShowedTheBoxTickedAndIsReportedNotIgnored) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Korvalis", program);
  windows.registry.SetRights(RootKey::CurrentUser, kRunKey, {true, false});
  EXPECT_FALSE(IsAutostartSet(windows.platform()));
  EXPECT_THROW(SetAutostart(windows.platform(), true), Error);
  EXPECT_THROW(SetAutostart(windows.platform(), false), Error);
  // Without the value there is nothing to undo, so confirming the clear box is no error.
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Korvalis");
  EXPECT_NO_THROW(SetAutostart(windows.platform(), false));
}

TEST(ActivityLog, AppendsStampedLinesAndKeepsTheNewerHalfWhenFull) {
  platform::memory::MemoryWindows windows;
  TActivityLog log(windows.platform(), [] { return std::string("S"); }, 40);
  log.Write("first line");
  log.Write("second line");
  const std::string path = log.Path();
  EXPECT_EQ(path, windows.environment.localAppData + "\\Korvalis\\korvalis.log");
  auto text = [&] {
    const auto bytes = windows.files.Contents(path);
    return std::string(bytes->begin(), bytes->end());
  };
  EXPECT_EQ(text(), "S first line\r\nS second line\r\n");
  log.Write("third line");
  EXPECT_LE(text().size(), 40u);
  EXPECT_EQ(text().substr(text().size() - 14), "S third line\r\n");
  EXPECT_EQ(text().rfind("S ", 0), 0u);  // cut at a line
}

TEST(ActivityLog, EachLineIsAppendedWithoutReadingTheFileAgain) {
  platform::memory::MemoryWindows windows;
  int reads = 0;
  windows.files.SetHook([&](const platform::memory::FileOperation& op) {
    reads += op.kind == platform::memory::FileOperation::Kind::Read;
    return true;
  });
  TActivityLog log(windows.platform(), [] { return std::string("S"); });
  for (int i = 0; i < 100; ++i) log.Write("Undone again: Nag C:\\nag.exe");
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(windows.files.Contents(log.Path())->size(), 100 * std::string("S Undone again: Nag C:\\nag.exe\r\n").size());
}

TEST(ActivityLog, ADecisionAboutANameHoldingANulIsLoggedInItsVisibleFormOnOneLine) {
  platform::memory::MemoryWindows windows;
  TActivityLog log(windows.platform(), [] { return std::string("S"); });
  log.Write(std::string("Add: Hidden") + '\0' + "Payload\r\nForged C:\\h.exe");
  const auto bytes = windows.files.Contents(log.Path());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "S Add: Hidden\\0Payload\\x0D\\x0AForged C:\\h.exe\r\n");
}

TEST(ActivityLog, ALogThatCannotBeWrittenIsSilentlyNotWritten) {
  platform::memory::MemoryWindows windows;
  windows.files.SetHook([](const platform::memory::FileOperation& op) {
    return op.kind != platform::memory::FileOperation::Kind::Write;
  });
  TActivityLog log(windows.platform());
  EXPECT_NO_THROW(log.Write("line"));
  windows.environment.localAppData.clear();
  EXPECT_NO_THROW(log.Write("line"));
}

}  // namespace korvalis::app
