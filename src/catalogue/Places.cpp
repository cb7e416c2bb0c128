#include "catalogue/Places.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "platform/Services.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

using platform::RegistryView;
using platform::RootKey;

namespace {

constexpr const char* kVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kNtVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kControl = "SYSTEM\\CurrentControlSet\\Control";
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kTerminalInstall =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Terminal Server\\Install\\Software\\Microsoft\\Windows\\CurrentVersion";
constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr RootKey HKCU = RootKey::CurrentUser;
constexpr AskedKinds kAddedAndChanged = kAsksAdded | kAsksChanged;

std::string Under(const char* base, const char* rest) { return std::string(base) + "\\" + rest; }

// One row of the table; a twin row copies its original into the other registry view.
struct Row {
  TPlace place;
  std::optional<Section> twinOf;

  Row&& Values(std::vector<std::string> values) && {
    place.values = std::move(values);
    return std::move(*this);
  }
  Row&& Levels(std::uint8_t first, std::uint8_t last) && {
    place.firstLevel = first;
    place.lastLevel = last;
    return std::move(*this);
  }
  Row&& Asks(AskedKinds asks) && {
    place.asks = asks;
    return std::move(*this);
  }
  Row&& Icon(std::int32_t index) && {
    place.iconIndex = index;
    return std::move(*this);
  }
  // The six write their command back as text.
  Row&& AsText() && {
    place.keepsData = false;
    return std::move(*this);
  }
  Row&& MultiString() && {
    place.multiString = true;
    return std::move(*this);
  }
  Row&& Numbers() && {
    place.numbers = true;
    return std::move(*this);
  }
  Row&& Keys(std::vector<std::string> keys) && {
    place.keys = std::move(keys);
    return std::move(*this);
  }
  Row&& LastKeys(std::vector<std::string> names) && {
    place.lastKeys = std::move(names);
    return std::move(*this);
  }
  Row&& Shadowing(std::string machineKey) && {
    place.shadowed = std::move(machineKey);
    return std::move(*this);
  }
  Row&& DeletesKey() && {
    place.deletesKey = true;
    return std::move(*this);
  }
  Row&& NeverDeleted(std::vector<std::string> data) && {
    place.neverDeleted = std::move(data);
    return std::move(*this);
  }
  Row&& RunsOnce() && {
    place.runsOnce = true;
    return std::move(*this);
  }
  Row&& Privileged() && {
    place.privileged = true;
    return std::move(*this);
  }
  Row&& Approves(Section section) && {
    place.approves = section;
    return std::move(*this);
  }
  // Kept by a 64-bit program in the machine's 64-bit view, which a 32-bit build reaches as its
  // other view (and not at all on 32-bit Windows).
  Row&& SixtyFourBitView() && {
    place.view = kNativeViewBits == 64 ? RegistryView::Native : RegistryView::Other;
    return std::move(*this);
  }
  // Guarded with every switch in any state, and asked with questions off.
  Row&& AsksAlways() && {
    place.asksAlways = true;
    return std::move(*this);
  }
};

TPlace Numbered(Section section, int readOrder, int sweepOrder, Always always, const char* name, PlaceKind kind) {
  TPlace place;
  place.section = section;
  place.readOrder = readOrder;
  place.sweepOrder = sweepOrder;
  place.always = always;
  place.name = name;
  place.kind = kind;
  place.behaviour = &KindObject(kind);
  return place;
}

Row Named(Section section, const char* name) { return Row{Numbered(section, 0, 0, Always::No, name, PlaceKind::None), {}}; }

Row Folder(Section section, int readOrder, int sweepOrder, const char* name) {
  return Row{Numbered(section, readOrder, sweepOrder, Always::Read, name, PlaceKind::Folder), {}};
}

Row Key(Section section, int readOrder, int sweepOrder, Always always, const char* name, RootKey root,
        std::string path) {
  Row row{Numbered(section, readOrder, sweepOrder, always, name, PlaceKind::Registry), {}};
  row.place.root = root;
  row.place.path = std::move(path);
  row.place.keepsData = true;
  return row;
}

// Every service that starts without being asked for: at boot, with the system, or automatically.
Row Services(Section section, int readOrder, int sweepOrder, const char* name) {
  Row row{Numbered(section, readOrder, sweepOrder, Always::No, name, PlaceKind::Service), {}};
  row.place.path = platform::kServicesKey;
  return row;
}

// The scheduled tasks the user can see: one place, read through the task scheduler.
Row Tasks(Section section, int readOrder, int sweepOrder, const char* name) {
  return Row{Numbered(section, readOrder, sweepOrder, Always::No, name, PlaceKind::Task), {}};
}

// The place of section `of` in the other registry view, under its own number.
Row Twin(Section section, Section of, int readOrder, int sweepOrder) {
  Row row{Numbered(section, readOrder, sweepOrder, Always::No, "", PlaceKind::Registry), of};
  return row;
}

// The extensions that run what they open, naming their class, and the classes' open commands.
std::vector<std::string> OpenedClasses() {
  std::vector<std::string> keys;
  for (const char* extension : {".exe", ".com", ".bat", ".cmd", ".hta", ".js", ".jse", ".vbs", ".vbe", ".wsf", ".scr", ".pif"})
    keys.push_back(extension);
  for (const char* type : {"exefile", "comfile", "batfile", "cmdfile", "htafile"})
    keys.push_back(std::string(type) + "\\shell\\open\\command");
  return keys;
}

constexpr Always kSix = Always::ReadAndSwept;
constexpr Always kFurther = Always::No;

// The section numbers are stored in baseline.dat: a row keeps its number wherever it stands.
// Orders count in tens, so a new row finds its turn between two others.
//   section, read order, sweep order, guarded without AllPlaces, name, root, path
std::vector<Row> Rows() {
  return {
      Folder(0, 20, 120, "Local Machine Startup Folder"),
      Named(1, "WinIni Run"),
      Named(2, "WinIni Load"),
      Named(3, "System Ini"),
      Key(4, 60, 30, kSix, "Local Machine Run", HKLM, Under(kVersion, "Run")).AsText(),
      Key(5, 50, 40, kSix, "Local Machine Run Once", HKLM, Under(kVersion, "RunOnce")).AsText().RunsOnce(),
      Key(6, 40, 50, kSix, "Local Machine Services", HKLM, Under(kVersion, "RunServices")).AsText().Icon(4),
      Key(7, 30, 60, kSix, "Local Machine Service Once", HKLM, Under(kVersion, "RunServicesOnce")).AsText().Icon(4),
      Key(8, 80, 10, kSix, "Current User Run", HKCU, Under(kVersion, "Run")).AsText(),
      Key(9, 70, 20, kSix, "Current User Run Once", HKCU, Under(kVersion, "RunOnce")).AsText().RunsOnce(),
      Folder(10, 10, 110, "Current User Startup Folder"),
      Twin(11, 4, 90, 70),
      Twin(12, 5, 100, 80),
      Twin(13, 6, 110, 90),
      Twin(14, 7, 120, 100),
      Key(15, 130, 130, kFurther, "Current User Policies Run", HKCU, Under(kVersion, "Policies\\Explorer\\Run")),
      Key(16, 140, 140, kFurther, "Local Machine Policies Run", HKLM, Under(kVersion, "Policies\\Explorer\\Run")),
      Key(17, 150, 150, kFurther, "Local Machine Run Once Ex", HKLM, Under(kVersion, "RunOnceEx")).Levels(1, 4).RunsOnce(),
      Key(18, 160, 160, kFurther, "Current User Windows Load and Run", HKCU, Under(kNtVersion, "Windows")).Values({"Load", "Run"}),
      Key(19, 170, 170, kFurther, "Current User Logon Script", HKCU, "Environment").Values({"UserInitMprLogonScript"}),
      Key(20, 180, 180, kFurther, "Local Machine Winlogon", HKLM, Under(kNtVersion, "Winlogon")).Values({"Userinit", "Shell"}).NeverDeleted({"%system%\\userinit.exe,", "explorer.exe"}),
      Key(21, 190, 190, kFurther, "Local Machine Active Setup", HKLM, "Software\\Microsoft\\Active Setup\\Installed Components").Values({"StubPath"}).Levels(1, 1),
      Key(22, 200, 200, kFurther, "Local Machine Terminal Startup", HKLM, Under(kControl, "Terminal Server\\Wds\\rdpwd")).Values({"StartupPrograms"}).Asks(kAddedAndChanged),
      Key(23, 210, 210, kFurther, "Local Machine Boot Execute", HKLM, Under(kControl, "Session Manager")).Values({"BootExecute"}).Asks(kAddedAndChanged).MultiString().Privileged(),
      Key(24, 220, 220, kFurther, "Local Machine Boot Verification", HKLM, Under(kControl, "BootVerificationProgram")).Values({"ImagePath"}).Asks(kAddedAndChanged).Privileged(),
      Key(25, 230, 230, kFurther, "Current User Startup Folder Location", HKCU, Under(kVersion, "Explorer\\User Shell Folders")).Values({"Startup"}).Asks(kAddedAndChanged),
      Key(26, 240, 240, kFurther, "Local Machine Startup Folder Location", HKLM, Under(kVersion, "Explorer\\User Shell Folders")).Values({"Common Startup"}).Asks(kAddedAndChanged),
      Twin(27, 16, 250, 250),
      Twin(28, 17, 260, 260),
      Twin(29, 20, 270, 270),
      Twin(30, 21, 280, 280),
      Twin(31, 26, 290, 290),
      Key(32, 300, 5, kFurther, "Korvalis Settings", HKCU, "Software\\Brenmoor\\Korvalis").Values({"GuardAllPlaces", "Monitoring", "Notification", "Logs", "AskUpdates"}).AsksAlways(),
      // Image hijacks and the rest of the logon chain, swept after the places above.
      Key(40, 400, 400, kFurther, "Local Machine Image File Execution Options", HKLM, Under(kNtVersion, "Image File Execution Options")).Values({"Debugger", "GlobalFlag"}).Levels(1, 1).Numbers().Privileged(),
      Twin(41, 40, 410, 410),
      Key(42, 420, 420, kFurther, "Local Machine Silent Process Exit", HKLM, Under(kNtVersion, "SilentProcessExit")).Values({"MonitorProcess"}).Levels(1, 1).Privileged(),
      Twin(43, 42, 430, 430),
      Key(44, 440, 440, kFurther, "Current User Command Processor", HKCU, "Software\\Microsoft\\Command Processor").Values({"AutoRun"}),
      Key(45, 450, 450, kFurther, "Local Machine Command Processor", HKLM, "Software\\Microsoft\\Command Processor").Values({"AutoRun"}).Privileged(),
      Twin(46, 45, 460, 460),
      Key(47, 470, 470, kFurther, "Current User Winlogon", HKCU, Under(kNtVersion, "Winlogon")).Values({"Shell"}),
      Key(48, 480, 480, kFurther, "Local Machine Winlogon Programs", HKLM, Under(kNtVersion, "Winlogon")).Values({"Taskman", "VmApplet", "AppSetup"}),
      Twin(49, 48, 490, 490),
      Key(50, 500, 500, kFurther, "Local Machine Winlogon Notify", HKLM, Under(kNtVersion, "Winlogon\\Notify")).Values({"DLLName"}).Levels(1, 1).Privileged(),
      Twin(51, 50, 510, 510),
      Key(52, 520, 520, kFurther, "Local Machine Group Policy Extensions", HKLM, Under(kNtVersion, "Winlogon\\GPExtensions")).Values({"DllName"}).Levels(1, 1).Asks(kAddedAndChanged).Privileged(),
      Twin(53, 52, 530, 530),
      Key(54, 540, 540, kFurther, "Current User Policies Shell", HKCU, Under(kVersion, "Policies\\System")).Values({"Shell"}),
      Key(55, 550, 550, kFurther, "Local Machine Policies Shell", HKLM, Under(kVersion, "Policies\\System")).Values({"Shell"}),
      Twin(56, 55, 560, 560),
      Key(57, 570, 570, kFurther, "Local Machine Safe Boot Shell", HKLM, Under(kControl, "SafeBoot")).Values({"AlternateShell"}).Privileged(),
      // Windows ships AppInit_DLLs as an empty string: a refused one is emptied again.
      Key(58, 580, 580, kFurther, "Local Machine AppInit DLLs", HKLM, Under(kNtVersion, "Windows")).Values({"AppInit_DLLs", "LoadAppInit_DLLs"}).Numbers().NeverDeleted({""}).Privileged(),
      Twin(59, 58, 590, 590),
      Key(60, 600, 600, kFurther, "Local Machine AppCert DLLs", HKLM, Under(kSessionManager, "AppCertDlls")).Privileged(),
      Key(61, 610, 610, kFurther, "Local Machine Session Manager Execute", HKLM, kSessionManager).Values({"SetupExecute", "Execute", "S0InitialCommand"}).MultiString().NeverDeleted({""}).Privileged(),
      Key(62, 620, 620, kFurther, "Local Machine Known DLLs", HKLM, Under(kSessionManager, "KnownDLLs")).Privileged(),
      Key(63, 630, 630, kFurther, "Current User Screen Saver", HKCU, "Control Panel\\Desktop").Values({"SCRNSAVE.EXE"}),
      Key(64, 640, 640, kFurther, "Current User Screen Saver Policy", HKCU, "Software\\Policies\\Microsoft\\Windows\\Control Panel\\Desktop").Values({"SCRNSAVE.EXE"}),
      // The system cannot log on without its authentication package; Windows ships the
      // security packages as an empty list.
      Key(65, 650, 650, kFurther, "Local Machine Security Packages", HKLM, Under(kControl, "Lsa")).Values({"Authentication Packages", "Notification Packages", "Security Packages"}).MultiString().NeverDeleted({"msv1_0", "scecli", ""}).Privileged(),
      Key(66, 660, 660, kFurther, "Local Machine OSConfig Security Packages", HKLM, Under(kControl, "Lsa\\OSConfig")).Values({"Security Packages"}).MultiString().Privileged(),
      Key(67, 670, 670, kFurther, "Local Machine Print Monitors", HKLM, Under(kControl, "Print\\Monitors")).Values({"Driver"}).Levels(1, 1).Asks(kAddedAndChanged).Privileged(),
      Key(68, 680, 680, kFurther, "Local Machine Print Processors", HKLM, Under(kControl, "Print\\Environments")).Values({"Driver"}).Levels(3, 3).Asks(kAddedAndChanged).Privileged(),
      Key(69, 690, 690, kFurther, "Local Machine NetSh Helpers", HKLM, "Software\\Microsoft\\NetSh").Asks(kAddedAndChanged).Privileged(),
      Twin(70, 69, 700, 700),
      Key(71, 710, 710, kFurther, "Local Machine Time Providers", HKLM, "SYSTEM\\CurrentControlSet\\Services\\W32Time\\TimeProviders").Values({"DllName"}).Levels(1, 1).Asks(kAddedAndChanged).Privileged(),
      Key(72, 720, 720, kFurther, "Current User Office Test", HKCU, "Software\\Microsoft\\Office test\\Special\\Perf"),
      Key(73, 730, 730, kFurther, "Local Machine Office Test", HKLM, "Software\\Microsoft\\Office test\\Special\\Perf"),
      Twin(74, 73, 740, 740),
      Key(75, 750, 750, kFurther, "Current User Profiler", HKCU, "Environment").Values({"COR_ENABLE_PROFILING", "COR_PROFILER", "COR_PROFILER_PATH"}).Numbers(),
      Key(76, 760, 760, kFurther, "Local Machine Profiler", HKLM, Under(kSessionManager, "Environment")).Values({"COR_ENABLE_PROFILING", "COR_PROFILER", "COR_PROFILER_PATH"}).Numbers().Privileged(),
      Key(77, 770, 770, kFurther, "Current User Classes", HKCU, "Software\\Classes").Keys(OpenedClasses()).Values({""}),
      Key(78, 780, 780, kFurther, "Local Machine Classes", HKLM, "Software\\Classes").Keys(OpenedClasses()).Values({""}),
      Key(79, 790, 790, kFurther, "Local Machine Shell Service Objects", HKLM, Under(kVersion, "ShellServiceObjectDelayLoad")),
      Twin(80, 79, 800, 800),
      Key(81, 810, 810, kFurther, "Local Machine Shell Execute Hooks", HKLM, Under(kVersion, "Explorer\\ShellExecuteHooks")),
      Twin(82, 81, 820, 820),
      Key(83, 830, 830, kFurther, "Local Machine Browser Helper Objects", HKLM, Under(kVersion, "Explorer\\Browser Helper Objects")).Values({""}).Levels(1, 1).DeletesKey(),
      Twin(84, 83, 840, 840),
      Key(85, 850, 850, kFurther, "Local Machine Terminal Server Run", HKLM, Under(kTerminalInstall, "Run")),
      Twin(86, 85, 860, 860),
      Key(87, 870, 870, kFurther, "Local Machine Terminal Server Run Once", HKLM, Under(kTerminalInstall, "RunOnce")),
      Twin(88, 87, 880, 880),
      Key(89, 890, 890, kFurther, "Local Machine Terminal Server Run Once Ex", HKLM, Under(kTerminalInstall, "RunOnceEx")).Levels(1, 4),
      Twin(90, 89, 900, 900),
      Key(91, 910, 910, kFurther, "Local Machine Remote Desktop Program", HKLM, Under(kControl, "Terminal Server\\WinStations\\RDP-Tcp")).Values({"InitialProgram"}),
      Key(92, 920, 920, kFurther, "Current User Group Policy Scripts", HKCU, Under(kVersion, "Group Policy\\Scripts")).Values({"Script", "Parameters"}).Levels(3, 3),
      Key(93, 930, 930, kFurther, "Local Machine Group Policy Scripts", HKLM, Under(kVersion, "Group Policy\\Scripts")).Values({"Script", "Parameters"}).Levels(3, 3).Privileged(),
      Twin(94, 93, 940, 940),
      Key(95, 950, 950, kFurther, "Local Machine Accessibility Tools", HKLM, Under(kNtVersion, "Accessibility\\ATs")).Values({"StartExe"}).Levels(1, 1).Privileged(),
      Twin(96, 95, 960, 960),
      Key(97, 970, 970, kFurther, "Local Machine Application Shims", HKLM, Under(kNtVersion, "AppCompatFlags\\Custom")).Levels(1, 1).Numbers().Privileged(),
      Twin(98, 97, 980, 980),
      Key(99, 990, 990, kFurther, "Local Machine Shim Databases", HKLM, Under(kNtVersion, "AppCompatFlags\\InstalledSDB")).Values({"DatabasePath"}).Levels(1, 1).Privileged(),
      Twin(100, 99, 1000, 1000),
      // A per-user server is how per-user programs register; one that shadows the machine's
      // class takes over whatever starts that class.
      Key(101, 1010, 1010, kFurther, "Current User Class Servers", HKCU, "Software\\Classes\\CLSID").Values({""}).Levels(2, 2).LastKeys({"InprocServer32", "LocalServer32", "TreatAs"}).Shadowing("Software\\Classes\\CLSID"),
      // A service deleted or set to start on demand starts nothing by itself: taken silently.
      Services(102, 1020, 1020, "Services and Drivers").Asks(kAddedAndChanged).Icon(4).Privileged(),
      // A task removed is taken: No could only register again what its owner deleted.
      Tasks(103, 1030, 1030, "Scheduled Tasks").Asks(kAddedAndChanged).Privileged(),
      Twin(104, 101, 1015, 1015),
      // Task Manager's switches: Run names the Run values of the 64-bit view, Run32 those of the
      // 32-bit view; the user's Run key is one key in both views, and so are its switches.
      Key(105, 1040, 1040, kFurther, "Current User Startup Approved Run", HKCU, Under(kVersion, "Explorer\\StartupApproved\\Run")).Approves(kCurrentUserRun),
      Key(106, 1050, 1050, kFurther, "Current User Startup Approved Run32", HKCU, Under(kVersion, "Explorer\\StartupApproved\\Run32")).Approves(kCurrentUserRun),
      Key(107, 1060, 1060, kFurther, "Local Machine Startup Approved Run", HKLM, Under(kVersion, "Explorer\\StartupApproved\\Run")).SixtyFourBitView().Approves(kNativeViewBits == 64 ? kLocalMachineRun : kLocalMachineRunOther),
      Key(108, 1070, 1070, kFurther, "Local Machine Startup Approved Run32", HKLM, Under(kVersion, "Explorer\\StartupApproved\\Run32")).SixtyFourBitView().Approves(kNativeViewBits == 64 ? kLocalMachineRunOther : kLocalMachineRun),
      Key(109, 1080, 1080, kFurther, "Current User Startup Approved Startup Folder", HKCU, Under(kVersion, "Explorer\\StartupApproved\\StartupFolder")).Approves(kCurrentUserStartupFolder),
      Key(110, 1090, 1090, kFurther, "Local Machine Startup Approved Startup Folder", HKLM, Under(kVersion, "Explorer\\StartupApproved\\StartupFolder")).SixtyFourBitView().Approves(kLocalMachineStartupFolder),
      Key(111, 310, 6, kFurther, "Korvalis Allow Rules", HKCU, "Software\\Brenmoor\\Korvalis\\Allow Rules").AsText().AsksAlways(),
  };
}

using Table = std::array<TPlace, kSectionCount>;

Table BuildPlaces() {
  Table places;
  const auto fail = [](const char* what, Section section) {
    throw std::logic_error(std::string(what) + std::to_string(section));
  };
  std::vector<Row> rows = Rows();
  for (const Row& row : rows) {
    if (!places[row.place.section].name.empty()) fail("two rows for section ", row.place.section);
    if (!row.twinOf) places[row.place.section] = row.place;
  }
  for (const Row& row : rows) {
    if (!row.twinOf) continue;
    if (!places[row.place.section].name.empty()) fail("two rows for section ", row.place.section);
    TPlace& original = places[*row.twinOf];
    if (original.kind != PlaceKind::Registry || original.twin) fail("no place to twin for section ", row.place.section);
    TPlace twin = original;
    twin.section = row.place.section;
    twin.readOrder = row.place.readOrder;
    twin.sweepOrder = row.place.sweepOrder;
    twin.always = row.place.always;
    twin.view = RegistryView::Other;
    twin.name += std::string(" (") + OtherViewName() + ")";
    twin.twin = original.section;
    original.twin = twin.section;
    places[twin.section] = std::move(twin);
  }
  return places;
}

const Table& Places() {
  static const Table places = BuildPlaces();
  return places;
}

PlaceList InOrder(int TPlace::*order, bool (*included)(const TPlace&)) {
  PlaceList rows;
  for (const TPlace& place : Places())
    if (!place.name.empty() && place.*order > 0 && included(place)) rows.push_back(&place);
  std::stable_sort(rows.begin(), rows.end(), [order](const TPlace* a, const TPlace* b) { return a->*order < b->*order; });
  return rows;
}

std::vector<Section> SectionsOf(const PlaceList& places) {
  std::vector<Section> sections;
  sections.reserve(places.size());
  for (const TPlace* place : places) sections.push_back(place->section);
  return sections;
}

}  // namespace

bool TPlace::Counts(const std::string& valueName) const {
  if (values.empty()) return true;
  for (const std::string& value : values)
    if (text::SameTextAscii(value, valueName)) return true;
  return false;
}

namespace {
const std::string* NeverDeletedData(const TPlace& place, const std::string& valueName) {
  for (std::size_t i = 0; i < place.neverDeleted.size() && i < place.values.size(); ++i)
    if (text::SameTextAscii(place.values[i], valueName)) return &place.neverDeleted[i];
  return nullptr;
}
}  // namespace

const std::string* TPlace::KeptData(const std::string& valueName) const {
  const std::string* data = NeverDeletedData(*this, valueName);
  return data && !data->empty() ? data : nullptr;
}

bool TPlace::Emptied(const std::string& valueName) const {
  const std::string* data = NeverDeletedData(*this, valueName);
  return data && data->empty();
}

const TPlace* PlaceOf(Section section) {
  const TPlace& place = Places()[section];
  return place.name.empty() ? nullptr : &place;
}

const char* OtherViewName() { return kNativeViewBits == 64 ? "32-bit" : "64-bit"; }

const char* SectionName(Section section) {
  const TPlace* place = PlaceOf(section);
  return place ? place->name.c_str() : "";
}

bool IsRegistrySection(Section section) {
  const TPlace* place = PlaceOf(section);
  return place && place->kind == PlaceKind::Registry && place->always == Always::ReadAndSwept;
}

bool IsFolderSection(Section section) {
  const TPlace* place = PlaceOf(section);
  return place && place->kind == PlaceKind::Folder;
}

SectionSet AllSections() {
  static const SectionSet sections = [] {
    SectionSet set;
    for (const TPlace* place : ReadPlaces(false))
      if (place->always != Always::No) set = set.With(place->section);
    return set;
  }();
  return sections;
}

const PlaceList& ReadPlaces(bool allPlaces) {
  static const PlaceList first =
      InOrder(&TPlace::readOrder, [](const TPlace& p) { return p.always != Always::No || p.asksAlways; });
  static const PlaceList all = InOrder(&TPlace::readOrder, [](const TPlace&) { return true; });
  return allPlaces ? all : first;
}

const PlaceList& SweepPlaces(bool allPlaces) {
  static const PlaceList first =
      InOrder(&TPlace::sweepOrder, [](const TPlace& p) { return p.always == Always::ReadAndSwept || p.asksAlways; });
  static const PlaceList all = InOrder(&TPlace::sweepOrder, [](const TPlace&) { return true; });
  return allPlaces ? all : first;
}

const std::vector<Section>& ReadOrder(bool allPlaces) {
  static const std::vector<Section> first = SectionsOf(ReadPlaces(false)), all = SectionsOf(ReadPlaces(true));
  return allPlaces ? all : first;
}

const std::vector<Section>& SweepOrder(bool allPlaces) {
  static const std::vector<Section> first = SectionsOf(SweepPlaces(false)), all = SectionsOf(SweepPlaces(true));
  return allPlaces ? all : first;
}

const std::vector<Section>& FurtherSections() {
  static const std::vector<Section> sections = SectionsOf(
      InOrder(&TPlace::sweepOrder, [](const TPlace& p) { return p.always != Always::ReadAndSwept && !p.asksAlways; }));
  return sections;
}

const std::vector<Section>& ApprovalPlacesOf(Section section) {
  static const std::array<std::vector<Section>, kSectionCount> approvals = [] {
    std::array<std::vector<Section>, kSectionCount> of;
    for (const TPlace& place : Places())
      if (place.approves) of[*place.approves].push_back(place.section);
    return of;
  }();
  return approvals[section];
}

}  // namespace korvalis::catalogue
