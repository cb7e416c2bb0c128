#pragma once
// The registry accessor that one save or restore of a form's stored state works through:
// one key below a root, and one section (subkey) of it that holds the values.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Registry.h"
#include "platform/RegistrySettings.h"

namespace korvalis::shell {

enum class TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };

class PlacementStore {
 public:
  enum class Purpose { Restore, Save };

  // The key is opened under the current user first, created when missing, whatever the root.
  // Under another root a restore never creates it; a root the platform lacks reads as empty
  // and fails every write.
  PlacementStore(platform::Registry& registry, TPlacementRegRoot root, const std::string& keyPath,
                 std::string section, Purpose purpose);
  PlacementStore(const PlacementStore&) = delete;
  PlacementStore& operator=(const PlacementStore&) = delete;

  // Fails with "Invalid data type for '%s'" for a value that is not a string.
  std::string ReadString(const std::string& name, const std::string& fallback);
  std::int32_t ReadInteger(const std::string& name, std::int32_t fallback);
  // Fails with "Failed to create key %s" or "Failed to set data for '%s'".
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, std::int32_t value);
  void WriteBool(const std::string& name, bool value);

 private:
  std::string section_;
  std::optional<platform::TRegistrySettings> settings_;
};

}  // namespace korvalis::shell
