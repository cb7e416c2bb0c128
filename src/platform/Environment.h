#pragma once
// Facts about the running process and system.
#include <cstdint>
#include <string>

namespace korvalis::platform {

class Environment {
 public:
  virtual ~Environment() = default;
  // False when the variable is not set.
  virtual bool Variable(const std::string& name, std::string& value) = 0;
  virtual std::string WindowsFolder() = 0;
  virtual std::string SystemFolder() = 0;
  // Full path of the running program file.
  virtual std::string ProgramPath() = 0;
  // The user of the calling thread; false when the name and its NUL need more than
  // bufferChars, or the system cannot tell.
  virtual bool UserName(std::uint32_t bufferChars, std::string& name) = 0;
  // The platform identifier of the version record; false when the system cannot tell.
  virtual bool PlatformId(std::uint32_t& id) = 0;
  // The user's local application-data folder.
  virtual std::string LocalAppDataFolder() = 0;
};

}  // namespace korvalis::platform
