// Reading the registry sections into the catalogue.
#include <algorithm>
#include <array>

#include "catalogue/Places.h"
#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {

enum class ValueText { Text, Nothing };

constexpr const char* kBackslashInName = "Cannot guard the value '%s': its name holds a backslash";

// REG_MULTI_SZ data as one line: its strings joined by blanks, empty strings left out.
std::string JoinedMultiString(const std::vector<std::uint8_t>& bytes) {
  std::string joined, part;
  const auto flush = [&] {
    if (part.empty()) return;
    if (!joined.empty()) joined += ' ';
    joined += part;
    part.clear();
  };
  for (const std::uint8_t byte : bytes) {
    if (byte == 0)
      flush();
    else
      part += static_cast<char>(byte);
  }
  flush();
  return joined;
}

// A little-endian number as "0x" and its hexadecimal digits, as the registry tools show it.
std::string HexNumber(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t number = 0;
  for (std::size_t i = std::min<std::size_t>(bytes.size(), 8); i-- > 0;) number = number << 8 | bytes[i];
  static const char digits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), digits[number & 0xf]);
    number >>= 4;
  } while (number != 0);
  return "0x" + text;
}

// An approval value's bytes as the registry tools show binary data, so each byte counts.
std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 0xf];
  }
  return text;
}

// The value as a command line. Throws for a value that cannot be read or is not a string.
ValueText CommandOf(const TPlace& place, const std::string& name, platform::Status status, std::uint32_t type,
                    const std::vector<std::uint8_t>& bytes, std::string& command) {
  if (status == platform::kErrorFileNotFound) return ValueText::Nothing;  // vanished meanwhile
  if (status != platform::kSuccess) throw Error(FormatText("Failed to get data for '%s'", name));
  if (bytes.empty()) return ValueText::Nothing;
  if (place.multiString && type == platform::kRegMultiSz) {
    command = JoinedMultiString(bytes);
    return command.empty() ? ValueText::Nothing : ValueText::Text;
  }
  if (place.approves) {
    command = HexBytes(bytes);
    return ValueText::Text;
  }
  if (place.numbers && (type == platform::kRegDword || type == platform::kRegQword)) {
    command = HexNumber(bytes);
    return ValueText::Text;
  }
  if (!platform::IsStringType(type)) throw InvalidDataTypeError(name);
  command = platform::TextOfBytes(bytes);
  return ValueText::Text;
}

struct RawValue {
  std::string name;
  platform::Status status = platform::kSuccess;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  bool byName = false;       // to be read by its name after the enumeration
  bool sizeUnknown = false;  // its size could not be queried: it reads as empty text
};

// Every value of the key, name, type and data read in one call each. A value that outgrew the
// sizes the key reported, or could not be read that way, is read by name once the enumeration
// is over, so a value vanishing meanwhile cannot shift the enumeration past another one.
// Values added after the count was taken are not read.
std::vector<RawValue> ReadValues(platform::RegistryKey& key) {
  std::vector<RawValue> values;
  platform::KeyInfo info;
  if (key.QueryInfo(info) != platform::kSuccess) return values;
  std::vector<std::uint8_t> buffer(info.maxValueDataBytes);
  for (std::uint32_t index = 0; index < info.valueCount; ++index) {
    RawValue value;
    std::uint32_t size = 0;
    const platform::Status status =
        key.EnumValue(index, info.maxValueNameChars + 1, value.name, value.type, buffer, size);
    if (status == platform::kErrorNoMoreItems) break;
    if (status == platform::kSuccess) {
      value.bytes.assign(buffer.begin(), buffer.begin() + std::min<std::size_t>(size, buffer.size()));
    } else {
      if (key.EnumValueName(index, platform::kMaxValueNameChars + 1, value.name) != platform::kSuccess) continue;
      value.byName = true;
    }
    values.push_back(std::move(value));
  }
  for (RawValue& value : values) {
    if (!value.byName) continue;
    std::uint32_t size = 0;
    if (key.QueryValueInfo(value.name, value.type, size) != platform::kSuccess) {
      value.sizeUnknown = true;
      continue;
    }
    value.status = platform::ReadValueBytes(key, value.name, value.type, value.bytes);
  }
  return values;
}

// Whether the walk goes into the subkey `name` on `level`.
bool Walked(platform::Registry& registry, const TPlace& place, int level, const std::string& name) {
  if (level == place.lastLevel && !place.lastKeys.empty() &&
      std::none_of(place.lastKeys.begin(), place.lastKeys.end(),
                   [&](const std::string& kept) { return text::SameTextAscii(kept, name); }))
    return false;
  if (level != 1 || place.shadowed.empty()) return true;
  return bool(registry.OpenKey(platform::RootKey::LocalMachine, place.shadowed + "\\" + name,
                                         platform::KeyAccess::Read, place.view));
}

}  // namespace

void TStartups::LoadPlace(const TPlace& place, ReadProblems* problems) {
  platform::Registry& registry = platform_.registry;
  if (place.view == platform::RegistryView::Other && !registry.HasOtherView()) return;
  // Reading needs no more than the rights to query, enumerate and be notified, so a user who
  // may not write a key still sees what is in it.
  platform::OpenedKey opened = registry.OpenKey(place.root, place.path, platform::KeyAccess::Read, place.view);
  if (!opened) return;
  for (const std::string& below : place.keys) {
    platform::OpenedKey sub =
        registry.OpenKey(place.root, place.path + "\\" + below, platform::KeyAccess::Read, place.view);
    if (sub) LoadValues(place, *sub.key, below + "\\", problems);
  }
  if (!place.keys.empty()) return;
  // Down to the place's last level and no further, whatever a program nests below it.
  const auto walk = [&](const auto& self, platform::RegistryKey& key, const std::string& below, int level) -> void {
    if (level >= place.firstLevel) LoadValues(place, key, below, problems);
    if (level >= place.lastLevel) return;
    // The subkeys' names first: one vanishing meanwhile cannot shift the enumeration past another.
    std::vector<std::string> subkeys;
    std::string subkey;
    for (std::uint32_t index = 0; key.EnumSubkeyName(index, subkey) == platform::kSuccess; ++index)
      subkeys.push_back(subkey);
    for (const std::string& name : subkeys) {
      if (!Walked(registry, place, level + 1, name)) continue;
      platform::OpenedKey sub =
          registry.OpenKey(place.root, place.path + "\\" + below + name, platform::KeyAccess::Read, place.view);
      if (sub) self(self, *sub.key, below + name + "\\", level + 1);
    }
  };
  walk(walk, *opened.key, std::string(), 0);
}

void TStartups::LoadValues(const TPlace& place, platform::RegistryKey& key, const std::string& prefix,
                           ReadProblems* problems) {
  for (const RawValue& value : ReadValues(key)) {
    if (!place.Counts(value.name)) continue;
    const std::string name = prefix + value.name;
    if (place.BelowKey() && value.name.find('\\') != std::string::npos) {
      // Its entry would be put back under a subkey its name seems to give: shown, not guarded.
      if (!problems) throw Error(FormatText(kBackslashInName, name));
      problems->messages.push_back(FormatText(kBackslashInName, name));
      problems->unreadableNames.push_back(name);
      continue;
    }
    if (value.sizeUnknown) {
      // No text and nothing to report; but its absence from this reading is no removal either.
      if (problems) problems->unreadableNames.push_back(name);
      continue;
    }
    std::string command;
    try {
      if (CommandOf(place, name, value.status, value.type, value.bytes, command) == ValueText::Nothing) continue;
    } catch (const Error& error) {
      if (!problems) throw;
      problems->messages.push_back(error.what());
      if (!dynamic_cast<const InvalidDataTypeError*>(&error)) problems->unreadableNames.push_back(name);
      continue;
    }
    const TEntryKey key = prefix.empty() ? TEntryKey(value.name)
                                         : TEntryKey::Below(std::string_view(prefix).substr(0, prefix.size() - 1), value.name);
    TStartup* entry = AddEntry(name, key, std::string(), command, place.section, place.iconIndex);
    if (entry && place.keepsData) {
      entry->SetValueType(value.type);
      entry->LinkData() = value.bytes;
    }
  }
}

bool DisablesEntry(const TStartup& approval) {
  const std::vector<std::uint8_t>& bytes = approval.LinkData();
  return !bytes.empty() && (bytes[0] & 1u) != 0;
}

}  // namespace korvalis::catalogue
