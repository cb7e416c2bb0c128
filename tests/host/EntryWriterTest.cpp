#include <gtest/gtest.h>

#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"

namespace korvalis::catalogue {

using namespace korvalis::testing;
using platform::RootKey;
using platform::memory::LinkFields;
using platform::memory::MemoryShell;

class EntryWriterTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  TStartups restore{0x77, windows.platform()};
  const std::string userFolder = windows.shell.SpecialFolderPath(platform::kCsidlStartup, 0);
  const std::string commonFolder = windows.shell.SpecialFolderPath(platform::kCsidlCommonStartup, 0);

  TStartup& Entry(const std::string& name, const std::string& command, Section section, bool enabled = true) {
    TStartup* entry = restore.Add(name, "", command, section, 0);
    entry->SetEnabled(enabled);
    return *entry;
  }
  std::string ErrorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const Error& error) {
      return error.what();
    }
    return "no error";
  }
};

TEST_F(EntryWriterTest, ADisabledEntryRemovesItsValueAndAMissingValueIsNoError) {
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "X", "x.exe");
  Entry("X", "x.exe", 8, false).Apply();
  EXPECT_FALSE(windows.registry.Get(RootKey::CurrentUser, kRunKey, "X"));
  EXPECT_NO_THROW(Entry("X", "x.exe", 8, false).Apply());
}

TEST_F(EntryWriterTest, AnEnabledEntryReplacesAnyValueAsAPlainString) {
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Agent", "%SystemRoot%\\a.exe", platform::kRegExpandSz);
  Entry("Agent", "C:\\a.exe /q", 4).Apply();
  const auto value = windows.registry.Get(RootKey::LocalMachine, kRunKey, "Agent");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, platform::kRegSz);
  EXPECT_EQ(value->data, (std::vector<std::uint8_t>{'C', ':', '\\', 'a', '.', 'e', 'x', 'e', ' ', '/', 'q', 0}));
}

TEST_F(EntryWriterTest, RestoringIntoADeletedKeyCreatesItButRemovingNeverDoes) {
  windows.registry.DeleteTree(RootKey::CurrentUser, kRunOnceKey);
  Entry("Gone", "g.exe", 9, false).Apply();
  EXPECT_FALSE(windows.registry.HasKey(RootKey::CurrentUser, kRunOnceKey));
  Entry("Kept", "k.exe", 9).Apply();
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, kRunOnceKey, "Kept"), "k.exe");
}

TEST_F(EntryWriterTest, AKeyThatMayNotBeWrittenFailsWithTheValueNameInsteadOfDoingNothing) {
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "p.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, false});
  EXPECT_EQ(ErrorOf([&] { Entry("Kept", "k.exe", 4).Apply(); }), "Failed to set data for 'Kept'");
  EXPECT_EQ(ErrorOf([&] { Entry("Payload", "p.exe", 4, false).Apply(); }), "Failed to delete value 'Payload'");
  EXPECT_TRUE(windows.registry.Get(RootKey::LocalMachine, kRunKey, "Payload"));
}

TEST_F(EntryWriterTest, OnlyARefusalForLackOfRightsIsOneAnAdministratorCouldCarryOut) {
  const auto rightsMissing = [&](TStartup& entry) {
    try {
      entry.Apply();
    } catch (const RightsMissingError&) {
      return true;
    } catch (const Error&) {
    }
    return false;
  };
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Payload", "p.exe");
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, false});
  EXPECT_TRUE(rightsMissing(Entry("Kept", "k.exe", 4)));
  EXPECT_TRUE(rightsMissing(Entry("Payload", "p.exe", 4, false)));
  windows.registry.SetRights(RootKey::LocalMachine, kRunKey, {true, true});
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) {
    return op.kind == platform::memory::RegistryOperation::Kind::SetValue ? platform::kErrorInvalidParameter
                                                                           : platform::kSuccess;
  });
  EXPECT_FALSE(rightsMissing(Entry("Kept", "k.exe", 4)));
  // A file the machine's Startup folder will not let go of.
  windows.files.AddFile(commonFolder + "\\Payload.bat", {1});
  windows.files.SetHook([](const platform::memory::FileOperation& op) {
    return op.kind != platform::memory::FileOperation::Kind::Move;
  });
  TStartup* file = restore.AddEntry("Payload", "Payload.bat", "", commonFolder + "\\Payload.bat", 0, 0);
  file->SetEnabled(false);
  EXPECT_TRUE(rightsMissing(*file));
  EXPECT_TRUE(windows.files.IsFile(commonFolder + "\\Payload.bat"));
}

TEST_F(EntryWriterTest, ADeletionThatMissesAValueTheKeyStillListsFailsWithItsVisibleName) {
  // A deletion that cannot spell the name answers "not found" while the value stays.
  const std::string hidden("Hidden\0Payload", 14);
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, hidden, "h.exe");
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) {
    return op.kind == platform::memory::RegistryOperation::Kind::DeleteValue ? platform::kErrorFileNotFound
                                                                              : platform::kSuccess;
  });
  EXPECT_EQ(ErrorOf([&] { Entry(hidden, "h.exe", 8, false).Apply(); }), "Failed to delete value 'Hidden\\0Payload'");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, hidden);
  EXPECT_NO_THROW(Entry(hidden, "h.exe", 8, false).Apply());  // gone indeed: nothing to report
}

TEST_F(EntryWriterTest, AFailingWriteEndsApplyAllAndLeavesLaterEntriesUnwritten) {
  Entry("First", "1.exe", 8);
  Entry("Second", "2.exe", 8);
  Entry("Third", "3.exe", 8);
  windows.registry.SetHook([](const platform::memory::RegistryOperation& op) {
    return op.kind == platform::memory::RegistryOperation::Kind::SetValue && op.name == "Second"
               ? platform::kErrorAccessDenied
               : platform::kSuccess;
  });
  EXPECT_EQ(ErrorOf([&] { restore.ApplyAll(); }), "Failed to set data for 'Second'");
  EXPECT_TRUE(windows.registry.Get(RootKey::CurrentUser, kRunKey, "First"));
  EXPECT_FALSE(windows.registry.Get(RootKey::CurrentUser, kRunKey, "Third"));
}

TEST_F(EntryWriterTest, SectionsWithoutLocationWriteNothing) {
  for (Section section : {1, 2, 3}) {
    Entry("X", "x.exe", section).Apply();
    Entry("Y", "y.exe", section, false).Apply();
  }
  EXPECT_EQ(windows.registry.Count(platform::memory::RegistryOperation::Kind::Open), 0);
  EXPECT_EQ(windows.registry.Count(platform::memory::RegistryOperation::Kind::Create), 0);
}

TEST_F(EntryWriterTest, AFolderEntryWithoutLinkDataIsRecreatedAsAShortcut) {
  Entry("Agent", "\"C:\\Tools\\agent.exe\" -quiet", 10).Apply();
  const auto bytes = windows.files.Contents(userFolder + "\\Agent.lnk");
  ASSERT_TRUE(bytes);
  LinkFields fields;
  ASSERT_TRUE(MemoryShell::Decode(*bytes, fields));
  EXPECT_EQ(fields.path, "\"C:\\Tools\\agent.exe\"");
  EXPECT_EQ(fields.arguments, " -quiet");
  EXPECT_EQ(fields.showCommand, platform::kSwShowNormal);
  EXPECT_EQ(fields.hotkey, 0);
}

TEST_F(EntryWriterTest, AFolderEntryWithLinkDataIsWrittenByteForByte) {
  TStartup& entry = Entry("Agent", "\"C:\\a.exe\" ", 0);
  entry.LinkData() = {0x4C, 0, 0, 0, 1, 2, 3, 0, 255};
  entry.Apply();
  EXPECT_EQ(windows.files.Contents(commonFolder + "\\Agent.lnk"), entry.LinkData());
}

TEST_F(EntryWriterTest, ADisabledFolderEntryDeletesItsShortcutAndAMissingOneIsNoError) {
  windows.files.AddFile(commonFolder + "\\Agent.lnk", {1});
  Entry("Agent", "\"C:\\a.exe\" ", 0, false).Apply();
  EXPECT_FALSE(windows.files.Exists(commonFolder + "\\Agent.lnk"));
  EXPECT_NO_THROW(Entry("Agent", "\"C:\\a.exe\" ", 0, false).Apply());
}

TEST_F(EntryWriterTest, FolderWriteFailuresCarryTheirMessages) {
  windows.files.SetHook([](const platform::memory::FileOperation& op) {
    return op.kind != platform::memory::FileOperation::Kind::Write;
  });
  TStartup& withBytes = Entry("Bytes", "\"C:\\a.exe\" ", 10);
  withBytes.LinkData() = {1};
  EXPECT_EQ(ErrorOf([&] { withBytes.Apply(); }), "Cannot create file " + userFolder + "\\Bytes.lnk");
  EXPECT_EQ(ErrorOf([&] { Entry("Link", "\"C:\\a.exe\" ", 10).Apply(); }), "Unable to create .lnk file");
}

TEST_F(EntryWriterTest, AFolderTheShellCannotNameIsNeverReplacedByTheCurrentFolder) {
  windows.shell.SetSpecialFolder(platform::kCsidlStartup, "");
  windows.files.AddFile("C:\\Work\\Agent.lnk", {1});
  ASSERT_TRUE(windows.files.SetCurrentFolder("C:\\Work"));
  Entry("Agent", "\"C:\\a.exe\" ", 10, false).Apply();
  EXPECT_TRUE(windows.files.Exists("C:\\Work\\Agent.lnk"));
  EXPECT_EQ(ErrorOf([&] { Entry("New", "\"C:\\a.exe\" ", 10).Apply(); }), "Cannot create file New.lnk");
  EXPECT_FALSE(windows.files.Exists("C:\\Work\\New.lnk"));
}

TEST_F(EntryWriterTest, AFolderFileIsPutBackOnlyAsItWasAndNeverThroughALinkOrASharedName) {
  windows.files.AddFile("C:\\Windows\\system.ini", {1, 1});
  windows.files.AddSymbolicLink(userFolder + "\\Agent.lnk", "C:\\Windows\\system.ini");
  TStartup& linked = Entry("Agent", "\"C:\\a.exe\" ", 10);
  linked.LinkData() = {0x4C, 0};
  linked.SetContent(2, "hash");
  EXPECT_EQ(ErrorOf([&] { linked.Apply(); }), "Cannot create file " + userFolder + "\\Agent.lnk");
  EXPECT_EQ(windows.files.Contents("C:\\Windows\\system.ini"), (std::vector<std::uint8_t>{1, 1}));
  windows.files.AddFile(userFolder + "\\run.bat", {2});
  windows.files.AddHardLink(userFolder + "\\run.bat", "C:\\Windows\\other.bat");
  TStartup& shared = Entry("run.bat", userFolder + "\\run.bat", 10);
  shared.SetValueName("run.bat");
  EXPECT_EQ(ErrorOf([&] { shared.Apply(); }), "Cannot create file " + userFolder + "\\run.bat");

  // An empty file comes back empty; a file whose bytes were not kept, and any file but a
  // shortcut without bytes, is not made up from its command.
  TStartup& empty = Entry("empty.bat", userFolder + "\\empty.bat", 10);
  empty.SetValueName("empty.bat");
  empty.SetContent(0, "hash");
  empty.Apply();
  EXPECT_EQ(windows.files.Contents(userFolder + "\\empty.bat"), std::vector<std::uint8_t>());
  TStartup& big = Entry("Big", "\"C:\\big.exe\" ", 10);
  big.SetContent(100000, "hash");
  EXPECT_EQ(ErrorOf([&] { big.Apply(); }), "Cannot put back file " + userFolder + "\\Big.lnk, its content was not kept");
  TStartup& script = Entry("go.cmd", userFolder + "\\go.cmd", 10);
  script.SetValueName("go.cmd");
  EXPECT_EQ(ErrorOf([&] { script.Apply(); }), "Cannot put back file " + userFolder + "\\go.cmd, its content was not kept");
  EXPECT_FALSE(windows.files.Exists(userFolder + "\\Big.lnk"));
  EXPECT_FALSE(windows.files.Exists(userFolder + "\\go.cmd"));
}

}  // namespace korvalis::catalogue
