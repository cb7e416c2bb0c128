#pragma once
#include "platform/Environment.h"

namespace korvalis::platform::win32 {

class Win32Environment : public Environment {
 public:
  bool Variable(const std::string& name, std::string& value) override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  std::string ProgramPath() override;
  bool UserName(std::uint32_t bufferChars, std::string& name) override;
  bool PlatformId(std::uint32_t& id) override;
  std::string LocalAppDataFolder() override;
};

}  // namespace korvalis::platform::win32
