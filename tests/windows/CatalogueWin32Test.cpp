// The catalogue against the real registry and startup folders of a Windows system.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "catalogue/ShortcutLink.h"
#include "catalogue/Startups.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Win32Windows.h"
#include "support/Keys.h"
#include "text/Fileman.h"

namespace korvalis::catalogue {

using namespace korvalis::testing;
using platform::RootKey;

namespace {

struct ValueRead {
  bool found = false;
  std::uint32_t type = 0;
  std::string text;
};

// Values and files written by a case under names of its own, removed again afterwards.
class CatalogueWin32 : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& written : written_) {
      auto opened = windows.registry.OpenKey(written.root, written.key, platform::KeyAccess::All);
      if (opened) opened.key->DeleteValue(written.name);
    }
    for (const auto& file : files_) DeleteFileA(file.c_str());
  }
  void Put(RootKey root, const std::string& key, const std::string& name, const std::string& text,
           std::uint32_t type = platform::kRegSz) {
    auto opened = windows.registry.CreateKey(root, key, platform::KeyAccess::All);
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened.key->SetValue(name, type, platform::StringBytes(text)), platform::kSuccess);
    Track(root, key, name);
  }
  void Track(RootKey root, const std::string& key, const std::string& name) { written_.push_back({root, key, name}); }
  ValueRead Read(RootKey root, const std::string& key, const std::string& name) {
    ValueRead read;
    auto opened = windows.registry.OpenKey(root, key, platform::KeyAccess::Read);
    std::vector<std::uint8_t> bytes;
    if (opened && platform::ReadValueBytes(*opened.key, name, read.type, bytes) == platform::kSuccess) {
      read.found = true;
      read.text = platform::TextOfBytes(bytes);
    }
    return read;
  }
  static std::string Unique(const std::string& base) { return base + std::to_string(GetCurrentProcessId()); }
  static const TStartup* Find(const TStartups& catalogue, const std::string& name, Section section) {
    for (int i = 0; i < catalogue.Count(); ++i)
      if (catalogue.Items(i).Name() == name && catalogue.Items(i).GetSection() == section) return &catalogue.Items(i);
    return nullptr;
  }
  std::string Folder(int csidl) { return windows.shell.SpecialFolderPath(csidl, 0); }
  std::string SaveShortcut(int csidl, const std::string& name, const std::string& target) {
    TShortcutLink link(windows.shell);
    link.FileName = Folder(csidl) + "\\" + name + ".lnk";
    link.Target = target;
    link.Arguments = "-quiet";
    link.Save();
    files_.push_back(link.FileName);
    return link.FileName;
  }

  struct Written {
    RootKey root;
    std::string key, name;
  };
  platform::win32::Win32Windows windows;
  TStartups catalogue{0, windows.platform()};
  std::vector<Written> written_;
  std::vector<std::string> files_;
};

}  // namespace

TEST_F(CatalogueWin32, RefreshReadsBothStartupFoldersAndAllSixKeys) {
  const std::string name = Unique("Refresh");
  const std::pair<RootKey, const char*> keys[] = {
      {RootKey::LocalMachine, kRunServicesOnceKey}, {RootKey::LocalMachine, kRunServicesKey},
      {RootKey::LocalMachine, kRunOnceKey},         {RootKey::LocalMachine, kRunKey},
      {RootKey::CurrentUser, kRunOnceKey},          {RootKey::CurrentUser, kRunKey}};
  for (const auto& [root, key] : keys) Put(root, key, name, "C:\\Tools\\" + name + ".exe");
  SaveShortcut(platform::kCsidlStartup, name, "C:\\windows\\notepad.exe");
  SaveShortcut(platform::kCsidlCommonStartup, name, "C:\\windows\\notepad.exe");
  catalogue.Refresh();
  for (Section section : {0, 4, 5, 6, 7, 8, 9, 10}) EXPECT_NE(Find(catalogue, name, section), nullptr) << int(section);
  const TStartup* user = Find(catalogue, name, kCurrentUserStartupFolder);
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(user->Command(), "\"C:\\windows\\notepad.exe\" -quiet");
  EXPECT_FALSE(user->LinkData().empty());
  EXPECT_EQ(Find(catalogue, name, 6)->IconIndex(), 4);
}

TEST_F(CatalogueWin32, ExpandableStringsAreReadUnexpandedAndWrittenBackAsStrings) {
  const std::string name = Unique("Expand");
  Put(RootKey::CurrentUser, kRunKey, name, "%SystemRoot%\\x.exe", platform::kRegExpandSz);
  catalogue.LoadSections(SectionSet::Of(kCurrentUserRun));
  const TStartup* entry = Find(catalogue, name, kCurrentUserRun);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Command(), "%SystemRoot%\\x.exe");
  entry->Apply();
  const ValueRead read = Read(RootKey::CurrentUser, kRunKey, name);
  EXPECT_EQ(read.type, platform::kRegSz);
  EXPECT_EQ(read.text, "%SystemRoot%\\x.exe");
}

TEST_F(CatalogueWin32, TheDefaultValueIsNamedAfterItsCommand) {
  Put(RootKey::CurrentUser, kRunOnceKey, "", "C:\\Tools\\agent.exe");
  catalogue.LoadSections(SectionSet::Of(kCurrentUserRunOnce));
  const TStartup* entry = Find(catalogue, "agent", kCurrentUserRunOnce);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->Title(), "agent.exe");
}

TEST_F(CatalogueWin32, TheSameValueUnderRunAndRunOnceGivesTwoEntries) {
  const std::string name = Unique("Twice");
  Put(RootKey::CurrentUser, kRunKey, name, "C:\\t.exe");
  Put(RootKey::CurrentUser, kRunOnceKey, name, "C:\\t.exe");
  catalogue.LoadSections(SectionSet{kCurrentUserRun, kCurrentUserRunOnce});
  EXPECT_NE(Find(catalogue, name, kCurrentUserRun), nullptr);
  EXPECT_NE(Find(catalogue, name, kCurrentUserRunOnce), nullptr);
}

TEST_F(CatalogueWin32, ApplyAllSetsAndDeletesRealValues) {
  const std::string keep = Unique("Keep"), drop = Unique("Drop");
  Put(RootKey::LocalMachine, kRunKey, drop, "d.exe");
  Track(RootKey::LocalMachine, kRunKey, keep);
  catalogue.Add(keep, "", "C:\\k.exe /x", kLocalMachineRun, 0);
  catalogue.Add(drop, "", "d.exe", kLocalMachineRun, 0)->SetEnabled(false);
  catalogue.ApplyAll();
  EXPECT_EQ(Read(RootKey::LocalMachine, kRunKey, keep).text, "C:\\k.exe /x");
  EXPECT_FALSE(Read(RootKey::LocalMachine, kRunKey, drop).found);
}

TEST_F(CatalogueWin32, AFolderEntryWithLinkDataIsWrittenBackByteForByte) {
  const std::string name = Unique("Bytes");
  const std::string path = SaveShortcut(platform::kCsidlCommonStartup, name, "C:\\windows\\notepad.exe");
  catalogue.LoadSections(SectionSet::Of(kLocalMachineStartupFolder));
  TStartup* entry = const_cast<TStartup*>(Find(catalogue, name, kLocalMachineStartupFolder));
  ASSERT_NE(entry, nullptr);
  const std::vector<std::uint8_t> original = entry->LinkData();
  ASSERT_TRUE(DeleteFileA(path.c_str()));
  entry->Apply();
  std::vector<std::uint8_t> rewritten;
  ASSERT_TRUE(windows.files.ReadFile(path, rewritten));
  EXPECT_EQ(rewritten, original);
  entry->SetEnabled(false);
  entry->Apply();
  EXPECT_FALSE(windows.files.IsFile(path));
}

TEST_F(CatalogueWin32, ALockedFileIsNoEntryButUnreadableAndADamagedShortcutIsAFileByItself) {
  const std::string folder = Folder(platform::kCsidlStartup);
  const std::string locked = folder + "\\" + Unique("locked") + ".bat";
  const std::string broken = folder + "\\" + Unique("broken") + ".lnk";
  ASSERT_TRUE(windows.files.WriteFile(locked, {'e', 'c', 'h', 'o'}));
  ASSERT_TRUE(windows.files.WriteFile(broken, {0x13, 0x37, 0xC0, 0xDE, 0x00, 0xFF, 0x42}));
  files_.push_back(locked);
  files_.push_back(broken);
  HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ReadProblems problems;
  catalogue.LoadSections(SectionSet::Of(kCurrentUserStartupFolder), problems);
  CloseHandle(held);
  EXPECT_EQ(Find(catalogue, text::FileNamePart(locked), kCurrentUserStartupFolder), nullptr);
  EXPECT_NE(std::find(problems.unreadableNames.begin(), problems.unreadableNames.end(), text::FileNamePart(locked)),
            problems.unreadableNames.end());
  const TStartup* damaged = Find(catalogue, text::FileNamePart(broken), kCurrentUserStartupFolder);
  ASSERT_NE(damaged, nullptr);
  EXPECT_EQ(damaged->Command(), broken);
  EXPECT_EQ(damaged->ContentSize(), 7u);
}

}  // namespace korvalis::catalogue
