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

constexpr std::array<ReadOrder, 6> kRegistryOrder = {{{7, 4}, {6, 4}, {5, 0}, {4, 0}, {9, 0}, {8, 0}}};

enum class ValueText { Text, Nothing };

// The value as a command line. Throws for a value that cannot be read or is not a string.
ValueText ReadCommand(platform::RegistryKey& key, const std::string& name, std::string& command) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  const platform::Status status = platform::ReadValueBytes(key, name, type, bytes);
  if (status == platform::kErrorFileNotFound) return ValueText::Nothing;  // vanished meanwhile
  if (status != platform::kSuccess) throw Error(FormatText("Failed to get data for '%s'", name));
  if (bytes.empty()) return ValueText::Nothing;
  if (!platform::IsStringType(type)) throw InvalidDataTypeError(name);
  command = platform::TextOfBytes(bytes);
  return ValueText::Text;
}

}  // namespace

void TStartups::LoadRegistry(SectionSet sections, ReadProblems* problems) {
  for (const ReadOrder& order : kRegistryOrder) {
    if (!sections.Contains(order.section)) continue;
    LoadKey(order.section, problems);
  }
}

void TStartups::LoadKey(Section section, ReadProblems* problems) {
  const int iconIndex = (section == 6 || section == 7) ? 4 : 0;
  // Reading needs no more than the rights to query, enumerate and be notified, so a user who
  // may not write a key still sees what is in it.
  platform::OpenedKey opened = platform_.registry.OpenKey(
      SectionRoot(section), platform::PathFromRoot(SectionKey(section)), platform::KeyAccess::Read);
  if (!opened) return;
  std::vector<std::string> names;
  platform::ReadValueNames(*opened.key, names);
  for (const auto& name : names) {
    std::string command;
    try {
      if (ReadCommand(*opened.key, name, command) == ValueText::Nothing) continue;
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
