#pragma once
// Settings kept in the registry as text: a key below a root, sections as its subkeys, names
// as values. Every value is written as REG_SZ text (integers in decimal, Booleans "0"/"1")
// and read back with the caller's default when it is missing or not a number.
#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace korvalis::platform {

class TRegistrySettings {
 public:
  // Opens the key, creating it when missing; a key that cannot be opened reads as empty and
  // fails every write.
  TRegistrySettings(Registry& registry, RootKey root, const std::string& path);
  TRegistrySettings(const TRegistrySettings&) = delete;
  TRegistrySettings& operator=(const TRegistrySettings&) = delete;

  bool IsOpen() const { return opened_.status == kSuccess; }

  // Fails with "Invalid data type for '%s'" for a value that is not a string.
  std::string ReadString(const std::string& section, const std::string& name, const std::string& fallback);
  std::int32_t ReadInteger(const std::string& section, const std::string& name, std::int32_t fallback);
  bool ReadBool(const std::string& section, const std::string& name, bool fallback);
  // Fails with "Failed to create key %s" or "Failed to set data for '%s'".
  void WriteString(const std::string& section, const std::string& name, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& name, std::int32_t value);
  void WriteBool(const std::string& section, const std::string& name, bool value);

 private:
  std::string SectionPath(const std::string& section) const;

  Registry& registry_;
  RootKey root_;
  std::string path_;
  OpenedKey opened_;
};

// The decimal integer a text holds: an optional sign and digits within 32 bits, nothing else.
bool ParseInteger(const std::string& text, std::int32_t& value);

}  // namespace korvalis::platform
