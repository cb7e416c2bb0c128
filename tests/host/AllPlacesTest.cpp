// The places beyond the six registry sections: the other registry view, the startup folders
// and the further logon keys, each asked about and put back as its row says.
#include <gtest/gtest.h>

#include "app/ChangeMonitor.h"
#include "catalogue/Places.h"
#include "catalogue/Quarantine.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using catalogue::ChangeKind;
using platform::RootKey;
using platform::memory::FileOperation;
using namespace korvalis::testing;

namespace {

constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr const char* kRunOnceEx = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr const char* kUserStartup = "C:\\users\\alice\\Start Menu\\Programs\\Startup";

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class AllPlacesTest : public ::testing::Test {
 protected:
  AllPlacesTest() {
    switches.Notification = true;
    switches.AllPlaces = true;
  }
  std::vector<std::string> Asked() const {
    std::vector<std::string> asked;
    for (const auto& q : host.questions)
      asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name + " in " +
                      catalogue::SectionName(q.section));
    return asked;
  }
  std::string Text(const std::string& path) {
    const auto bytes = windows.files.Contents(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("(none)");
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  TChangeMonitor monitor{windows.platform(), switches, host};
};

}  // namespace

TEST_F(AllPlacesTest, TheOtherViewIsGuardedUnderItsOwnName) {
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Legacy", "C:\\legacy.exe");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Legacy in Local Machine Run (32-bit)"}));
  EXPECT_FALSE(windows.registry.GetString(RootKey::LocalMachine,
                                          "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "Legacy"));
}

TEST_F(AllPlacesTest, AKeyBothViewsShareWasAskedAboutTwice) {
  windows.registry.sharedKeys = {"Software\\Microsoft\\Windows\\CurrentVersion\\Policies"};
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
                             "Shared", "C:\\s.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add Shared in Local Machine Policies Run"}));
}

TEST_F(AllPlacesTest, OnlyTheNamedValuesOfALogonKeyAskAndWinlogonAsksEveryDifference) {
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "Userinit", "C:\\Windows\\system32\\userinit.exe,");
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "DefaultUserName", "alice");
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "DefaultUserName", "mallory");
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "Shell", "evil.exe");
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "Userinit",
                             "C:\\Windows\\system32\\userinit.exe,C:\\evil.exe");
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change Userinit in Local Machine Winlogon",
                                               "Add Shell in Local Machine Winlogon"}));
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, kWinlogon, "Userinit"),
            "C:\\Windows\\system32\\userinit.exe,");
  // A refused addition is never a deletion: the system's own shell takes its place.
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, kWinlogon, "Shell"), "explorer.exe");
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, kWinlogon, "DefaultUserName"), "mallory");
}

TEST_F(AllPlacesTest, UserinitDeletedThenWrittenBackWithAPayloadIsAskedAndNoNeverLeavesItMissing) {
  const std::string accepted = "C:\\Windows\\system32\\userinit.exe,";
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "Userinit", accepted);
  monitor.TakeSnapshot();
  windows.registry.Remove(RootKey::LocalMachine, kWinlogon, "Userinit");
  host.answers = {false, true};
  monitor.CheckAllSections();  // refused: written back
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, kWinlogon, "Userinit"), accepted);
  windows.registry.Remove(RootKey::LocalMachine, kWinlogon, "Userinit");
  monitor.CheckAllSections();  // allowed: Korvalis itself deletes nothing
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "Userinit", "userinit.exe,C:\\evil.exe,");
  host.answers = {false};
  monitor.CheckAllSections();
  monitor.CheckAllSections();  // the data written back is no new difference
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Remove Userinit in Local Machine Winlogon",
                                               "Remove Userinit in Local Machine Winlogon",
                                               "Add Userinit in Local Machine Winlogon"}));
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, kWinlogon, "Userinit"),
            windows.environment.systemFolder + "\\userinit.exe,");
}

TEST_F(AllPlacesTest, RunOnceExValuesDownToFourLevelsAskAndARefusalDeletesThereOnly) {
  const std::string depend = std::string(kRunOnceEx) + "\\0001\\Depend";
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, std::string(kRunOnceEx) + "\\0001", "Tool", "C:\\t.exe");
  windows.registry.PutString(RootKey::LocalMachine, depend, "Lib", "C:\\lib.exe");
  windows.registry.PutString(RootKey::LocalMachine, depend + "\\a\\b\\c", "Deep", "C:\\deep.exe");  // level 5
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add 0001\\Tool in Local Machine Run Once Ex",
                                               "Add 0001\\Depend\\Lib in Local Machine Run Once Ex"}));
  EXPECT_FALSE(windows.registry.GetString(RootKey::LocalMachine, std::string(kRunOnceEx) + "\\0001", "Tool"));
  EXPECT_FALSE(windows.registry.GetString(RootKey::LocalMachine, depend, "Lib"));
  EXPECT_TRUE(windows.registry.HasKey(RootKey::LocalMachine, depend));

  // A name that would be put back under another key is reported, not taken in.
  windows.registry.PutString(RootKey::LocalMachine, depend, "x\\y", "C:\\x.exe");
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors, (std::vector<std::string>{
                             "Cannot guard the value '0001\\Depend\\x\\y': its name holds a backslash"}));
  EXPECT_EQ(host.questions.size(), 2u);
}

TEST_F(AllPlacesTest, AStartupFolderFileRefusedIsQuarantinedAndARemovedOneComesBackByteForByte) {
  const std::string kept = std::string(kUserStartup) + "\\Agent.lnk";
  platform::memory::LinkFields link;
  link.path = "C:\\agent.exe";
  link.arguments = "-q";
  windows.files.AddFile(kept, platform::memory::MemoryShell::Encode(link));
  const std::vector<std::uint8_t> keptBytes = *windows.files.Contents(kept);
  monitor.TakeSnapshot();

  const std::string dropped = std::string(kUserStartup) + "\\run.bat";
  windows.files.AddFile(dropped, Bytes("reg add HKCU\\x\r\n"));
  windows.files.RemoveFile(kept);
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add run.bat in Current User Startup Folder",
                                               "Remove Agent in Current User Startup Folder"}));
  EXPECT_EQ(host.questions[0].command, dropped);
  EXPECT_FALSE(windows.files.IsFile(dropped));
  const std::string quarantine = catalogue::QuarantineFolder(windows.environment);
  EXPECT_EQ(Text(quarantine + "\\run.bat"), "reg add HKCU\\x\r\n");
  EXPECT_EQ(Text(quarantine + "\\run.bat.origin.txt"), dropped + "\r\n");
  EXPECT_EQ(*windows.files.Contents(kept), keptBytes);

  // A shortcut given another target is a change, and No puts its earlier bytes back.
  link.path = "C:\\other.exe";
  windows.files.WriteFile(kept, platform::memory::MemoryShell::Encode(link));
  host.questions.clear();
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change Agent in Current User Startup Folder"}));
  EXPECT_EQ(*windows.files.Contents(kept), keptBytes);
}

TEST_F(AllPlacesTest, AQuarantineThatFailsIsReportedAndLeavesTheFileWhereItWas) {
  monitor.TakeSnapshot();
  const std::string dropped = std::string(kUserStartup) + "\\drop.vbs";
  windows.files.AddFile(dropped, Bytes("x"));
  windows.files.SetHook([](const FileOperation& op) { return op.kind != FileOperation::Kind::Move; });
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"Cannot quarantine file " + dropped}));
  EXPECT_TRUE(windows.files.IsFile(dropped));
  EXPECT_FALSE(windows.files.IsFile(catalogue::QuarantineFolder(windows.environment) + "\\drop.vbs.origin.txt"));
}

// Where a test puts a value of the place's: a key on its first level read, and a value that counts.
struct Probe {
  std::string path, key, value;
};
Probe ProbeOf(const catalogue::TPlace& place) {
  Probe probe{place.path, std::string(), place.values.empty() ? "Probe" : place.values.front()};
  if (!place.keys.empty()) probe.key = place.keys.front();
  for (int level = 1; level <= place.firstLevel; ++level)
    probe.key += (probe.key.empty() ? "" : "\\") +
                 (level == place.lastLevel && !place.lastKeys.empty() ? place.lastKeys.front() : "k" + std::to_string(level));
  if (!probe.key.empty()) probe.path += "\\" + probe.key;
  return probe;
}

std::optional<platform::memory::StoredValue> ValueIn(platform::memory::MemoryRegistry& registry, const catalogue::TPlace& place,
                                             const Probe& probe) {
  platform::OpenedKey key = registry.OpenKey(place.root, probe.path, platform::KeyAccess::Read, place.view);
  if (!key) return std::nullopt;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (platform::ReadValueBytes(*key.key, probe.value, type, bytes) != platform::kSuccess) return std::nullopt;
  return platform::memory::StoredValue{probe.value, type, bytes};
}

TEST_F(AllPlacesTest, EveryLogonChainPlaceAsksAnAdditionUnderItsNameAndNoUndoesItAsItsRowSays) {
  monitor.TakeSnapshot();
  for (const catalogue::Section section : catalogue::FurtherSections()) {
    const catalogue::TPlace& place = *catalogue::PlaceOf(section);
    if (section < 40 || place.kind != catalogue::PlaceKind::Registry || place.approves) continue;
    SCOPED_TRACE(place.name);
    const Probe probe = ProbeOf(place);
    if (!place.shadowed.empty()) {
      ASSERT_TRUE(windows.registry.CreateKey(RootKey::LocalMachine, place.shadowed + "\\k1", platform::KeyAccess::Write, place.view));
    }
    platform::OpenedKey key = windows.registry.CreateKey(place.root, probe.path, platform::KeyAccess::Write, place.view);
    ASSERT_TRUE(key);
    key.key->SetValue(probe.value, platform::kRegSz, platform::StringBytes("C:\\probe.exe"));
    host.questions.clear();
    host.answers = {false};
    monitor.CheckAllSections();
    const std::string name = probe.key.empty() ? probe.value : probe.key + "\\" + probe.value;
    ASSERT_EQ(Asked(), (std::vector<std::string>{"Add " + name + " in " + place.name}));
    EXPECT_EQ(host.questions[0].command, "C:\\probe.exe");
    const auto left = ValueIn(windows.registry, place, probe);
    if (const std::string* kept = place.KeptData(probe.value))
      EXPECT_EQ(left ? platform::TextOfBytes(left->data) : "(none)", *kept);
    else if (place.Emptied(probe.value))
      EXPECT_EQ(left ? platform::TextOfBytes(left->data) : "(none)", "");
    else
      EXPECT_FALSE(left);
    monitor.CheckAllSections();  // what No left is no new difference
    EXPECT_EQ(host.questions.size(), 1u);
  }
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(AllPlacesTest, ASystemListRefusedKeepsItsTypeAndIsNeverDeletedAndANumberIsAskedAsOne) {
  const std::string lsa = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
  const std::string ifeo = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\sethc.exe";
  const auto list = [](const std::string& text) {  // strings separated by '|'
    std::vector<std::uint8_t> bytes;
    for (const char c : text) bytes.push_back(c == '|' ? 0 : static_cast<std::uint8_t>(c));
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
  };
  windows.registry.Put(RootKey::LocalMachine, lsa, "Authentication Packages", platform::kRegMultiSz, list("msv1_0"));
  windows.registry.Put(RootKey::LocalMachine, lsa, "Security Packages", platform::kRegMultiSz, {0, 0});
  monitor.TakeSnapshot();
  windows.registry.Put(RootKey::LocalMachine, lsa, "Authentication Packages", platform::kRegMultiSz, list("msv1_0|evil"));
  windows.registry.Put(RootKey::LocalMachine, lsa, "Security Packages", platform::kRegMultiSz, list("kerberos|mimilib"));
  windows.registry.PutDword(RootKey::LocalMachine, ifeo, "GlobalFlag", 0x200);
  host.answers = {false, false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add sethc.exe\\GlobalFlag in Local Machine Image File Execution Options",
                                               "Change Authentication Packages in Local Machine Security Packages",
                                               "Add Security Packages in Local Machine Security Packages"}));
  ASSERT_EQ(host.questions.size(), 3u);
  EXPECT_EQ(host.questions[0].command, "0x200");
  EXPECT_EQ(host.questions[1].command, "msv1_0 evil");
  EXPECT_EQ(windows.registry.Get(RootKey::LocalMachine, lsa, "Authentication Packages")->data, list("msv1_0"));
  const auto emptied = windows.registry.Get(RootKey::LocalMachine, lsa, "Security Packages");
  ASSERT_TRUE(emptied);
  EXPECT_EQ(emptied->type, platform::kRegMultiSz);
  EXPECT_EQ(platform::TextOfBytes(emptied->data), "");
  EXPECT_FALSE(windows.registry.Get(RootKey::LocalMachine, ifeo, "GlobalFlag"));
}

TEST_F(AllPlacesTest, ALetterCaseOrTheSameDataWrittenAgainIsNoChangeButAnotherClassIs) {
  const std::string ifeo = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe";
  const std::string hta = "Software\\Classes\\.hta";
  windows.registry.PutString(RootKey::LocalMachine, ifeo, "Debugger", "C:\\Tools\\Debug.exe");
  windows.registry.PutString(RootKey::CurrentUser, "Software\\Microsoft\\Command Processor", "AutoRun", "doskey /macrofile=C:\\m.txt");
  windows.registry.PutString(RootKey::LocalMachine, hta, "", "htafile");
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, ifeo, "Debugger", "c:\\TOOLS\\debug.EXE");
  windows.registry.PutString(RootKey::CurrentUser, "Software\\Microsoft\\Command Processor", "AutoRun", "doskey /macrofile=C:\\m.txt");
  windows.registry.PutString(RootKey::LocalMachine, hta, "", "HTAFile");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
  windows.registry.PutString(RootKey::LocalMachine, hta, "", "txtfile");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Change .hta\\ in Local Machine Classes"}));
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, hta, ""), "htafile");
}

TEST_F(AllPlacesTest, AUserClassServerIsAskedOnlyWhereItShadowsTheMachinesAndNoDeletesTheUsersKey) {
  const std::string clsid = "Software\\Classes\\CLSID\\";
  const std::string shadowed = "{00021401-0000-0000-C000-000000000046}", own = "{5A1B2C3D-0000-4000-8000-00AA00BB00CC}";
  windows.registry.PutString(RootKey::LocalMachine, clsid + shadowed + "\\InprocServer32", "", "%SystemRoot%\\system32\\windows.storage.dll");
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::CurrentUser, clsid + own + "\\InprocServer32", "", "C:\\Users\\alice\\AppData\\app.dll");
  windows.registry.PutString(RootKey::CurrentUser, clsid + shadowed + "\\InprocServer32", "", "C:\\Users\\alice\\evil.dll");
  windows.registry.PutString(RootKey::CurrentUser, clsid + shadowed + "\\InprocServer32", "ThreadingModel", "Both");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add " + shadowed + "\\InprocServer32\\ in Current User Class Servers"}));
  EXPECT_FALSE(windows.registry.HasKey(RootKey::CurrentUser, clsid + shadowed + "\\InprocServer32"));
  EXPECT_TRUE(windows.registry.GetString(RootKey::CurrentUser, clsid + own + "\\InprocServer32", ""));
  EXPECT_TRUE(windows.registry.GetString(RootKey::LocalMachine, clsid + shadowed + "\\InprocServer32", ""));
}

TEST_F(AllPlacesTest, AUserClassServerOfTheOtherViewShadowsOnlyTheMachinesClassOfThatViewAndNoDeletesItThere) {
  const std::string user32 = "Software\\Classes\\Wow6432Node\\CLSID\\", user = "Software\\Classes\\CLSID\\";
  const std::string of32 = "{7C2D4E6F-1111-4000-8000-000000000032}", of64 = "{7C2D4E6F-1111-4000-8000-000000000064}";
  windows.registry.PutString(RootKey::LocalMachine, "Software\\Wow6432Node\\Classes\\CLSID\\" + of32 + "\\InprocServer32", "",
                             "C:\\Windows\\SysWOW64\\x.dll");
  windows.registry.PutString(RootKey::LocalMachine, user + of64 + "\\InprocServer32", "", "C:\\Windows\\System32\\x.dll");
  // The user's own native server of the same class shadows nothing native, and stays.
  windows.registry.PutString(RootKey::CurrentUser, user + of32 + "\\InprocServer32", "", "C:\\Users\\alice\\own.dll");
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::CurrentUser, user32 + of32 + "\\InprocServer32", "", "C:\\Users\\alice\\evil32.dll");
  windows.registry.PutString(RootKey::CurrentUser, user32 + of64 + "\\InprocServer32", "", "C:\\Users\\alice\\app32.dll");
  host.answers = {false};
  monitor.CheckAllSections();
  EXPECT_EQ(Asked(), (std::vector<std::string>{"Add " + of32 + "\\InprocServer32\\ in Current User Class Servers (32-bit)"}));
  EXPECT_FALSE(windows.registry.HasKey(RootKey::CurrentUser, user32 + of32 + "\\InprocServer32"));
  EXPECT_TRUE(windows.registry.GetString(RootKey::CurrentUser, user + of32 + "\\InprocServer32", ""));
  EXPECT_TRUE(windows.registry.GetString(RootKey::CurrentUser, user32 + of64 + "\\InprocServer32", ""));
}

TEST_F(AllPlacesTest, ABrowserHelperObjectRefusedLosesItsWholeKeyWhileAChangedOneIsWrittenBack) {
  const std::string bho = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\";
  const std::string known = "{11111111-0000-4000-8000-000000000001}", added = "{22222222-0000-4000-8000-000000000002}";
  windows.registry.PutString(RootKey::LocalMachine, bho + known, "", "Reader Helper");
  monitor.TakeSnapshot();
  windows.registry.PutString(RootKey::LocalMachine, bho + known, "", "Other Helper");
  // The browser loads the object whose key is there: its default value is only a name.
  windows.registry.PutString(RootKey::LocalMachine, bho + added, "", "Toolbar");
  windows.registry.PutDword(RootKey::LocalMachine, bho + added, "NoExplorer", 1);
  windows.registry.PutString(RootKey::LocalMachine, bho + added + "\\Settings", "Mode", "1");
  host.answers = {false, false};
  monitor.CheckAllSections();
  EXPECT_EQ(host.questions.size(), 2u);
  EXPECT_FALSE(windows.registry.HasKey(RootKey::LocalMachine, bho + added));
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, bho + known, "").value_or("(none)"), "Reader Helper");
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(AllPlacesTest, AQuietTickWithEveryPlaceGuardedOpensNoKeyAlsoWhereATwinsKeyIsMissing) {
  monitor.TakeSnapshot();
  monitor.CheckAllSections();
  int opened = 0;
  windows.registry.SetHook([&](const platform::memory::RegistryOperation& op) {
    opened += op.kind == platform::memory::RegistryOperation::Kind::Open;
    return platform::kSuccess;
  });
  monitor.CheckAllSections();
  EXPECT_EQ(opened, 0);
}

TEST_F(AllPlacesTest, TurnedOffOnlyTheSixAreGuarded) {
  switches.AllPlaces = false;
  monitor.TakeSnapshot();
  windows.files.AddFile(std::string(kUserStartup) + "\\run.bat", Bytes("x"));
  windows.registry.PutString(RootKey::LocalMachine, kWinlogon, "Userinit", "C:\\evil.exe");
  monitor.CheckAllSections();
  EXPECT_TRUE(host.questions.empty());
}

}  // namespace korvalis::app
