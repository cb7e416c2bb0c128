#pragma once
#include <map>
#include <string>

#include "platform/Environment.h"

namespace korvalis::platform::memory {

class MemoryEnvironment : public Environment {
 public:
  bool Variable(const std::string& name, std::string& value) override;
  std::string WindowsFolder() override { return windowsFolder; }
  std::string SystemFolder() override { return systemFolder; }
  std::string ProgramPath() override { return programPath; }
  bool UserName(std::uint32_t bufferChars, std::string& name) override;
  bool PlatformId(std::uint32_t& id) override;
  std::string LocalAppDataFolder() override { return localAppData; }

  void SetVariable(const std::string& name, const std::string& value) { variables_[name] = value; }
  void UnsetVariable(const std::string& name) { variables_.erase(name); }

  std::string windowsFolder = "C:\\WINDOWS";
  std::string systemFolder = "C:\\WINDOWS\\system32";
  std::string programPath = "C:\\Program Files\\Korvalis\\korvalis.exe";
  std::string userName = "alice";
  bool userNameFails = false;
  std::uint32_t platformId = 2;
  bool versionFails = false;
  std::string localAppData = "C:\\users\\alice\\AppData\\Local";

 private:
  std::map<std::string, std::string> variables_;
};

}  // namespace korvalis::platform::memory
