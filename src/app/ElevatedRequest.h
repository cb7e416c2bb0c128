#pragma once
// What the resident program asks of its elevated copy, as a text file. The copy runs with
// administrator rights and reads the request from a folder the user can write, so the request
// is hostile input: a strict format, a size limit, only undo operations on machine-wide places
// of the places table, or the event source's registration.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/EntryRecord.h"
#include "catalogue/Places.h"
#include "platform/Error.h"

namespace korvalis::app {

// An entry as the catalogue reads it: enough to find it in its place and to write it back. A
// startup folder's file is known by its content too, as its bytes are carried only when small;
// its icon is not sent.
using TRequestedEntry = catalogue::TEntryRecord;

// One undo: the place must hold exactly `now` (nothing of that value name when hasNow is false),
// and then the write-back entry is applied: deleted when enabled is false, written when true.
struct TUndoOperation {
  TRequestedEntry writeBack;
  bool enabled = false;
  bool hasNow = false;
  TRequestedEntry now;
};

struct TElevatedRequest {
  enum class Kind { Undo, RegisterMessageFile };
  Kind kind = Kind::Undo;
  std::vector<TUndoOperation> undos;  // Undo
  std::string messageFile;            // RegisterMessageFile: the installed program file
};

// Why a request is refused as a whole; nothing of it is carried out.
class TRequestRefused : public Error {
 public:
  using Error::Error;
};

// Enough for hundreds of refusals at once; more go in several requests.
constexpr std::size_t kMaxRequestBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxUndosPerRequest = 4096;

// Whether the elevated copy may touch the place: machine-wide (the machine's Startup folder, not
// the user's), and one it can write back.
bool ElevatedUndoAllowed(const catalogue::TPlace& place);
// Whether the elevated copy may write data back there: a registry value of such a place whose
// data the row fixes itself (Winlogon's Shell and Userinit), or earlier data at a place whose
// entries start with no rights beyond the user's. Anything else it only removes.
bool ElevatedWriteAllowed(const catalogue::TPlace& place, const catalogue::TEntryKey& key);

std::string EncodeRequest(const TElevatedRequest& request);
// Fails with TRequestRefused for anything but a whole, well-formed request of at most
// kMaxRequestBytes: one verb, places of the table only, no HKCU, values the place counts on its
// own levels, no ".." in a key's path, a startup folder's entry named by a plain file name, a
// task by its path, writes only where ElevatedWriteAllowed, no boot or system driver disabled.
TElevatedRequest ParseRequest(const std::string& text);

// A request file's name ends so.
constexpr const char* kRequestExtension = ".request";

}  // namespace korvalis::app
