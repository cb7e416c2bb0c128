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

// Section numbers are stored in baseline.dat: each stays with its place wherever its row stands.
TEST(SectionTables, EveryNumberStaysWithItsPlaceAndTheOrdersOfTheFirstDesignHold) {
  using platform::RegistryView;
  constexpr auto M = platform::RootKey::LocalMachine;
  constexpr auto U = platform::RootKey::CurrentUser;
  const std::string v = "Software\\Microsoft\\Windows\\CurrentVersion\\", nt = "Software\\Microsoft\\Windows NT\\CurrentVersion\\";
  const std::string ts = nt + "Terminal Server\\Install\\" + v;
  const std::string c = "SYSTEM\\CurrentControlSet\\Control\\", other = std::string(" (") + OtherViewName() + ")";
  struct Pin {
    Section section;
    std::string name;
    PlaceKind kind;
    platform::RootKey root;
    std::string path;
    RegistryView view;
    std::vector<std::string> values;
  };
  const auto N = RegistryView::Native, O = RegistryView::Other;
  // Task Manager keeps the machine's switches in the 64-bit view, the 32-bit build's other one.
  const auto of64 = kNativeViewBits == 64 ? N : O;
  const auto R = PlaceKind::Registry;
  const std::vector<Pin> pins = {
      {0, "Local Machine Startup Folder", PlaceKind::Folder, M, "", N, {}},
      {1, "WinIni Run", PlaceKind::None, M, "", N, {}},
      {2, "WinIni Load", PlaceKind::None, M, "", N, {}},
      {3, "System Ini", PlaceKind::None, M, "", N, {}},
      {4, "Local Machine Run", R, M, v + "Run", N, {}},
      {5, "Local Machine Run Once", R, M, v + "RunOnce", N, {}},
      {6, "Local Machine Services", R, M, v + "RunServices", N, {}},
      {7, "Local Machine Service Once", R, M, v + "RunServicesOnce", N, {}},
      {8, "Current User Run", R, U, v + "Run", N, {}},
      {9, "Current User Run Once", R, U, v + "RunOnce", N, {}},
      {10, "Current User Startup Folder", PlaceKind::Folder, M, "", N, {}},
      {11, "Local Machine Run" + other, R, M, v + "Run", O, {}},
      {12, "Local Machine Run Once" + other, R, M, v + "RunOnce", O, {}},
      {13, "Local Machine Services" + other, R, M, v + "RunServices", O, {}},
      {14, "Local Machine Service Once" + other, R, M, v + "RunServicesOnce", O, {}},
      {15, "Current User Policies Run", R, U, v + "Policies\\Explorer\\Run", N, {}},
      {16, "Local Machine Policies Run", R, M, v + "Policies\\Explorer\\Run", N, {}},
      {17, "Local Machine Run Once Ex", R, M, v + "RunOnceEx", N, {}},
      {18, "Current User Windows Load and Run", R, U, nt + "Windows", N, {"Load", "Run"}},
      {19, "Current User Logon Script", R, U, "Environment", N, {"UserInitMprLogonScript"}},
      {20, "Local Machine Winlogon", R, M, nt + "Winlogon", N, {"Userinit", "Shell"}},
      {21, "Local Machine Active Setup", R, M, "Software\\Microsoft\\Active Setup\\Installed Components", N, {"StubPath"}},
      {22, "Local Machine Terminal Startup", R, M, c + "Terminal Server\\Wds\\rdpwd", N, {"StartupPrograms"}},
      {23, "Local Machine Boot Execute", R, M, c + "Session Manager", N, {"BootExecute"}},
      {24, "Local Machine Boot Verification", R, M, c + "BootVerificationProgram", N, {"ImagePath"}},
      {25, "Current User Startup Folder Location", R, U, v + "Explorer\\User Shell Folders", N, {"Startup"}},
      {26, "Local Machine Startup Folder Location", R, M, v + "Explorer\\User Shell Folders", N, {"Common Startup"}},
      {27, "Local Machine Policies Run" + other, R, M, v + "Policies\\Explorer\\Run", O, {}},
      {28, "Local Machine Run Once Ex" + other, R, M, v + "RunOnceEx", O, {}},
      {29, "Local Machine Winlogon" + other, R, M, nt + "Winlogon", O, {"Userinit", "Shell"}},
      {30, "Local Machine Active Setup" + other, R, M, "Software\\Microsoft\\Active Setup\\Installed Components", O, {"StubPath"}},
      {31, "Local Machine Startup Folder Location" + other, R, M, v + "Explorer\\User Shell Folders", O, {"Common Startup"}},
      {32, "Korvalis Settings", R, U, "Software\\Brenmoor\\Korvalis", N, {"GuardAllPlaces", "Monitoring", "Notification", "Logs", "AskUpdates"}},
      {40, "Local Machine Image File Execution Options", R, M, nt + "Image File Execution Options", N, {"Debugger", "GlobalFlag"}},
      {41, "Local Machine Image File Execution Options" + other, R, M, nt + "Image File Execution Options", O, {"Debugger", "GlobalFlag"}},
      {42, "Local Machine Silent Process Exit", R, M, nt + "SilentProcessExit", N, {"MonitorProcess"}},
      {43, "Local Machine Silent Process Exit" + other, R, M, nt + "SilentProcessExit", O, {"MonitorProcess"}},
      {44, "Current User Command Processor", R, U, "Software\\Microsoft\\Command Processor", N, {"AutoRun"}},
      {45, "Local Machine Command Processor", R, M, "Software\\Microsoft\\Command Processor", N, {"AutoRun"}},
      {46, "Local Machine Command Processor" + other, R, M, "Software\\Microsoft\\Command Processor", O, {"AutoRun"}},
      {47, "Current User Winlogon", R, U, nt + "Winlogon", N, {"Shell"}},
      {48, "Local Machine Winlogon Programs", R, M, nt + "Winlogon", N, {"Taskman", "VmApplet", "AppSetup"}},
      {49, "Local Machine Winlogon Programs" + other, R, M, nt + "Winlogon", O, {"Taskman", "VmApplet", "AppSetup"}},
      {50, "Local Machine Winlogon Notify", R, M, nt + "Winlogon\\Notify", N, {"DLLName"}},
      {51, "Local Machine Winlogon Notify" + other, R, M, nt + "Winlogon\\Notify", O, {"DLLName"}},
      {52, "Local Machine Group Policy Extensions", R, M, nt + "Winlogon\\GPExtensions", N, {"DllName"}},
      {53, "Local Machine Group Policy Extensions" + other, R, M, nt + "Winlogon\\GPExtensions", O, {"DllName"}},
      {54, "Current User Policies Shell", R, U, v + "Policies\\System", N, {"Shell"}},
      {55, "Local Machine Policies Shell", R, M, v + "Policies\\System", N, {"Shell"}},
      {56, "Local Machine Policies Shell" + other, R, M, v + "Policies\\System", O, {"Shell"}},
      {57, "Local Machine Safe Boot Shell", R, M, c + "SafeBoot", N, {"AlternateShell"}},
      {58, "Local Machine AppInit DLLs", R, M, nt + "Windows", N, {"AppInit_DLLs", "LoadAppInit_DLLs"}},
      {59, "Local Machine AppInit DLLs" + other, R, M, nt + "Windows", O, {"AppInit_DLLs", "LoadAppInit_DLLs"}},
      {60, "Local Machine AppCert DLLs", R, M, c + "Session Manager\\AppCertDlls", N, {}},
      {61, "Local Machine Session Manager Execute", R, M, c + "Session Manager", N, {"SetupExecute", "Execute", "S0InitialCommand"}},
      {62, "Local Machine Known DLLs", R, M, c + "Session Manager\\KnownDLLs", N, {}},
      {63, "Current User Screen Saver", R, U, "Control Panel\\Desktop", N, {"SCRNSAVE.EXE"}},
      {64, "Current User Screen Saver Policy", R, U, "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop", N, {"SCRNSAVE.EXE"}},
      {65, "Local Machine Security Packages", R, M, c + "Lsa", N, {"Authentication Packages", "Notification Packages", "Security Packages"}},
      {66, "Local Machine OSConfig Security Packages", R, M, c + "Lsa\\OSConfig", N, {"Security Packages"}},
      {67, "Local Machine Print Monitors", R, M, c + "Print\\Monitors", N, {"Driver"}},
      {68, "Local Machine Print Processors", R, M, c + "Print\\Environments", N, {"Driver"}},
      {69, "Local Machine NetSh Helpers", R, M, "Software\\Microsoft\\NetSh", N, {}},
      {70, "Local Machine NetSh Helpers" + other, R, M, "Software\\Microsoft\\NetSh", O, {}},
      {71, "Local Machine Time Providers", R, M, "SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders", N, {"DllName"}},
      {72, "Current User Office Test", R, U, "Software\\Microsoft\\Office test\\Special\\Perf", N, {}},
      {73, "Local Machine Office Test", R, M, "Software\\Microsoft\\Office test\\Special\\Perf", N, {}},
      {74, "Local Machine Office Test" + other, R, M, "Software\\Microsoft\\Office test\\Special\\Perf", O, {}},
      {75, "Current User Profiler", R, U, "Environment", N, {"COR_ENABLE_PROFILING", "COR_PROFILER", "COR_PROFILER_PATH"}},
      {76, "Local Machine Profiler", R, M, c + "Session Manager\\Environment", N, {"COR_ENABLE_PROFILING", "COR_PROFILER", "COR_PROFILER_PATH"}},
      {77, "Current User Classes", R, U, "Software\\Classes", N, {""}},
      {78, "Local Machine Classes", R, M, "Software\\Classes", N, {""}},
      {79, "Local Machine Shell Service Objects", R, M, v + "ShellServiceObjectDelayLoad", N, {}},
      {80, "Local Machine Shell Service Objects" + other, R, M, v + "ShellServiceObjectDelayLoad", O, {}},
      {81, "Local Machine Shell Execute Hooks", R, M, v + "Explorer\\ShellExecuteHooks", N, {}},
      {82, "Local Machine Shell Execute Hooks" + other, R, M, v + "Explorer\\ShellExecuteHooks", O, {}},
      {83, "Local Machine Browser Helper Objects", R, M, v + "Explorer\\Browser Helper Objects", N, {""}},
      {84, "Local Machine Browser Helper Objects" + other, R, M, v + "Explorer\\Browser Helper Objects", O, {""}},
      {85, "Local Machine Terminal Server Run", R, M, ts + "Run", N, {}},
      {86, "Local Machine Terminal Server Run" + other, R, M, ts + "Run", O, {}},
      {87, "Local Machine Terminal Server Run Once", R, M, ts + "RunOnce", N, {}},
      {88, "Local Machine Terminal Server Run Once" + other, R, M, ts + "RunOnce", O, {}},
      {89, "Local Machine Terminal Server Run Once Ex", R, M, ts + "RunOnceEx", N, {}},
      {90, "Local Machine Terminal Server Run Once Ex" + other, R, M, ts + "RunOnceEx", O, {}},
      {91, "Local Machine Remote Desktop Program", R, M, c + "Terminal Server\\WinStations\\RDP-Tcp", N, {"InitialProgram"}},
      {92, "Current User Group Policy Scripts", R, U, v + "Group Policy\\Scripts", N, {"Script", "Parameters"}},
      {93, "Local Machine Group Policy Scripts", R, M, v + "Group Policy\\Scripts", N, {"Script", "Parameters"}},
      {94, "Local Machine Group Policy Scripts" + other, R, M, v + "Group Policy\\Scripts", O, {"Script", "Parameters"}},
      {95, "Local Machine Accessibility Tools", R, M, nt + "Accessibility\\ATs", N, {"StartExe"}},
      {96, "Local Machine Accessibility Tools" + other, R, M, nt + "Accessibility\\ATs", O, {"StartExe"}},
      {97, "Local Machine Application Shims", R, M, nt + "AppCompatFlags\\Custom", N, {}},
      {98, "Local Machine Application Shims" + other, R, M, nt + "AppCompatFlags\\Custom", O, {}},
      {99, "Local Machine Shim Databases", R, M, nt + "AppCompatFlags\\InstalledSDB", N, {"DatabasePath"}},
      {100, "Local Machine Shim Databases" + other, R, M, nt + "AppCompatFlags\\InstalledSDB", O, {"DatabasePath"}},
      {101, "Current User Class Servers", R, U, "Software\\Classes\\CLSID", N, {""}},
      {102, "Services and Drivers", PlaceKind::Service, M, "SYSTEM\\CurrentControlSet\\Services", N, {}},
      {103, "Scheduled Tasks", PlaceKind::Task, M, "", N, {}},
      {104, "Current User Class Servers" + other, R, U, "Software\\Classes\\CLSID", O, {""}},
      {105, "Current User Startup Approved Run", R, U, v + "Explorer\\StartupApproved\\Run", N, {}},
      {106, "Current User Startup Approved Run32", R, U, v + "Explorer\\StartupApproved\\Run32", N, {}},
      {107, "Local Machine Startup Approved Run", R, M, v + "Explorer\\StartupApproved\\Run", of64, {}},
      {108, "Local Machine Startup Approved Run32", R, M, v + "Explorer\\StartupApproved\\Run32", of64, {}},
      {109, "Current User Startup Approved Startup Folder", R, U, v + "Explorer\\StartupApproved\\StartupFolder", N, {}},
      {110, "Local Machine Startup Approved Startup Folder", R, M, v + "Explorer\\StartupApproved\\StartupFolder", of64, {}},
      {111, "Korvalis Allow Rules", R, U, "Software\\Brenmoor\\Korvalis\\Allow Rules", N, {}},
  };
  int rows = 0;
  for (int s = 0; s < kSectionCount; ++s) rows += PlaceOf(static_cast<Section>(s)) != nullptr;
  EXPECT_EQ(rows, static_cast<int>(pins.size()));
  for (const Pin& pin : pins) {
    SCOPED_TRACE(int{pin.section});
    const TPlace* place = PlaceOf(pin.section);
    ASSERT_NE(place, nullptr);
    EXPECT_EQ(place->section, pin.section);
    EXPECT_EQ(SectionName(pin.section), pin.name);
    EXPECT_EQ(place->kind, pin.kind);
    if (pin.kind != PlaceKind::Registry && pin.kind != PlaceKind::Service) continue;
    EXPECT_EQ(place->root, pin.root);
    EXPECT_EQ(place->path, pin.path);
    EXPECT_EQ(place->view, pin.view);
    EXPECT_EQ(place->values, pin.values);
  }
  const std::vector<std::pair<Section, Section>> twins = {{4, 11}, {5, 12}, {6, 13}, {7, 14}, {16, 27},
                                                         {17, 28}, {20, 29}, {21, 30}, {26, 31}, {40, 41}, {42, 43}, {45, 46}, {48, 49}, {50, 51}, {52, 53}, {55, 56}, {58, 59}, {69, 70}, {73, 74}, {79, 80}, {81, 82}, {83, 84}, {85, 86}, {87, 88}, {89, 90}, {93, 94}, {95, 96}, {97, 98}, {99, 100}, {101, 104}};
  int twinned = 0;
  for (int s = 0; s < kSectionCount; ++s) twinned += PlaceOf(static_cast<Section>(s)) && PlaceOf(static_cast<Section>(s))->twin;
  EXPECT_EQ(twinned, 2 * static_cast<int>(twins.size()));
  for (const auto& [native, twin] : twins) {
    EXPECT_EQ(PlaceOf(native)->twin, std::optional<Section>(twin));
    EXPECT_EQ(PlaceOf(twin)->twin, std::optional<Section>(native));
  }

  // Korvalis's own settings and rules are swept first and read last, whatever the switches say.
  EXPECT_EQ(SweepOrder(false), (std::vector<Section>{32, 111, 8, 9, 4, 5, 6, 7}));
  EXPECT_EQ(ReadOrder(false), (std::vector<Section>{10, 0, 7, 6, 5, 4, 9, 8, 32, 111}));
  std::vector<Section> further = {11, 12, 13, 14, 10, 0};
  for (Section s = 15; s <= 31; ++s) further.push_back(s);
  for (Section s = 40; s <= 101; ++s) further.push_back(s);
  further.push_back(104);
  further.push_back(102);
  further.push_back(103);
  for (Section s = 105; s <= 110; ++s) further.push_back(s);
  EXPECT_EQ(FurtherSections(), further);
  std::vector<Section> sweep = {32, 111, 8, 9, 4, 5, 6, 7}, read = {10, 0, 7, 6, 5, 4, 9, 8};
  sweep.insert(sweep.end(), further.begin(), further.end());
  for (Section s = 11; s <= 32; ++s) read.push_back(s);
  read.push_back(111);
  for (Section s = 40; s <= 101; ++s) read.push_back(s);
  read.push_back(104);
  read.push_back(102);
  read.push_back(103);
  for (Section s = 105; s <= 110; ++s) read.push_back(s);
  EXPECT_EQ(SweepOrder(true), sweep);
  EXPECT_EQ(ReadOrder(true), read);
  // Task Manager's switches of the user's and the machine's Run values and Startup folders.
  EXPECT_EQ(ApprovalPlacesOf(8), (std::vector<Section>{105, 106}));
  EXPECT_EQ(ApprovalPlacesOf(kNativeViewBits == 64 ? 4 : 11), (std::vector<Section>{107}));
  EXPECT_EQ(ApprovalPlacesOf(kNativeViewBits == 64 ? 11 : 4), (std::vector<Section>{108}));
  EXPECT_EQ(ApprovalPlacesOf(10), (std::vector<Section>{109}));
  EXPECT_EQ(ApprovalPlacesOf(0), (std::vector<Section>{110}));
  EXPECT_TRUE(ApprovalPlacesOf(9).empty());
  EXPECT_EQ(AllSections(), (SectionSet{0, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_TRUE(IsRegistrySection(4) && IsRegistrySection(9) && !IsRegistrySection(11) && !IsRegistrySection(10));
  EXPECT_TRUE(IsFolderSection(0) && IsFolderSection(10) && !IsFolderSection(4));
  EXPECT_EQ(AllSections().LowBits(), 2033u);
  EXPECT_STREQ(ChangeKindNames[static_cast<int>(ChangeKind::Removed)], "Remove");
}

}  // namespace korvalis::catalogue
