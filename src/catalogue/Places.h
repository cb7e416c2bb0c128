#pragma once
// Every place a program starts from at logon, one row each: the six registry sections and the
// two startup folders, the machine sections in the other registry view, and the further logon
// places. The rows say what the readers, the writer, the watches and the monitor do with a place.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "catalogue/Sections.h"
#include "platform/Registry.h"

namespace korvalis::catalogue {

enum class PlaceKind : std::uint8_t { None, Folder, Registry };

// The kinds of difference a place asks about; the others are taken in silently.
using AskedKinds = std::uint8_t;
constexpr AskedKinds kAsksAdded = 1u << static_cast<int>(ChangeKind::Added);
constexpr AskedKinds kAsksRemoved = 1u << static_cast<int>(ChangeKind::Removed);
constexpr AskedKinds kAsksChanged = 1u << static_cast<int>(ChangeKind::Changed);
constexpr AskedKinds kAsksEverything = kAsksAdded | kAsksRemoved | kAsksChanged;

struct TPlace {
  Section section = 0;
  std::string name;  // as shown: "in " and this; a place of the other view names the view
  PlaceKind kind = PlaceKind::None;
  platform::RootKey root = platform::RootKey::LocalMachine;
  std::string path;  // from the root, without a leading backslash
  platform::RegistryView view = platform::RegistryView::Native;
  std::vector<std::string> values;  // the values that count; empty: every value
  bool eachSubkey = false;          // the values are those of the key's subkeys ("subkey\value")
  AskedKinds asks = kAsksEverything;
  std::int32_t iconIndex = 0;
  // A refused change puts back the value as it was read (its type and bytes); the six
  // sections write their command as text.
  bool keepsData = false;
  bool multiString = false;  // REG_MULTI_SZ data is a command line too (its strings joined)
  // Windows deletes each value as it runs it at logon: a removal found at the first check after
  // start is that, not a change to ask about.
  bool runsOnce = false;
  // Guarded and asked whatever the switches say, so that no switch can silence its own change.
  bool always = false;

  bool Counts(const std::string& valueName) const;
  bool Asks(ChangeKind kind) const { return (asks >> static_cast<int>(kind)) & 1u; }
};

// The row of a section; nullptr for a number no place has. Sections 1 to 3 have a row of kind
// None: a name, and nothing to read or write.
const TPlace* PlaceOf(Section section);

// The name of the other registry view as the program sees it: the 32-bit view for the 64-bit
// program, the 64-bit view for the 32-bit program on 64-bit Windows.
const char* OtherViewName();

// The sections of the further places (everything but the six registry sections, the two
// folders and Korvalis's own settings), in their sweep order.
const std::vector<Section>& FurtherSections();

}  // namespace korvalis::catalogue
