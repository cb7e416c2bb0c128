#pragma once
#include <string>
#include <vector>

#include "platform/EventLogApi.h"

namespace korvalis::platform::memory {

struct EventRecord {
  std::string source;
  std::uint16_t type = 0;
  std::uint16_t category = 0;
  std::uint32_t eventId = 0;
  std::vector<std::string> strings;
};

class MemoryEventLog : public EventLogApi {
 public:
  std::uintptr_t Open(const std::string& source) override;
  bool Report(std::uintptr_t handle, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
              const std::vector<std::string>& strings) override;
  void Close(std::uintptr_t handle) override;

  bool openFails = false;
  bool reportFails = false;
  std::vector<EventRecord> records;
  int opened = 0;
  int closed = 0;

 private:
  std::vector<std::string> sources_;  // by handle - 1
};

}  // namespace korvalis::platform::memory
