#include "catalogue/Places.h"

#include "text/StrMan.h"

namespace korvalis::catalogue {

using platform::RegistryView;
using platform::RootKey;

namespace {

constexpr const char* kVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kNtVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kControl = "SYSTEM\\CurrentControlSet\\Control";

std::string Under(const char* base, const char* rest) { return std::string(base) + "\\" + rest; }

struct Row {
  Section section;
  const char* name;
  RootKey root;
  std::string path;
  std::vector<std::string> values = {};
  bool eachSubkey = false;
  AskedKinds asks = kAsksEverything;
  bool runsOnce = false;
};

TPlace Registry(const Row& row, RegistryView view, bool keepsData = true) {
  TPlace place;
  place.section = row.section;
  place.name = row.name;
  if (view == RegistryView::Other) place.name += std::string(" (") + OtherViewName() + ")";
  place.kind = PlaceKind::Registry;
  place.root = row.root;
  place.path = row.path;
  place.view = view;
  place.values = row.values;
  place.eachSubkey = row.eachSubkey;
  place.asks = row.asks;
  place.keepsData = keepsData;
  place.runsOnce = row.runsOnce;
  return place;
}

// Sections 11 and up; a machine place under Software is redirected on 64-bit Windows, so it is
// guarded in both views. The current user's Software is shared between the views.
std::vector<TPlace> BuildPlaces() {
  std::vector<TPlace> places(kSectionCount);
  for (Section s = 0; s < kSectionCount; ++s) places[s].section = s;
  for (Section s : {kLocalMachineStartupFolder, kCurrentUserStartupFolder}) {
    places[s].name = SectionNames[s];
    places[s].kind = PlaceKind::Folder;
  }
  for (Section s = 1; s <= 3; ++s) places[s].name = SectionNames[s];
  // The six keep their texts and write their command back as text.
  for (Section s = kLocalMachineRun; s <= kCurrentUserRunOnce; ++s) {
    const Row six{s, SectionNames[s], SectionRoot(s), SectionKey(s) + 1};
    places[s] = Registry(six, RegistryView::Native, false);
    places[s].iconIndex = (s == kLocalMachineServices || s == kLocalMachineServiceOnce) ? 4 : 0;
    places[s].runsOnce = s == kLocalMachineRunOnce || s == kCurrentUserRunOnce;
  }
  for (Section s = kLocalMachineRun; s <= kLocalMachineServiceOnce; ++s) {
    const Section other = static_cast<Section>(s - kLocalMachineRun + kLocalMachineRunOther);
    places[other] = Registry(Row{other, SectionNames[s], RootKey::LocalMachine, SectionKey(s) + 1}, RegistryView::Other, false);
    places[other].iconIndex = places[s].iconIndex;
    places[other].runsOnce = places[s].runsOnce;
  }
  const AskedKinds changes = kAsksChanged;
  const AskedKinds additionsAndChanges = kAsksAdded | kAsksChanged;
  const std::vector<std::pair<Row, bool>> further = {
      {{kCurrentUserPoliciesRun, "Current User Policies Run", RootKey::CurrentUser, Under(kVersion, "Policies\\Explorer\\Run")}, false},
      {{kLocalMachinePoliciesRun, "Local Machine Policies Run", RootKey::LocalMachine, Under(kVersion, "Policies\\Explorer\\Run")}, true},
      {{kLocalMachineRunOnceEx, "Local Machine Run Once Ex", RootKey::LocalMachine, Under(kVersion, "RunOnceEx"), {}, true, kAsksEverything, true}, true},
      {{kCurrentUserWindowsLoad, "Current User Windows Load and Run", RootKey::CurrentUser, Under(kNtVersion, "Windows"), {"Load", "Run"}}, false},
      {{kCurrentUserLogonScript, "Current User Logon Script", RootKey::CurrentUser, "Environment", {"UserInitMprLogonScript"}}, false},
      {{kLocalMachineWinlogon, "Local Machine Winlogon", RootKey::LocalMachine, Under(kNtVersion, "Winlogon"), {"Userinit", "Shell"}, false, changes}, true},
      {{kLocalMachineActiveSetup, "Local Machine Active Setup", RootKey::LocalMachine, "Software\\Microsoft\\Active Setup\\Installed Components", {"StubPath"}, true}, true},
      {{kLocalMachineTerminalStartup, "Local Machine Terminal Startup", RootKey::LocalMachine, Under(kControl, "Terminal Server\\Wds\\rdpwd"), {"StartupPrograms"}, false, additionsAndChanges}, false},
      {{kLocalMachineBootExecute, "Local Machine Boot Execute", RootKey::LocalMachine, Under(kControl, "Session Manager"), {"BootExecute"}, false, additionsAndChanges}, false},
      {{kLocalMachineBootVerification, "Local Machine Boot Verification", RootKey::LocalMachine, Under(kControl, "BootVerificationProgram"), {"ImagePath"}, false, additionsAndChanges}, false},
      {{kCurrentUserStartupLocation, "Current User Startup Folder Location", RootKey::CurrentUser, Under(kVersion, "Explorer\\User Shell Folders"), {"Startup"}, false, additionsAndChanges}, false},
      {{kLocalMachineStartupLocation, "Local Machine Startup Folder Location", RootKey::LocalMachine, Under(kVersion, "Explorer\\User Shell Folders"), {"Common Startup"}, false, additionsAndChanges}, true},
  };
  Section next = kFirstOtherViewFurther;
  for (const auto& [row, bothViews] : further) {
    places[row.section] = Registry(row, RegistryView::Native);
    if (!bothViews) continue;
    Row other = row;
    other.section = next++;
    places[other.section] = Registry(other, RegistryView::Other);
  }
  places[kLocalMachineBootExecute].multiString = true;
  places[kKorvalisSettings] = Registry(Row{kKorvalisSettings, "Korvalis Settings", RootKey::CurrentUser,
                                           "Software\\Brenmoor\\Korvalis",
                                           {"GuardAllPlaces", "Monitoring", "Notification", "Logs"}},
                                       RegistryView::Native);
  places[kKorvalisSettings].always = true;
  return places;
}

const std::vector<TPlace>& Places() {
  static const std::vector<TPlace> places = BuildPlaces();
  return places;
}

}  // namespace

bool TPlace::Counts(const std::string& valueName) const {
  if (values.empty()) return true;
  for (const std::string& value : values)
    if (text::SameTextAscii(value, valueName)) return true;
  return false;
}

const TPlace* PlaceOf(Section section) {
  return section < kSectionCount && !Places()[section].name.empty() ? &Places()[section] : nullptr;
}

const char* OtherViewName() { return sizeof(void*) == 8 ? "32-bit" : "64-bit"; }

const std::vector<Section>& FurtherSections() {
  static const std::vector<Section> sections = [] {
    std::vector<Section> order;
    for (Section s = kLocalMachineRunOther; s <= kLocalMachineServiceOnceOther; ++s) order.push_back(s);
    order.push_back(kCurrentUserStartupFolder);
    order.push_back(kLocalMachineStartupFolder);
    for (Section s = kCurrentUserPoliciesRun; s < kKorvalisSettings; ++s) order.push_back(s);
    return order;
  }();
  return sections;
}

}  // namespace korvalis::catalogue
