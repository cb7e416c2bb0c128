#pragma once
#include "platform/EventLogApi.h"

namespace korvalis::platform::win32 {

class Win32EventLog : public EventLogApi {
 public:
  std::uintptr_t Open(const std::string& source) override;
  bool Report(std::uintptr_t handle, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
              const std::vector<std::string>& strings) override;
  void Close(std::uintptr_t handle) override;
};

}  // namespace korvalis::platform::win32
