#pragma once
#include "platform/Services.h"

namespace korvalis::platform::win32 {

class Win32Services : public ServiceControl {
 public:
  Status SetStartType(const std::string& name, std::uint32_t startType) override;
  Status SetImagePath(const std::string& name, const std::string& imagePath) override;
  Status Stop(const std::string& name) override;
  bool IsRunning(const std::string& name) override;
};

}  // namespace korvalis::platform::win32
