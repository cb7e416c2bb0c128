#pragma once
// A change notification armed on one key or folder: Signaled() once it changed.
#include <cstdint>

namespace korvalis::platform {

class ChangeWatch {
 public:
  ChangeWatch() = default;
  virtual ~ChangeWatch() = default;
  // Owns a system handle: a copy would close it twice.
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;
  virtual bool Signaled() = 0;
  // The event handle of a real watch, for waiting on several at once; 0 otherwise.
  virtual std::uintptr_t NativeEvent() const { return 0; }
};

}  // namespace korvalis::platform
