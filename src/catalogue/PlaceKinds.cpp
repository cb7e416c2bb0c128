#include "catalogue/PlaceKinds.h"

#include <algorithm>
#include <vector>

#include "catalogue/Places.h"
#include "catalogue/Startups.h"
#include "catalogue/TaskDefinition.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

// A service's start type that keeps it from starting.
constexpr std::uint32_t kServiceDisabled = 4;

bool OneOf(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& each) { return text::SameTextAscii(each, name); });
}

class NamesOnly final : public TPlaceKind {
 public:
  bool HoldsEntries() const override { return false; }
  int ReadPass() const override { return -1; }
  void Read(TStartups&, const TPlace&, ReadProblems*) const override {}
  void WriteBack(const TStartup&, const TPlace&) const override {}
  NameFit NameFits(const TPlace&, const TEntryKey&) const override { return NameFit::NotCounted; }
  bool UndoneAsAdministrator(const TPlace&) const override { return false; }
  void Accept(TPlaceVisitor&, const TPlace&) const override {}
};

class RegistryValues final : public TPlaceKind {
 public:
  int ReadPass() const override { return 1; }
  void Read(TStartups& into, const TPlace& place, ReadProblems* problems) const override {
    into.LoadPlace(place, problems);
  }
  void WriteBack(const TStartup& entry, const TPlace& place) const override { entry.ApplyToRegistry(place); }
  // Below the key, the value's path from it as the reader names it: "0001\Depend\x",
  // "exefile\shell\open\command\" for a default value. A key's name holds no backslash, and
  // the reader guards no value below a key whose name does, so the last one ends the path.
  TEntryKey KeyOf(const TPlace& place, std::string text) const override {
    return place.BelowKey() ? TEntryKey::SplitAtLast(std::move(text)) : TEntryKey(std::move(text));
  }
  // A value of the place's key itself, or of a subkey on one of its levels or of its named keys.
  // The value's own name may be anything, "" and ".." too.
  NameFit NameFits(const TPlace& place, const TEntryKey& key) const override {
    if (!place.BelowKey()) return place.Counts(key.Text()) ? NameFit::Fits : NameFit::NotCounted;
    if (!key.BelowSubkey() || !place.Counts(std::string(key.Name()))) return NameFit::NotCounted;
    const std::string subkey(key.Subkey());
    if (text::ClimbsOrIsEmpty(subkey)) return NameFit::Climbs;
    if (!place.keys.empty()) return OneOf(place.keys, subkey) ? NameFit::Fits : NameFit::NotCounted;
    const std::vector<std::string> levels = text::SplitExactly(subkey, '\\');
    if (levels.size() < place.firstLevel || levels.size() > place.lastLevel ||
        (levels.size() == place.lastLevel && !place.lastKeys.empty() && !OneOf(place.lastKeys, levels.back())))
      return NameFit::NotCounted;
    return NameFit::Fits;
  }
  bool UndoneAsAdministrator(const TPlace& place) const override {
    return place.root == platform::RootKey::LocalMachine;
  }
  // Earlier data only where what the place names starts with no more rights than its user's,
  // or the place's own fixed data.
  bool WrittenAsAdministrator(const TPlace& place, const TEntryKey& key) const override {
    if (!UndoneAsAdministrator(place)) return false;
    return place.KeptData(std::string(key.Name())) || !place.privileged;
  }
  void Accept(TPlaceVisitor& visitor, const TPlace& place) const override { visitor.Registry(place); }
};

class FolderFiles final : public TPlaceKind {
 public:
  int ReadPass() const override { return 0; }
  void Read(TStartups& into, const TPlace& place, ReadProblems* problems) const override {
    try {
      into.LoadFolder(place.section, problems);
    } catch (const std::exception&) {
      // A startup folder that cannot be read leaves the other places to be read.
    }
  }
  void WriteBack(const TStartup& entry, const TPlace&) const override { entry.ApplyToFolder(); }
  TComparedBy ComparedBy() const override { return {true, false, false, true}; }
  QuarantineAs Quarantined() const override { return QuarantineAs::File; }
  // The file itself, never a path that leaves the folder.
  NameFit NameFits(const TPlace&, const TEntryKey& key) const override {
    const std::string& name = key.Text();
    return name.empty() || name == "." || name.find_first_of("\\/:") != std::string::npos ||
                   name.find("..") != std::string::npos
               ? NameFit::Climbs
               : NameFit::Fits;
  }
  bool UndoneAsAdministrator(const TPlace& place) const override { return place.section == kLocalMachineStartupFolder; }
  std::string FolderPath(platform::Shell& shell, const TPlace& place) const override {
    return StartupFolderPathEvenIfMissing(shell, place.section);
  }
  void Accept(TPlaceVisitor& visitor, const TPlace& place) const override { visitor.Folder(place); }
};

class Services final : public TPlaceKind {
 public:
  int ReadPass() const override { return 1; }
  void Read(TStartups& into, const TPlace& place, ReadProblems* problems) const override {
    into.LoadServices(place, problems);
  }
  void WriteBack(const TStartup& entry, const TPlace& place) const override { entry.ApplyToService(place); }
  TComparedBy ComparedBy() const override { return {false, true, false, true}; }
  bool Disabled(const TStartup& entry) const override { return entry.ValueType() == kServiceDisabled; }
  bool HoldsDrivers() const override { return true; }
  std::string ShownName(const std::string& valueName) const override { return valueName.substr(0, valueName.find('\\')); }
  // A service by its key's name, or its library as the value "<name>\Parameters\ServiceDll".
  TEntryKey KeyOf(const TPlace&, std::string text) const override { return TEntryKey::SplitAtLast(std::move(text)); }
  NameFit NameFits(const TPlace&, const TEntryKey& key) const override {
    const std::string& name = key.Text();
    const bool library = key.BelowSubkey() && !key.TopKey().empty() &&
                         text::SameTextAscii(name.substr(key.TopKey().size()), "\\Parameters\\ServiceDll");
    return name.empty() || name.find('/') != std::string::npos || (key.BelowSubkey() && !library) ? NameFit::Climbs
                                                                                                   : NameFit::Fits;
  }
  bool UndoneAsAdministrator(const TPlace&) const override { return true; }
  void Accept(TPlaceVisitor& visitor, const TPlace& place) const override { visitor.Service(place); }
};

class Tasks final : public TPlaceKind {
 public:
  int ReadPass() const override { return 2; }
  void Read(TStartups& into, const TPlace& place, ReadProblems* problems) const override {
    into.LoadTasks(place.section, problems);
  }
  void WriteBack(const TStartup& entry, const TPlace&) const override { entry.ApplyToTask(); }
  TComparedBy ComparedBy() const override { return {false, false, true, true}; }
  QuarantineAs Quarantined() const override { return QuarantineAs::Definition; }
  bool DefinedByData() const override { return true; }
  bool Disabled(const TStartup& entry) const override { return entry.ValueType() == kTaskDisabled; }
  // A task by its path from the scheduler's root: "\Folder\Task".
  NameFit NameFits(const TPlace&, const TEntryKey& key) const override {
    const std::string& path = key.Text();
    return path.size() < 2 || path[0] != '\\' || text::ClimbsOrIsEmpty(path.substr(1)) ? NameFit::Climbs : NameFit::Fits;
  }
  bool UndoneAsAdministrator(const TPlace&) const override { return true; }
  void Accept(TPlaceVisitor& visitor, const TPlace& place) const override { visitor.Task(place); }
};

}  // namespace

bool TPlaceKind::Disabled(const TStartup&) const { return false; }

bool TPlaceKind::UndoneAsAdministrator(const TPlace&) const { return false; }

std::string TPlaceKind::FolderPath(platform::Shell&, const TPlace&) const { return std::string(); }

bool TPlaceKind::WrittenAsAdministrator(const TPlace&, const TEntryKey&) const { return false; }

TEntryKey TPlaceKind::KeyOf(const TPlace&, std::string text) const { return TEntryKey(std::move(text)); }

const TPlaceKind& KindObject(PlaceKind kind) {
  static const NamesOnly names;
  static const RegistryValues registry;
  static const FolderFiles folders;
  static const Services services;
  static const Tasks tasks;
  switch (kind) {
    case PlaceKind::Registry: return registry;
    case PlaceKind::Folder: return folders;
    case PlaceKind::Service: return services;
    case PlaceKind::Task: return tasks;
    case PlaceKind::None: break;
  }
  return names;
}

}  // namespace korvalis::catalogue
