#include "platform/RegistrySettings.h"

#include <limits>

#include "platform/Error.h"
#include "platform/RegistryValues.h"

namespace korvalis::platform {

TRegistrySettings::TRegistrySettings(Registry& registry, RootKey root, const std::string& path)
    : registry_(registry), root_(root), path_(PathFromRoot(path)) {
  opened_ = registry_.CreateKey(root_, path_, KeyAccess::All);
}

std::string TRegistrySettings::SectionPath(const std::string& section) const {
  return section.empty() ? path_ : path_ + "\\" + section;
}

std::string TRegistrySettings::ReadString(const std::string& section, const std::string& name,
                                          const std::string& fallback) {
  if (!IsOpen()) return fallback;
  OpenedKey key = registry_.OpenKey(root_, SectionPath(section), KeyAccess::Read);
  if (!key) return fallback;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (ReadValueBytes(*key.key, name, type, bytes) != kSuccess) return fallback;
  if (!IsStringType(type)) throw InvalidDataTypeError(name);
  return TextOfBytes(bytes);
}

std::int32_t TRegistrySettings::ReadInteger(const std::string& section, const std::string& name,
                                            std::int32_t fallback) {
  std::int32_t value = fallback;
  return ParseInteger(ReadString(section, name, std::to_string(fallback)), value) ? value : fallback;
}

bool TRegistrySettings::ReadBool(const std::string& section, const std::string& name, bool fallback) {
  return ReadInteger(section, name, fallback ? 1 : 0) != 0;
}

void TRegistrySettings::WriteString(const std::string& section, const std::string& name, const std::string& value) {
  OpenedKey key = IsOpen() ? registry_.CreateKey(root_, SectionPath(section), KeyAccess::Write) : OpenedKey{};
  if (!key) throw Error(FormatText("Failed to create key %s", section));
  if (key.key->SetValue(name, kRegSz, StringBytes(value)) != kSuccess)
    throw Error(FormatText("Failed to set data for '%s'", name));
}

void TRegistrySettings::WriteInteger(const std::string& section, const std::string& name, std::int32_t value) {
  WriteString(section, name, std::to_string(value));
}

void TRegistrySettings::WriteBool(const std::string& section, const std::string& name, bool value) {
  WriteString(section, name, value ? "1" : "0");
}

bool ParseInteger(const std::string& text, std::int32_t& value) {
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (at == text.size()) return false;
  long long magnitude = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) return false;
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(signedValue);
  return true;
}

}  // namespace korvalis::platform
