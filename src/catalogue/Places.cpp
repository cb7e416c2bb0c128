#include "catalogue/Places.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "text/StrMan.h"

namespace korvalis::catalogue {

using platform::RegistryView;
using platform::RootKey;

namespace {

constexpr const char* kVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kNtVersion = "Software\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kControl = "SYSTEM\\CurrentControlSet\\Control";
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
  Row&& NeverDeleted(std::vector<std::string> data) && {
    place.neverDeleted = std::move(data);
    return std::move(*this);
  }
  Row&& RunsOnce() && {
    place.runsOnce = true;
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

// The machine place of section `of` in the other registry view, under its own number.
Row Twin(Section section, Section of, int readOrder, int sweepOrder) {
  Row row{Numbered(section, readOrder, sweepOrder, Always::No, "", PlaceKind::Registry), of};
  return row;
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
      Key(23, 210, 210, kFurther, "Local Machine Boot Execute", HKLM, Under(kControl, "Session Manager")).Values({"BootExecute"}).Asks(kAddedAndChanged).MultiString(),
      Key(24, 220, 220, kFurther, "Local Machine Boot Verification", HKLM, Under(kControl, "BootVerificationProgram")).Values({"ImagePath"}).Asks(kAddedAndChanged),
      Key(25, 230, 230, kFurther, "Current User Startup Folder Location", HKCU, Under(kVersion, "Explorer\\User Shell Folders")).Values({"Startup"}).Asks(kAddedAndChanged),
      Key(26, 240, 240, kFurther, "Local Machine Startup Folder Location", HKLM, Under(kVersion, "Explorer\\User Shell Folders")).Values({"Common Startup"}).Asks(kAddedAndChanged),
      Twin(27, 16, 250, 250),
      Twin(28, 17, 260, 260),
      Twin(29, 20, 270, 270),
      Twin(30, 21, 280, 280),
      Twin(31, 26, 290, 290),
      Key(32, 300, 5, kFurther, "Korvalis Settings", HKCU, "Software\\Brenmoor\\Korvalis").Values({"GuardAllPlaces", "Monitoring", "Notification", "Logs"}).AsksAlways(),
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

std::vector<Section> InOrder(int TPlace::*order, bool (*included)(const TPlace&)) {
  std::vector<const TPlace*> rows;
  for (const TPlace& place : Places())
    if (!place.name.empty() && place.*order > 0 && included(place)) rows.push_back(&place);
  std::stable_sort(rows.begin(), rows.end(), [order](const TPlace* a, const TPlace* b) { return a->*order < b->*order; });
  std::vector<Section> sections;
  for (const TPlace* place : rows) sections.push_back(place->section);
  return sections;
}

}  // namespace

bool TPlace::Counts(const std::string& valueName) const {
  if (values.empty()) return true;
  for (const std::string& value : values)
    if (text::SameTextAscii(value, valueName)) return true;
  return false;
}

const std::string* TPlace::KeptData(const std::string& valueName) const {
  for (std::size_t i = 0; i < neverDeleted.size() && i < values.size(); ++i)
    if (text::SameTextAscii(values[i], valueName)) return &neverDeleted[i];
  return nullptr;
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
    for (const Section section : ReadOrder(false))
      if (PlaceOf(section)->always != Always::No) set = set.With(section);
    return set;
  }();
  return sections;
}

const std::vector<Section>& ReadOrder(bool allPlaces) {
  static const std::vector<Section> first =
      InOrder(&TPlace::readOrder, [](const TPlace& p) { return p.always != Always::No || p.asksAlways; });
  static const std::vector<Section> all = InOrder(&TPlace::readOrder, [](const TPlace&) { return true; });
  return allPlaces ? all : first;
}

const std::vector<Section>& SweepOrder(bool allPlaces) {
  static const std::vector<Section> first =
      InOrder(&TPlace::sweepOrder, [](const TPlace& p) { return p.always == Always::ReadAndSwept || p.asksAlways; });
  static const std::vector<Section> all = InOrder(&TPlace::sweepOrder, [](const TPlace&) { return true; });
  return allPlaces ? all : first;
}

const std::vector<Section>& FurtherSections() {
  static const std::vector<Section> sections =
      InOrder(&TPlace::sweepOrder, [](const TPlace& p) { return p.always != Always::ReadAndSwept && !p.asksAlways; });
  return sections;
}

}  // namespace korvalis::catalogue
