#include "platform/memory/MemoryEventLog.h"

namespace korvalis::platform::memory {

std::uintptr_t MemoryEventLog::Open(const std::string& source) {
  if (openFails) return 0;
  ++opened;
  sources_.push_back(source);
  return sources_.size();
}

bool MemoryEventLog::Report(std::uintptr_t handle, std::uint16_t type, std::uint16_t category, std::uint32_t eventId,
                            const std::vector<std::string>& strings) {
  if (handle == 0 || handle > sources_.size() || reportFails) return false;
  records.push_back(EventRecord{sources_[handle - 1], type, category, eventId, strings});
  return true;
}

void MemoryEventLog::Close(std::uintptr_t handle) {
  if (handle != 0) ++closed;
}

}  // namespace korvalis::platform::memory
