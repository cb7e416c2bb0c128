#pragma once
// An open event-log source, closed when it goes out of scope whatever happened meanwhile.
#include <cstdint>
#include <string>

#include "platform/EventLogApi.h"

namespace korvalis::eventlog {

class EventLogHandle {
 public:
  EventLogHandle(platform::EventLogApi& api, const std::string& source) : api_(api), handle_(api.Open(source)) {}
  ~EventLogHandle() {
    if (handle_ != 0) api_.Close(handle_);
  }
  EventLogHandle(const EventLogHandle&) = delete;
  EventLogHandle& operator=(const EventLogHandle&) = delete;

  explicit operator bool() const { return handle_ != 0; }
  std::uintptr_t Get() const { return handle_; }

 private:
  platform::EventLogApi& api_;
  std::uintptr_t handle_;
};

}  // namespace korvalis::eventlog
