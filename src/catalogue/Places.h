#pragma once
// Every place a program starts from at logon, one row each: the six registry sections and the
// two startup folders, the machine sections in the other registry view, and the further logon
// places. The rows say what the readers, the writer, the watches and the monitor do with a
// place; every list of sections is a query over them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/PlaceKinds.h"
#include "catalogue/Sections.h"
#include "platform/Registry.h"

namespace korvalis::catalogue {

// A service place is the registry's Services key, read service by service and changed through
// the service manager.
enum class PlaceKind : std::uint8_t { None, Folder, Registry, Service, Task };

// The kinds of difference a place asks about; the others are taken in silently.
using AskedKinds = std::uint8_t;
constexpr AskedKinds kAsksAdded = 1u << static_cast<int>(ChangeKind::Added);
constexpr AskedKinds kAsksRemoved = 1u << static_cast<int>(ChangeKind::Removed);
constexpr AskedKinds kAsksChanged = 1u << static_cast<int>(ChangeKind::Changed);
constexpr AskedKinds kAsksEverything = kAsksAdded | kAsksRemoved | kAsksChanged;

// What a place is while TSwitches::AllPlaces is off: the first design read the startup folders
// into every snapshot but swept only the six registry sections.
enum class Always : std::uint8_t { No, Read, ReadAndSwept };

// The registry view of the running program in bits: a 32-bit build sees the 32-bit view even
// on 64-bit Windows.
constexpr std::uint8_t kNativeViewBits = sizeof(void*) == 8 ? 64 : 32;

struct TPlace {
  Section section = 0;
  std::optional<Section> twin;  // the same place in the other registry view
  int readOrder = 0;            // its turn when a whole snapshot is read; 0: never read
  int sweepOrder = 0;           // its turn in a sweep; 0: never swept
  Always always = Always::No;
  std::string name;  // as shown: "in " and this; a place of the other view names the view
  PlaceKind kind = PlaceKind::None;
  const TPlaceKind* behaviour = &KindObject(PlaceKind::None);  // what its kind does, named by kind
  platform::RootKey root = platform::RootKey::LocalMachine;
  std::string path;  // from the root, without a leading backslash
  platform::RegistryView view = platform::RegistryView::Native;
  std::vector<std::string> values;  // the values that count; empty: every value
  // The values are those of the keys firstLevel to lastLevel below the place's key, named by
  // their path from it ("0001\Depend\value"); 0 and 0: the key's own values.
  std::uint8_t firstLevel = 0;
  std::uint8_t lastLevel = 0;
  // Or the values of just these keys below the place's key ("exefile\shell\open\command"),
  // where its other subkeys are too many to walk.
  std::vector<std::string> keys;
  std::vector<std::string> lastKeys;  // on the last level only the subkeys of these names; empty: all
  // A machine key whose subkeys the place's own shadow: only a first-level subkey the machine
  // also has counts, and a refused addition deletes the key that holds the value.
  std::string shadowed;
  // A refused addition deletes the key that holds the value, with all below it: the browser
  // loads an object whose key is there, whatever its default value says.
  bool deletesKey = false;
  AskedKinds asks = kAsksEverything;
  std::int32_t iconIndex = 0;
  // A refused change puts back the value as it was read (its type and bytes); the six
  // sections write their command as text.
  bool keepsData = false;
  bool multiString = false;  // REG_MULTI_SZ data is a command line too (its strings joined)
  bool numbers = false;      // REG_DWORD and REG_QWORD data count too, shown as a hexadecimal number
  // Values the system cannot log on without, parallel to values: never deleted, and a refused
  // addition gets this data ("%system%" standing for the system folder); empty data: the value
  // is emptied instead, as the system ships it.
  std::vector<std::string> neverDeleted;
  // Windows deletes each value as it runs it at logon: a removal found at the first check after
  // start is that, not a change to ask about.
  bool runsOnce = false;
  // Guarded and asked whatever the switches say, so that no switch can silence its own change.
  bool asksAlways = false;
  // What it names starts with rights beyond those of the user who put it there (as SYSTEM, as a
  // service or driver, in every process, in an administrator's shell): no earlier data is ever
  // written back there as administrator, only the place's own fixed data.
  bool privileged = false;
  // Task Manager's switches for the entries of this section: each value, named as the entry,
  // holds bytes whose first is odd while the entry is disabled; a missing value is enabled.
  std::optional<Section> approves;

  const TPlaceKind& Kind() const { return *behaviour; }
  bool Counts(const std::string& valueName) const;
  bool Asks(ChangeKind kind) const { return (asks >> static_cast<int>(kind)) & 1u; }
  bool BelowKey() const { return lastLevel > 0 || !keys.empty(); }
  // The data a refused addition of the value writes back where the place never deletes it;
  // nullptr where it may be deleted or is emptied.
  const std::string* KeptData(const std::string& valueName) const;
  // Whether a refused addition of the value empties it rather than deleting it.
  bool Emptied(const std::string& valueName) const;
};

// The row of a section; nullptr for a number no place has. Sections 1 to 3 have a row of kind
// None: a name, and nothing to read or write.
const TPlace* PlaceOf(Section section);

// The name of the other registry view as the program sees it: the 32-bit view for the 64-bit
// program, the 64-bit view for the 32-bit program on 64-bit Windows.
const char* OtherViewName();

using PlaceList = std::vector<const TPlace*>;

// The places in the order a whole snapshot reads them, and in the sweep's order; with
// allPlaces false only those the first design guarded.
const PlaceList& ReadPlaces(bool allPlaces);
const PlaceList& SweepPlaces(bool allPlaces);
// The same as numbers, for what stores or sends them.
const std::vector<Section>& ReadOrder(bool allPlaces);
const std::vector<Section>& SweepOrder(bool allPlaces);

// The sections swept only while every place is guarded, in their sweep order (Korvalis's own
// settings are swept always).
const std::vector<Section>& FurtherSections();

// The places whose values switch the entries of the section on and off, in row order.
const std::vector<Section>& ApprovalPlacesOf(Section section);

}  // namespace korvalis::catalogue
