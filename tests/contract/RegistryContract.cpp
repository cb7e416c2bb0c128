// The registry as both worlds must answer it.
#include <algorithm>

#include "contract/Worlds.h"
#include "platform/RegistryValues.h"

namespace korvalis::contract {

using namespace platform;

namespace {

class RegistryContract : public ContractTest {
 protected:
  OpenedKey Create() { return platform().registry.CreateKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::All); }
};

// Every value name of the key, by index until the registry says there are no more.
Status ReadValueNames(RegistryKey& key, std::vector<std::string>& names) {
  for (std::uint32_t index = 0;; ++index) {
    std::string name;
    const Status status = key.EnumValueName(index, kMaxValueNameChars + 1, name);
    if (status == kErrorNoMoreItems) return kSuccess;
    if (status != kSuccess) return status;
    names.push_back(std::move(name));
  }
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

}  // namespace

TEST_P(RegistryContract, OpeningAMissingKeyFailsWithFileNotFoundAndCreatesNothing) {
  const std::string path = world().ScratchKey() + "\\Missing";
  EXPECT_EQ(platform().registry.OpenKey(RootKey::CurrentUser, path, KeyAccess::Read).status, kErrorFileNotFound);
  EXPECT_EQ(platform().registry.OpenKey(RootKey::CurrentUser, path, KeyAccess::Read).status, kErrorFileNotFound);
}

TEST_P(RegistryContract, StringValueRoundTripsWithItsTypeSizeAndName) {
  auto key = Create();
  ASSERT_TRUE(key);
  ASSERT_EQ(key.key->SetValue("Agent", kRegSz, StringBytes("C:\\a.exe")), kSuccess);
  ASSERT_EQ(key.key->SetValue("Other", kRegExpandSz, StringBytes("%SystemRoot%\\x.exe")), kSuccess);

  KeyInfo info;
  ASSERT_EQ(key.key->QueryInfo(info), kSuccess);
  EXPECT_EQ(info.valueCount, 2u);
  EXPECT_EQ(info.maxValueNameChars, 5u);

  std::uint32_t type = 0, size = 0;
  ASSERT_EQ(key.key->QueryValueInfo("agent", type, size), kSuccess);  // names ignore letter case
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 9u);  // the text and its NUL

  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ReadValueBytes(*key.key, "Other", type, bytes), kSuccess);
  EXPECT_EQ(type, kRegExpandSz);
  EXPECT_EQ(TextOfBytes(bytes), "%SystemRoot%\\x.exe");
}

TEST_P(RegistryContract, ReadingIntoATooSmallBufferAsksForMoreAndTellsTheSize) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("V", kRegSz, StringBytes("0123456789")), kSuccess);
  std::vector<std::uint8_t> buffer(4);
  std::uint32_t type = 0, size = 4;
  EXPECT_EQ(key.key->ReadValue("V", type, buffer, size), kErrorMoreData);
  EXPECT_EQ(size, 11u);
}

TEST_P(RegistryContract, StringStoredWithoutItsNulComesBackAsStored) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("NoNul", kRegSz, Bytes("abc")), kSuccess);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ReadValueBytes(*key.key, "NoNul", type, bytes), kSuccess);
  // The system may add the missing NUL when there is room; it never adds anything else.
  ASSERT_GE(bytes.size(), 3u);
  ASSERT_LE(bytes.size(), 4u);
  if (bytes.size() == 4) {
    EXPECT_EQ(bytes[3], 0);
  }
  EXPECT_EQ(TextOfBytes(bytes), "abc");
}

TEST_P(RegistryContract, OddByteCountsAndEmptyDataAreKeptExactly) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("Odd", kRegBinary, {1, 2, 3, 4, 5}), kSuccess);
  ASSERT_EQ(key.key->SetValue("Empty", kRegSz, {}), kSuccess);
  std::uint32_t type = 0, size = 99;
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ReadValueBytes(*key.key, "Odd", type, bytes), kSuccess);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  ASSERT_EQ(key.key->QueryValueInfo("Empty", type, size), kSuccess);
  EXPECT_EQ(size, 0u);
}

TEST_P(RegistryContract, EnumerationListsEveryNameOnceAndEndsWithNoMoreItems) {
  auto key = Create();
  for (const char* name : {"B", "a", "", "C"}) ASSERT_EQ(key.key->SetValue(name, kRegSz, StringBytes("x")), kSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(ReadValueNames(*key.key, names), kSuccess);
  std::sort(names.begin(), names.end());  // the two systems enumerate in different orders
  EXPECT_EQ(names, (std::vector<std::string>{"", "B", "C", "a"}));
  std::string name;
  EXPECT_EQ(key.key->EnumValueName(4, 10, name), kErrorNoMoreItems);
}

TEST_P(RegistryContract, EnumeratingIntoATooSmallNameBufferAsksForMore) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("LongName", kRegSz, StringBytes("x")), kSuccess);
  std::string name;
  EXPECT_EQ(key.key->EnumValueName(0, 8, name), kErrorMoreData);  // 8 characters need 9 with the NUL
  EXPECT_EQ(key.key->EnumValueName(0, 9, name), kSuccess);
  EXPECT_EQ(name, "LongName");
}

TEST_P(RegistryContract, OneEnumerationCallGivesNameTypeAndDataOrAsksForMoreRoom) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("Agent", kRegExpandSz, StringBytes("C:\\a.exe")), kSuccess);
  KeyInfo info;
  ASSERT_EQ(key.key->QueryInfo(info), kSuccess);
  std::vector<std::uint8_t> data(info.maxValueDataBytes);
  std::string name;
  std::uint32_t type = 0, size = 0;
  ASSERT_EQ(key.key->EnumValue(0, info.maxValueNameChars + 1, name, type, data, size), kSuccess);
  EXPECT_EQ(name, "Agent");
  EXPECT_EQ(type, kRegExpandSz);
  data.resize(size);
  EXPECT_EQ(TextOfBytes(data), "C:\\a.exe");
  std::vector<std::uint8_t> small(3);
  EXPECT_EQ(key.key->EnumValue(0, 10, name, type, small, size), kErrorMoreData);
  std::vector<std::uint8_t> roomy(64);
  EXPECT_EQ(key.key->EnumValue(0, 5, name, type, roomy, size), kErrorMoreData);  // "Agent" needs 6
  EXPECT_EQ(key.key->EnumValue(1, 10, name, type, roomy, size), kErrorNoMoreItems);
}

TEST_P(RegistryContract, ANameAtTheRegistryLimitIsWrittenAndListed) {
  auto key = Create();
  const std::string longest(kMaxValueNameChars, 'n');
  ASSERT_EQ(key.key->SetValue(longest, kRegSz, StringBytes("x")), kSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(ReadValueNames(*key.key, names), kSuccess);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], longest);
}

TEST_P(RegistryContract, ANameHoldingANulIsAValueOfItsOwnBesideTheOneNamedLikeItsFirstPart) {
  auto key = Create();
  const std::string hidden("Hidden\0Payload", 14);
  ASSERT_EQ(key.key->SetValue("Hidden", kRegSz, StringBytes("C:\\visible.exe")), kSuccess);
  ASSERT_EQ(key.key->SetValue(hidden, kRegSz, StringBytes("C:\\hidden.exe")), kSuccess);
  KeyInfo info;
  ASSERT_EQ(key.key->QueryInfo(info), kSuccess);
  EXPECT_EQ(info.maxValueNameChars, 14u);
  std::vector<std::string> names;
  ASSERT_EQ(ReadValueNames(*key.key, names), kSuccess);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Hidden", hidden}));

  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(ReadValueBytes(*key.key, hidden, type, bytes), kSuccess);
  EXPECT_EQ(TextOfBytes(bytes), "C:\\hidden.exe");
  ASSERT_EQ(key.key->SetValue(hidden, kRegExpandSz, StringBytes("%TEMP%\\again.exe")), kSuccess);
  ASSERT_EQ(ReadValueBytes(*key.key, hidden, type, bytes), kSuccess);
  EXPECT_EQ(type, kRegExpandSz);
  EXPECT_EQ(TextOfBytes(bytes), "%TEMP%\\again.exe");

  EXPECT_EQ(key.key->DeleteValue(hidden), kSuccess);
  EXPECT_EQ(key.key->DeleteValue(hidden), kErrorFileNotFound);
  names.clear();
  ASSERT_EQ(ReadValueNames(*key.key, names), kSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"Hidden"}));
  ASSERT_EQ(ReadValueBytes(*key.key, "Hidden", type, bytes), kSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(TextOfBytes(bytes), "C:\\visible.exe");
}

TEST_P(RegistryContract, SettingAValueReplacesItsTypeAndDeletingTwiceReportsTheMissingValue) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("V", kRegExpandSz, StringBytes("a")), kSuccess);
  ASSERT_EQ(key.key->SetValue("v", kRegSz, StringBytes("b")), kSuccess);
  std::uint32_t type = 0, size = 0;
  ASSERT_EQ(key.key->QueryValueInfo("V", type, size), kSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(key.key->DeleteValue("V"), kSuccess);
  EXPECT_EQ(key.key->DeleteValue("V"), kErrorFileNotFound);
  EXPECT_EQ(key.key->QueryValueInfo("V", type, size), kErrorFileNotFound);
}

TEST_P(RegistryContract, AKeyOpenedForReadingRefusesWrites) {
  ASSERT_TRUE(Create());
  auto readOnly = platform().registry.OpenKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::Read);
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(readOnly.key->SetValue("V", kRegSz, StringBytes("a")), kErrorAccessDenied);
}

TEST_P(RegistryContract, AHandleOfADeletedKeyAnswersKeyDeleted) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("V", kRegSz, StringBytes("a")), kSuccess);
  ASSERT_EQ(platform().registry.DeleteTree(RootKey::CurrentUser, world().ScratchKey()), kSuccess);
  KeyInfo info;
  EXPECT_EQ(key.key->QueryInfo(info), kErrorKeyDeleted);
  EXPECT_EQ(platform().registry.OpenKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::Read).status,
            kErrorFileNotFound);
}

TEST_P(RegistryContract, AWatchFiresOnAChangedValueAndNotBefore) {
  auto key = Create();
  ASSERT_EQ(key.key->SetValue("V", kRegSz, StringBytes("a")), kSuccess);
  std::unique_ptr<ChangeWatch> watch;
  ASSERT_EQ(key.key->Watch(watch), kSuccess);
  EXPECT_FALSE(watch->Signaled());
  auto other = platform().registry.OpenKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::Write);
  ASSERT_EQ(other.key->SetValue("V", kRegSz, StringBytes("b")), kSuccess);
  EXPECT_TRUE(watch->Signaled());
}

TEST_P(RegistryContract, OneLookTellsWhichOfSeveralWatchesFired) {
  auto first = Create();
  auto second = platform().registry.CreateKey(RootKey::CurrentUser, world().ScratchKey() + "\\Two", KeyAccess::All);
  ASSERT_TRUE(second);
  std::unique_ptr<ChangeWatch> a, b;
  ASSERT_EQ(first.key->Watch(a), kSuccess);
  ASSERT_EQ(second.key->Watch(b), kSuccess);
  EXPECT_EQ(platform().registry.PollWatches({a.get(), b.get()}), 0u);
  ASSERT_EQ(second.key->SetValue("V", kRegSz, StringBytes("x")), kSuccess);
  EXPECT_EQ(platform().registry.PollWatches({a.get(), b.get()}), 2u);
  EXPECT_EQ(platform().registry.PollWatches({nullptr, b.get()}), 2u);
}

TEST_P(RegistryContract, AWatchOnTheParentFiresWhenTheKeyIsCreated) {
  auto parent = Create();
  std::unique_ptr<ChangeWatch> watch;
  ASSERT_EQ(parent.key->Watch(watch), kSuccess);
  ASSERT_TRUE(platform().registry.CreateKey(RootKey::CurrentUser, world().ScratchKey() + "\\Child", KeyAccess::All));
  EXPECT_TRUE(watch->Signaled());
}

// Whether the key's own watch sees it deleted is left open: under Wine an empty key's does not.
TEST_P(RegistryContract, AKeyDeletedAndMadeAgainSignalsAWatchOnItsParent) {
  auto parent = Create();
  const std::string path = world().ScratchKey() + "\\Child";
  auto child = platform().registry.CreateKey(RootKey::CurrentUser, path, KeyAccess::All);
  ASSERT_TRUE(child);
  std::unique_ptr<ChangeWatch> subkeys;
  ASSERT_EQ(parent.key->WatchSubkeys(subkeys), kSuccess);
  ASSERT_EQ(parent.key->SetValue("V", kRegSz, StringBytes("a")), kSuccess);
  EXPECT_FALSE(subkeys->Signaled());  // a value of the parent is not a subkey
  ASSERT_EQ(platform().registry.DeleteTree(RootKey::CurrentUser, path), kSuccess);
  EXPECT_TRUE(subkeys->Signaled());

  ASSERT_EQ(parent.key->WatchSubkeys(subkeys), kSuccess);
  auto again = platform().registry.CreateKey(RootKey::CurrentUser, path, KeyAccess::All);
  ASSERT_TRUE(again);
  EXPECT_TRUE(subkeys->Signaled());
  // The old handle stays with the deleted key: the new one is watched only through a new handle.
  std::unique_ptr<ChangeWatch> stale;
  EXPECT_EQ(child.key->Watch(stale), kErrorKeyDeleted);
  KeyInfo info;
  EXPECT_EQ(child.key->QueryInfo(info), kErrorKeyDeleted);
}

TEST_P(RegistryContract, AMachineKeyOfTheOtherViewLivesBelowWow6432NodeAndNotInTheNativeView) {
  Registry& registry = platform().registry;
  const std::string path = "Software\\KorvalisContractView";
  ASSERT_TRUE(registry.HasOtherView());
  {
    auto key = registry.CreateKey(RootKey::LocalMachine, path, KeyAccess::All, RegistryView::Other);
    ASSERT_TRUE(key);
    ASSERT_EQ(key.key->SetValue("V", kRegSz, StringBytes("32")), kSuccess);
  }
  EXPECT_EQ(registry.OpenKey(RootKey::LocalMachine, path, KeyAccess::Read).status, kErrorFileNotFound);
  EXPECT_FALSE(registry.SameInBothViews(RootKey::LocalMachine, path));
  auto physical = registry.OpenKey(RootKey::LocalMachine, "Software\\Wow6432Node\\KorvalisContractView", KeyAccess::Read);
  ASSERT_TRUE(physical);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(ReadValueBytes(*physical.key, "V", type, bytes), kSuccess);
  EXPECT_EQ(TextOfBytes(bytes), "32");
  // The current user's keys are one in both views.
  EXPECT_TRUE(registry.CreateKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::All, RegistryView::Other));
  EXPECT_TRUE(registry.OpenKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::Read));
  EXPECT_TRUE(registry.SameInBothViews(RootKey::CurrentUser, world().ScratchKey()));
  physical = OpenedKey{};
  EXPECT_EQ(registry.DeleteTree(RootKey::LocalMachine, "Software\\Wow6432Node\\KorvalisContractView"), kSuccess);
}

TEST_P(RegistryContract, TheUsersClassOfTheOtherViewLivesBelowClassesWow6432NodeAndIsDeletedThere) {
  Registry& registry = platform().registry;
  const std::string node = "Software\\Classes\\Wow6432Node";
  // Windows keeps this key; Wine shows the user's classes in one key for both views until it exists.
  const bool made = !registry.OpenKey(RootKey::CurrentUser, node, KeyAccess::Read);
  ASSERT_TRUE(registry.CreateKey(RootKey::CurrentUser, node + "\\CLSID", KeyAccess::All));
  const std::string clsid = "{6B0F3A52-9C1D-4E27-8A45-3D7C2E9F1B60}";
  const std::string path = "Software\\Classes\\CLSID\\" + clsid;
  ASSERT_TRUE(registry.CreateKey(RootKey::CurrentUser, path + "\\InprocServer32", KeyAccess::All, RegistryView::Other));
  EXPECT_EQ(registry.OpenKey(RootKey::CurrentUser, path, KeyAccess::Read).status, kErrorFileNotFound);
  EXPECT_TRUE(registry.OpenKey(RootKey::CurrentUser, node + "\\CLSID\\" + clsid + "\\InprocServer32", KeyAccess::Read));
  EXPECT_FALSE(registry.SameInBothViews(RootKey::CurrentUser, "Software\\Classes\\CLSID"));
  // Deleted in its own view, the native one untouched.
  ASSERT_TRUE(registry.CreateKey(RootKey::CurrentUser, path, KeyAccess::All));
  EXPECT_EQ(registry.DeleteTree(RootKey::CurrentUser, path, RegistryView::Other), kSuccess);
  EXPECT_EQ(registry.OpenKey(RootKey::CurrentUser, node + "\\CLSID\\" + clsid, KeyAccess::Read).status,
            kErrorFileNotFound);
  EXPECT_TRUE(registry.OpenKey(RootKey::CurrentUser, path, KeyAccess::Read));
  EXPECT_EQ(registry.DeleteTree(RootKey::CurrentUser, path), kSuccess);
  if (made) {
    EXPECT_EQ(registry.DeleteTree(RootKey::CurrentUser, node), kSuccess);
  }
}

TEST_P(RegistryContract, SubkeysAreListedAndOnlyASubtreeWatchSeesAChangeBelow) {
  auto parent = Create();
  for (const char* name : {"Beta", "Alpha"})
    ASSERT_TRUE(platform().registry.CreateKey(RootKey::CurrentUser, world().ScratchKey() + "\\" + name, KeyAccess::All));
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t index = 0; parent.key->EnumSubkeyName(index, name) == kSuccess; ++index) names.push_back(name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta"}));
  // Each watch on a handle of its own, as the guard keeps them.
  auto again = platform().registry.OpenKey(RootKey::CurrentUser, world().ScratchKey(), KeyAccess::Read);
  std::unique_ptr<ChangeWatch> tree, plain;
  ASSERT_EQ(parent.key->Watch(tree, true), kSuccess);
  ASSERT_EQ(again.key->Watch(plain, false), kSuccess);
  auto child = platform().registry.OpenKey(RootKey::CurrentUser, world().ScratchKey() + "\\Alpha", KeyAccess::Write);
  ASSERT_EQ(child.key->SetValue("StubPath", kRegSz, StringBytes("x.exe")), kSuccess);
  EXPECT_TRUE(tree->Signaled());
  EXPECT_FALSE(plain->Signaled());
}

KORVALIS_INSTANTIATE_CONTRACT(RegistryContract);

}  // namespace korvalis::contract
