#pragma once
#include "platform/Shell.h"

namespace korvalis::platform::win32 {

class Win32Shell : public Shell {
 public:
  std::string SpecialFolderPath(int csidl, WindowHandle owner) override;
  std::string SpecialFolderPathEvenIfMissing(int csidl) override;
  CreatedLink CreateShellLink(bool inProcessOnly) override;
  std::intptr_t Execute(WindowHandle parent, const std::string& verb, const std::string& file,
                        const std::string& parameters, const std::string& folder, int showCommand) override;
};

}  // namespace korvalis::platform::win32
