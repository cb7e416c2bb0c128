#pragma once
// The system's event log: open a source, report one record, close.
#include <cstdint>
#include <string>
#include <vector>

namespace korvalis::platform {

class EventLogApi {
 public:
  virtual ~EventLogApi() = default;
  // A handle for the source on the local computer; 0 when it cannot be opened.
  virtual std::uintptr_t Open(const std::string& source) = 0;
  virtual bool Report(std::uintptr_t handle, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                      const std::vector<std::string>& strings) = 0;
  virtual void Close(std::uintptr_t handle) = 0;
};

}  // namespace korvalis::platform
