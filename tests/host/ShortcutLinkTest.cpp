#include <gtest/gtest.h>

#include "catalogue/ShortcutLink.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::catalogue {

using platform::memory::LinkFields;
using platform::memory::MemoryShell;

class ShortcutLinkTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  TShortcutLink link{windows.shell};

  void PutLink(const std::string& path, const LinkFields& fields) { windows.files.AddFile(path, MemoryShell::Encode(fields)); }
  std::string ReadError() {
    try {
      link.Read();
    } catch (const Error& error) {
      return error.what();
    }
    return "no error";
  }
};

TEST(HotKeyText, TakesTheFirstCharacterUpperCasedAndBlankForNothing) {
  platform::memory::MemoryWindows windows;
  TShortcutLink link(windows.shell);
  link.SetHotKeyText("q");
  EXPECT_EQ(link.HotKey, 81);
  link.SetHotKeyText("");
  EXPECT_EQ(link.HotKey, 32);
  link.SetHotKeyText("\t");
  EXPECT_EQ(link.HotKey, 32);
  link.SetHotKeyText("\xe9");
  EXPECT_EQ(link.HotKey, 0xe9);
}

TEST_F(ShortcutLinkTest, ReadFillsEveryFieldAndKeepsOnlyTheHotKeysCharacter) {
  LinkFields fields;
  fields.path = "C:\\Tools\\agent.exe";
  fields.arguments = "-quiet";
  fields.workingDirectory = "C:\\Tools";
  fields.description = "Agent";
  fields.iconPath = "C:\\Tools\\agent.ico";
  fields.iconIndex = 0x10002;
  fields.showCommand = 7;
  fields.hotkey = 0x064B;  // Ctrl+Alt+K
  PutLink("C:\\L\\Agent.lnk", fields);
  link.FileName = "C:\\L\\Agent.lnk";
  link.Read();
  EXPECT_EQ(link.Target, "C:\\Tools\\agent.exe");
  EXPECT_EQ(link.Arguments, "-quiet");
  EXPECT_EQ(link.WorkingDir, "C:\\Tools");
  EXPECT_EQ(link.Description, "Agent");
  EXPECT_EQ(link.IconLocation, "C:\\Tools\\agent.ico");
  EXPECT_EQ(link.IconIndex, 2);  // the low 16 bits
  EXPECT_EQ(link.ShowCmd, 7);
  EXPECT_EQ(link.HotKey, 75);
}

TEST_F(ShortcutLinkTest, ALinkWithoutHotKeyReadsAsBlankAndSavesNone) {
  PutLink("C:\\L\\A.lnk", LinkFields{});
  link.FileName = "C:\\L\\A.lnk";
  link.Read();
  EXPECT_EQ(link.HotKey, 32);
  link.FileName = "C:\\L\\B.lnk";
  link.Save();
  LinkFields saved;
  ASSERT_TRUE(MemoryShell::Decode(*windows.files.Contents("C:\\L\\B.lnk"), saved));
  EXPECT_EQ(saved.hotkey, 0);
}

TEST_F(ShortcutLinkTest, SaveSetsTheHotKeyWithCtrlAndAlt) {
  windows.files.AddFolder("C:\\L");
  link.FileName = "C:\\L\\K.lnk";
  link.Target = "\"C:\\k.exe\"";
  link.HotKey = 75;
  link.ShowCmd = 3;
  link.Save();
  LinkFields saved;
  ASSERT_TRUE(MemoryShell::Decode(*windows.files.Contents("C:\\L\\K.lnk"), saved));
  EXPECT_EQ(saved.hotkey, 0x064B);
  EXPECT_EQ(saved.path, "\"C:\\k.exe\"");
  EXPECT_EQ(saved.showCommand, 3);
}

TEST_F(ShortcutLinkTest, AFileThatIsNotAShortcutFailsAndLeavesEveryField) {
  windows.files.AddTextFile("C:\\L\\Notes.lnk", "just text");
  link.FileName = "C:\\L\\Notes.lnk";
  link.Target = "before";
  link.HotKey = 7;
  EXPECT_EQ(ReadError(), "Unable to open link file");
  EXPECT_EQ(link.Target, "before");
  EXPECT_EQ(link.HotKey, 7);
}

TEST_F(ShortcutLinkTest, AFieldThatCannotBeFetchedEndsReadWithItsMessageKeepingEarlierFields) {
  LinkFields fields;
  fields.path = "C:\\t.exe";
  fields.workingDirectory = "C:\\W";
  PutLink("C:\\L\\A.lnk", fields);
  link.FileName = "C:\\L\\A.lnk";
  const std::pair<const char*, const char*> failures[] = {
      {"GetWorkingDirectory", "Error in getting WorkingDir"}, {"GetPath", "Error in getting Target"},
      {"GetIconLocation", "Error in getting icon data"},      {"GetDescription", "Error in get Description"},
      {"GetShowCmd", "Error in getting ShowCmd"},             {"GetHotkey", "Error in geting HotKey"},
      {"GetArguments", "Error in getting Arguments"},
  };
  for (const auto& [call, message] : failures) {
    platform::memory::MemoryWindows fresh;
    fresh.files.AddFile("C:\\L\\A.lnk", MemoryShell::Encode(fields));
    fresh.shell.FailLinkCall(call);
    TShortcutLink failing(fresh.shell);
    failing.FileName = "C:\\L\\A.lnk";
    try {
      failing.Read();
      ADD_FAILURE() << call;
    } catch (const Error& error) {
      EXPECT_STREQ(error.what(), message);
    }
    if (std::string(call) == "GetPath") {
      EXPECT_EQ(failing.WorkingDir, "C:\\W");
    }
  }
}

TEST_F(ShortcutLinkTest, AnUnresolvableLinkOrMissingLinkObjectReturnsQuietlyWithFieldsUntouched) {
  LinkFields fields;
  fields.path = "C:\\t.exe";
  PutLink("C:\\L\\A.lnk", fields);
  link.FileName = "C:\\L\\A.lnk";
  link.Target = "before";
  windows.shell.FailLinkCall("Resolve", platform::kS_FALSE);
  EXPECT_EQ(ReadError(), "no error");
  EXPECT_EQ(link.Target, "before");
  windows.shell.linkCreation = platform::kE_NOINTERFACE;
  EXPECT_EQ(ReadError(), "no error");
  EXPECT_THROW(link.Save(), Error);
}

TEST_F(ShortcutLinkTest, SavingIntoAMissingFolderFails) {
  link.FileName = "C:\\Missing\\A.lnk";
  EXPECT_THROW(
      {
        try {
          link.Save();
        } catch (const Error& error) {
          EXPECT_STREQ(error.what(), "Unable to create .lnk file");
          throw;
        }
      },
      Error);
}

TEST_F(ShortcutLinkTest, SaveIgnoringARefusedFieldWouldWriteAWrongShortcut) {
  windows.files.AddFolder("C:\\Links");
  for (const char* call : {"SetPath", "SetArguments", "SetShowCmd", "SetIconLocation"}) {
    MemoryShell shell(windows.files);
    shell.FailLinkCall(call);
    TShortcutLink refused(shell);
    refused.FileName = "C:\\Links\\A.lnk";
    refused.Target = "C:\\Tools\\agent.exe";
    EXPECT_THROW(refused.Save(), Error) << call;
    EXPECT_FALSE(windows.files.IsFile(refused.FileName)) << call;
  }
}

TEST_F(ShortcutLinkTest, TheStartupFoldersAreAskedWithTheOwnerWindow) {
  link.OwnerWindow = 0x55;
  EXPECT_EQ(link.UserStartupFolder(), "C:\\users\\alice\\Start Menu\\Programs\\Startup");
  EXPECT_EQ(link.CommonStartupFolder(), "C:\\ProgramData\\Start Menu\\Programs\\Startup");
  EXPECT_EQ(windows.shell.folderOwners[platform::kCsidlStartup], 0x55u);
  windows.shell.SetSpecialFolder(platform::kCsidlStartup, "");
  EXPECT_EQ(link.UserStartupFolder(), "");
}

}  // namespace korvalis::catalogue
