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
  NameFit NameFits(const TPlace&, const std::string&) const override { return NameFit::NotCounted; }
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
  // A value of the place's key itself, or of a subkey on one of its levels or of its named keys,
  // named by its path from the key as the reader names it: "0001\Depend\x", "exefile\shell\open\command\"
  // for a default value. The value's own name may be anything, "" and ".." too.
  NameFit NameFits(const TPlace& place, const std::string& valueName) const override {
    const auto cut = valueName.rfind('\\');
    if (!place.BelowKey()) return place.Counts(valueName) ? NameFit::Fits : NameFit::NotCounted;
    if (cut == std::string::npos || !place.Counts(valueName.substr(cut + 1))) return NameFit::NotCounted;
    const std::string key = valueName.substr(0, cut);
    if (text::ClimbsOrIsEmpty(key)) return NameFit::Climbs;
    if (!place.keys.empty()) return OneOf(place.keys, key) ? NameFit::Fits : NameFit::NotCounted;
    const std::vector<std::string> levels = text::SplitExactly(key, '\\');
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
  bool WrittenAsAdministrator(const TPlace& place, const std::string& valueName) const override {
    if (!UndoneAsAdministrator(place)) return false;
    const auto cut = place.BelowKey() ? valueName.rfind('\\') : std::string::npos;
    return place.KeptData(cut == std::string::npos ? valueName : valueName.substr(cut + 1)) || !place.privileged;
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
  NameFit NameFits(const TPlace&, const std::string& valueName) const override {
    return valueName.empty() || valueName == "." || valueName.find_first_of("\\/:") != std::string::npos ||
                   valueName.find("..") != std::string::npos
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
  // A service by its key's name, or its library as "<name>\Parameters\ServiceDll".
  NameFit NameFits(const TPlace&, const std::string& valueName) const override {
    const auto slash = valueName.find('\\');
    const bool library = slash != std::string::npos && slash > 0 &&
                         text::SameTextAscii(valueName.substr(slash), "\\Parameters\\ServiceDll");
    return valueName.empty() || valueName.find('/') != std::string::npos || (slash != std::string::npos && !library)
               ? NameFit::Climbs
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
  NameFit NameFits(const TPlace&, const std::string& valueName) const override {
    return valueName.size() < 2 || valueName[0] != '\\' || text::ClimbsOrIsEmpty(valueName.substr(1)) ? NameFit::Climbs
                                                                                                  : NameFit::Fits;
  }
  bool UndoneAsAdministrator(const TPlace&) const override { return true; }
  void Accept(TPlaceVisitor& visitor, const TPlace& place) const override { visitor.Task(place); }
};

}  // namespace

bool TPlaceKind::Disabled(const TStartup&) const { return false; }

bool TPlaceKind::UndoneAsAdministrator(const TPlace&) const { return false; }

std::string TPlaceKind::FolderPath(platform::Shell&, const TPlace&) const { return std::string(); }

bool TPlaceKind::WrittenAsAdministrator(const TPlace&, const std::string&) const { return false; }

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
