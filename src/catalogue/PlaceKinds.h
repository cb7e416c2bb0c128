#pragma once
// What each kind of place does: how it is read, compared, written back, quarantined, named
// and undone as administrator. A row of the places table names its kind's object; the rest of
// the program calls through the place it holds and never asks which kind that is. What another
// layer does its own way for each kind (a watch, a step of the elevated copy) is a visitor the
// kind calls back.
#include <cstdint>
#include <string>

#include "catalogue/EntryKey.h"
#include "catalogue/ReadProblems.h"
#include "platform/Shell.h"

namespace korvalis::catalogue {

struct TPlace;
class TStartup;
class TStartups;

// One operation done each kind's own way; the place's kind calls the function for itself.
class TPlaceVisitor {
 public:
  virtual void Registry(const TPlace& place) = 0;
  virtual void Folder(const TPlace& place) = 0;
  virtual void Service(const TPlace& place) = 0;
  virtual void Task(const TPlace& place) = 0;

 protected:
  ~TPlaceVisitor() = default;
};

// What tells two entries of the same name apart beyond their command.
struct TComparedBy {
  bool content = false;    // a startup file's bytes: a batch file's new bytes are a change
  bool startType = false;  // a service's: one starting at boot instead of later is a change
  bool enabled = false;    // a task's switch
  bool valueType = false;  // the value type, which holds the start type or the switch; never a registry value's
};

// How a refused entry's own bytes are kept.
enum class QuarantineAs { Nothing, File, Definition };

// Whether a name from outside (the elevated request) is one the place can hold.
enum class NameFit { Fits, NotCounted, Climbs };

class TPlaceKind {
 public:
  virtual ~TPlaceKind() = default;
  // Sections 1 to 3 are names only: nothing to read, write or show.
  virtual bool HoldsEntries() const { return true; }
  // Its turn when the sections are read: the folders first, whose errors are swallowed, then
  // the registry, then the scheduled tasks.
  virtual int ReadPass() const = 0;
  virtual void Read(TStartups& into, const TPlace& place, ReadProblems* problems) const = 0;
  // Makes the entry's location agree with it: written when enabled, removed when not.
  virtual void WriteBack(const TStartup& entry, const TPlace& place) const = 0;
  virtual TComparedBy ComparedBy() const { return {}; }
  virtual QuarantineAs Quarantined() const { return QuarantineAs::Nothing; }
  // An entry is a definition the place keeps (LinkData), its command told from it.
  virtual bool DefinedByData() const { return false; }
  // Switched off where it is (a task's switch, a service's start type), not in Task Manager.
  virtual bool Disabled(const TStartup& entry) const;
  // Its entries may be boot or system drivers, which Windows may need to start.
  virtual bool HoldsDrivers() const { return false; }
  // The entry as the user saw it: a service, not its library's value below it.
  virtual std::string ShownName(const std::string& valueName) const { return valueName; }
  // The key a stored text names (TEntryKey::Text) at this place; one name unless the kind's
  // entries are values of subkeys.
  virtual TEntryKey KeyOf(const TPlace& place, std::string text) const;
  virtual NameFit NameFits(const TPlace& place, const TEntryKey& key) const = 0;
  // Whether the elevated copy may undo there: never a place of the current user, since it may
  // run in another administrator's profile.
  virtual bool UndoneAsAdministrator(const TPlace& place) const;
  // Whether it may write earlier data there; a file, a task's definition or a service's binary
  // written as administrator would be a new way to start.
  virtual bool WrittenAsAdministrator(const TPlace& place, const TEntryKey& key) const;
  // Where its files are, for a place of files, also when the folder is missing; empty otherwise.
  virtual std::string FolderPath(platform::Shell& shell, const TPlace& place) const;
  virtual void Accept(TPlaceVisitor& visitor, const TPlace& place) const = 0;
};

// The kind's object of each kind of row.
enum class PlaceKind : std::uint8_t;
const TPlaceKind& KindObject(PlaceKind kind);

}  // namespace korvalis::catalogue
