#include "app/ElevatedRequest.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/Services.h"
#include "text/EncodedText.h"
#include "text/StrMan.h"

namespace korvalis::app {

using catalogue::Section;

namespace {

constexpr const char* kRequestHeader = "Korvalis elevated request 1";
constexpr const char* kEnd = "end";
constexpr std::size_t kMaxPathChars = 260;

// Every field is hex, so no byte of a name or command can end a field or a line.
using text::Hex;
std::string Hex(const std::vector<std::uint8_t>& bytes) { return text::Hex(std::string(bytes.begin(), bytes.end())); }

[[noreturn]] void Refuse(const std::string& why) { throw TRequestRefused(why); }

std::string Unhex(const std::string& field) {
  std::optional<std::string> bytes = text::Unhex(field);
  if (!bytes) Refuse("a field is not hex");
  return std::move(*bytes);
}

std::uint64_t Number(const std::string& field, std::uint64_t most) {
  // Decimal without a sign or leading zeros, so each number has one spelling.
  if (field.empty() || field.size() > std::to_string(most).size() || (field.size() > 1 && field[0] == '0') ||
      field.find_first_not_of("0123456789") != std::string::npos)
    Refuse("a number is malformed");
  unsigned long long value = 0;
  try {
    value = std::stoull(field);
  } catch (const std::out_of_range&) {
    Refuse("a number is out of range");
  }
  if (value > most) Refuse("a number is out of range");
  return value;
}

// Cut exactly at each delimiter: nothing trimmed, nothing merged.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields = text::SplitExactly(line, ' ');
  for (const std::string& field : fields)
    if (field.empty()) Refuse("a line has an empty field");
  return fields;
}

// The lines of a whole file: each ended by a line feed, the last one "end"; nothing after it.
std::vector<std::string> Lines(const std::string& text, const char* header) {
  if (text.size() > kMaxRequestBytes) Refuse("the request is too large");
  if (text.find('\r') != std::string::npos || text.find('\0') != std::string::npos) Refuse("a line is malformed");
  if (text.empty() || text.back() != '\n') Refuse("the request is truncated");
  std::vector<std::string> lines = text::SplitExactly(text.substr(0, text.size() - 1), '\n');
  if (lines.empty() || lines.front() != header) Refuse("the request is of another kind or version");
  if (lines.size() < 2 || lines.back() != kEnd) Refuse("the request is truncated");
  lines.erase(lines.begin());
  lines.pop_back();
  return lines;
}

// A startup file's entry carries its content's size and hash too.
bool InFolder(Section section) {
  const catalogue::TPlace* place = catalogue::PlaceOf(section);
  return place && place->Kind().ComparedBy().content;
}

void CheckKey(const catalogue::TPlace& place, const catalogue::TEntryKey& key) {
  switch (place.Kind().NameFits(place, key)) {
    case catalogue::NameFit::Fits: return;
    case catalogue::NameFit::NotCounted: Refuse("a value is not one its place counts");
    case catalogue::NameFit::Climbs: Refuse("a value name climbs out of its place");
  }
}

std::string EntryFields(const TRequestedEntry& entry) {
  std::string fields = Hex(entry.name) + " " + Hex(entry.valueName.Text()) + " " + Hex(entry.command) + " " +
                       std::to_string(entry.valueType) + " " + Hex(entry.data);
  if (InFolder(entry.section)) fields += " " + std::to_string(entry.contentSize) + " " + Hex(entry.contentHash);
  return fields;
}

// A startup folder's entry also carries its file's content size and hash.
std::size_t EntryFieldCount(Section section) { return InFolder(section) ? 7 : 5; }

constexpr std::size_t kHashBytes = 32;

TRequestedEntry EntryOf(Section section, const std::vector<std::string>& fields, std::size_t at) {
  TRequestedEntry entry;
  entry.section = section;
  const catalogue::TPlace& place = *catalogue::PlaceOf(section);
  entry.name = Unhex(fields[at]);
  entry.valueName = place.Kind().KeyOf(place, Unhex(fields[at + 1]));
  entry.command = Unhex(fields[at + 2]);
  entry.valueType = static_cast<std::uint32_t>(Number(fields[at + 3], 0xFFFFFFFFu));
  const std::string data = Unhex(fields[at + 4]);
  entry.data.assign(data.begin(), data.end());
  // The catalogue holds no entry without a command.
  if (entry.command.empty()) Refuse("an entry has no command");
  CheckKey(place, entry.valueName);
  if (InFolder(section)) {
    entry.contentSize = Number(fields[at + 5], std::numeric_limits<std::uint64_t>::max());
    entry.contentHash = Unhex(fields[at + 6]);
    // An unread file has neither size nor hash: one spelling for it.
    if (entry.contentHash.size() != kHashBytes && !(entry.contentHash.empty() && entry.contentSize == 0))
      Refuse("a file's content is malformed");
  }
  return entry;
}

Section PlaceSection(const std::string& field) {
  const Section section = static_cast<Section>(Number(field, catalogue::kSectionCount - 1));
  const catalogue::TPlace* place = catalogue::PlaceOf(section);
  if (!place || !ElevatedUndoAllowed(*place)) Refuse("a place is not one an administrator may undo");
  return section;
}

TUndoOperation UndoOf(const std::vector<std::string>& fields) {
  TUndoOperation undo;
  if (fields[0] != "delete" && fields[0] != "write") Refuse("an operation is not an undo");
  const Section section = PlaceSection(fields[1]);
  const std::size_t n = EntryFieldCount(section);
  if (fields[0] == "delete") {
    if (fields.size() != 2 + n) Refuse("a deletion is malformed");
    undo.writeBack = EntryOf(section, fields, 2);
    undo.enabled = false;
    undo.hasNow = true;
    undo.now = undo.writeBack;
    // Disabled, a boot or system driver could leave Windows unable to start.
    const bool service = catalogue::PlaceOf(section)->Kind().HoldsDrivers();
    if (service && !undo.now.valueName.BelowSubkey() && undo.now.valueType < platform::kServiceAutoStart)
      Refuse("a boot or system driver is not disabled as administrator");
    return undo;
  }
  const bool overNothing = fields.size() == 2 + n + 2 && fields.back() == "none";
  if ((fields.size() != 2 + n * 2 + 1 && !overNothing) || fields[2 + n] != "over") Refuse("a write-back is malformed");
  undo.writeBack = EntryOf(section, fields, 2);
  if (!ElevatedWriteAllowed(*catalogue::PlaceOf(section), undo.writeBack.valueName))
    Refuse("a write-back as administrator is not allowed at this place");
  undo.enabled = true;
  undo.hasNow = !overNothing;
  if (undo.hasNow) {
    undo.now = EntryOf(section, fields, 3 + n);
    // A write-back puts back the value that is there now, never another one.
    if (!text::SameTextAscii(undo.now.valueName.Text(), undo.writeBack.valueName.Text())) Refuse("a write-back names two values");
  }
  return undo;
}

std::string CheckedMessageFile(const std::string& path) {
  const bool drivePath = path.size() > 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                         path[1] == ':' && path[2] == '\\';
  if (!drivePath || path.size() > kMaxPathChars || text::ClimbsOrIsEmpty(path.substr(3)))
    Refuse("the program file is no plain local path");
  for (const unsigned char c : path)
    if (c < 0x20) Refuse("the program file is no plain local path");
  if (path.size() < 4 || !text::SameTextAscii(path.substr(path.size() - 4), ".exe"))
    Refuse("the program file is no program");
  return path;
}

}  // namespace

bool ElevatedUndoAllowed(const catalogue::TPlace& place) { return place.Kind().UndoneAsAdministrator(place); }

bool ElevatedWriteAllowed(const catalogue::TPlace& place, const catalogue::TEntryKey& key) {
  return place.Kind().WrittenAsAdministrator(place, key);
}

std::string EncodeRequest(const TElevatedRequest& request) {
  std::string text = std::string(kRequestHeader) + "\n";
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile) {
    text += "register-message-file " + Hex(request.messageFile) + "\n";
  } else {
    text += "undo\n";
    for (const TUndoOperation& undo : request.undos) {
      const std::string section = std::to_string(undo.writeBack.section);
      if (!undo.enabled)
        text += "delete " + section + " " + EntryFields(undo.writeBack) + "\n";
      else
        text += "write " + section + " " + EntryFields(undo.writeBack) + " over " +
                (undo.hasNow ? EntryFields(undo.now) : std::string("none")) + "\n";
    }
  }
  return text + kEnd + "\n";
}

TElevatedRequest ParseRequest(const std::string& text) {
  const std::vector<std::string> lines = Lines(text, kRequestHeader);
  if (lines.empty()) Refuse("the request names nothing to do");
  TElevatedRequest request;
  const std::vector<std::string> verb = Fields(lines.front());
  if (verb.size() == 2 && verb[0] == "register-message-file") {
    if (lines.size() != 1) Refuse("the request holds more than one verb");
    request.kind = TElevatedRequest::Kind::RegisterMessageFile;
    request.messageFile = CheckedMessageFile(Unhex(verb[1]));
    return request;
  }
  if (verb.size() != 1 || verb[0] != "undo") Refuse("the request's verb is unknown");
  if (lines.size() == 1) Refuse("the request names nothing to do");
  if (lines.size() - 1 > kMaxUndosPerRequest) Refuse("the request holds too many entries");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> fields = Fields(lines[i]);
    if (fields.size() == 1 || (fields.size() == 2 && fields[0] == "register-message-file"))
      Refuse("the request holds more than one verb");
    request.undos.push_back(UndoOf(fields));
  }
  return request;
}

}  // namespace korvalis::app
