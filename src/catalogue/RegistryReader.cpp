// Reading the registry sections into the catalogue.
#include <algorithm>
#include <array>

#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"

namespace korvalis::catalogue {

namespace {

struct ReadOrder {
  Section section;
  std::int32_t iconIndex;
};

// The services' entries carry their own display tag.
constexpr std::int32_t kServiceIcon = 4;
constexpr std::array<ReadOrder, 6> kRegistryOrder = {{{kLocalMachineServiceOnce, kServiceIcon},
                                                      {kLocalMachineServices, kServiceIcon},
                                                      {kLocalMachineRunOnce, 0},
                                                      {kLocalMachineRun, 0},
                                                      {kCurrentUserRunOnce, 0},
                                                      {kCurrentUserRun, 0}}};

enum class ValueText { Text, Nothing };

// The value as a command line. Throws for a value that cannot be read or is not a string.
ValueText CommandOf(const std::string& name, platform::Status status, std::uint32_t type,
                    const std::vector<std::uint8_t>& bytes, std::string& command) {
  if (status == platform::kErrorFileNotFound) return ValueText::Nothing;  // vanished meanwhile
  if (status != platform::kSuccess) throw Error(FormatText("Failed to get data for '%s'", name));
  if (bytes.empty()) return ValueText::Nothing;
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

}  // namespace

void TStartups::LoadRegistry(SectionSet sections, ReadProblems* problems) {
  for (const ReadOrder& order : kRegistryOrder) {
    if (!sections.Contains(order.section)) continue;
    LoadKey(order.section, order.iconIndex, problems);
  }
}

void TStartups::LoadKey(Section section, std::int32_t iconIndex, ReadProblems* problems) {
  // Reading needs no more than the rights to query, enumerate and be notified, so a user who
  // may not write a key still sees what is in it.
  platform::OpenedKey opened = platform_.registry.OpenKey(
      SectionRoot(section), platform::PathFromRoot(SectionKey(section)), platform::KeyAccess::Read);
  if (!opened) return;
  for (const RawValue& value : ReadValues(*opened.key)) {
    const std::string& name = value.name;
    if (value.sizeUnknown) {
      // No text and nothing to report; but its absence from this reading is no removal either.
      if (problems) problems->unreadableNames.push_back(name);
      continue;
    }
    std::string command;
    try {
      if (CommandOf(name, value.status, value.type, value.bytes, command) == ValueText::Nothing) continue;
    } catch (const Error& error) {
      if (!problems) throw;
      problems->messages.push_back(error.what());
      if (!dynamic_cast<const InvalidDataTypeError*>(&error)) problems->unreadableNames.push_back(name);
      continue;
    }
    Add(name, std::string(), command, section, iconIndex);
  }
}

}  // namespace korvalis::catalogue
