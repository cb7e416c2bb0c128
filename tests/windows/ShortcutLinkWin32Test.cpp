// Shortcut files through the shell's real link object.
#include <windows.h>

#include <gtest/gtest.h>

#include "catalogue/ShortcutLink.h"
#include "platform/Error.h"
#include "platform/win32/Win32Windows.h"

namespace korvalis::catalogue {

namespace {

class ShortcutLinkWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "korvalis-links-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const char* name : {"K.lnk", "Plain.lnk", "Again.lnk", "Notes.lnk"}) DeleteFileA((folder_ + "\\" + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Path(const char* name) const { return folder_ + "\\" + name; }
  // The hot key word of the shell link header (offset 0x40), read from the file itself.
  std::uint16_t HotKeyInFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(windows.files.ReadFile(path, bytes));
    return bytes.size() > 0x41 ? static_cast<std::uint16_t>(bytes[0x40] | bytes[0x41] << 8) : 0xFFFF;
  }

  platform::win32::Win32Windows windows;
  std::string folder_;
};

}  // namespace

TEST_F(ShortcutLinkWin32, AHotKeyCtrlAltKIsReadAs75AndSavedBackAsCtrlAltK) {
  TShortcutLink link(windows.shell);
  link.FileName = Path("K.lnk");
  link.Target = "C:\\windows\\notepad.exe";
  link.Arguments = "/p readme.txt";
  link.WorkingDir = "C:\\windows";
  link.Description = "Notes";
  link.HotKey = 'K';
  link.Save();
  EXPECT_EQ(HotKeyInFile(link.FileName), 0x064B);

  TShortcutLink read(windows.shell);
  read.FileName = link.FileName;
  read.Read();
  EXPECT_EQ(read.HotKey, 75);
  EXPECT_EQ(read.Target, "C:\\windows\\notepad.exe");
  EXPECT_EQ(read.Arguments, "/p readme.txt");
  EXPECT_EQ(read.WorkingDir, "C:\\windows");
  EXPECT_EQ(read.Description, "Notes");

  read.FileName = Path("Again.lnk");
  read.Save();
  EXPECT_EQ(HotKeyInFile(read.FileName), 0x064B);
}

TEST_F(ShortcutLinkWin32, ALinkWithoutHotKeyReadsAsBlankAndSavesNone) {
  TShortcutLink link(windows.shell);
  link.FileName = Path("Plain.lnk");
  link.Target = "C:\\windows\\notepad.exe";
  link.Save();
  link.Read();
  EXPECT_EQ(link.HotKey, 32);
  link.FileName = Path("Again.lnk");
  link.Save();
  EXPECT_EQ(HotKeyInFile(link.FileName), 0);
}

TEST_F(ShortcutLinkWin32, SavingIntoAMissingFolderFails) {
  TShortcutLink link(windows.shell);
  link.FileName = Path("missing\\A.lnk");
  link.Target = "C:\\windows\\notepad.exe";
  try {
    link.Save();
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Unable to create .lnk file");
  }
}

TEST_F(ShortcutLinkWin32, AFileThatIsNotAShortcutFailsAndLeavesTheFields) {
  ASSERT_TRUE(windows.files.WriteFile(Path("Notes.lnk"), {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'}));
  TShortcutLink link(windows.shell);
  link.FileName = Path("Notes.lnk");
  link.Target = "before";
  link.HotKey = 7;
  try {
    link.Read();
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Unable to open link file");
  }
  EXPECT_EQ(link.Target, "before");
  EXPECT_EQ(link.HotKey, 7);
}

TEST_F(ShortcutLinkWin32, BothStartupFoldersAreNamed) {
  TShortcutLink link(windows.shell);
  EXPECT_NE(link.UserStartupFolder().find("StartUp"), std::string::npos) << link.UserStartupFolder();
  EXPECT_NE(link.CommonStartupFolder().find("StartUp"), std::string::npos) << link.CommonStartupFolder();
}

}  // namespace korvalis::catalogue
