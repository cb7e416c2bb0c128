#pragma once
// One entry as its place holds it: what finds it there and what it takes to compare it and to
// put it back. The catalogue's entry is one, the baseline keeps one for each accepted entry and
// the elevated request carries them; each file format has one codec for it.
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/EntryKey.h"
#include "catalogue/Sections.h"

namespace korvalis::catalogue {

struct TEntryRecord {
  Section section = 0;
  std::string name;     // any bytes, NUL included
  TEntryKey valueName;  // where in its place: TStartup::ValueName
  std::string command;  // never empty in the catalogue, which holds no entry without one
  std::uint32_t valueType = 0;
  std::int32_t iconIndex = 0;
  // The bytes to put back: a folder's file, a registry value's bytes, a task's definition.
  std::vector<std::uint8_t> data;
  // A startup folder's file by its content: its size and the SHA-256 of its bytes (32 bytes;
  // empty when the file is no file of a folder, or could not be read).
  std::uint64_t contentSize = 0;
  std::string contentHash = {};

  bool operator==(const TEntryRecord& other) const {
    return section == other.section && name == other.name && valueName == other.valueName &&
           command == other.command && valueType == other.valueType && iconIndex == other.iconIndex &&
           data == other.data && contentSize == other.contentSize && contentHash == other.contentHash;
  }
};

}  // namespace korvalis::catalogue
