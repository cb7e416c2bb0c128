#pragma once
// Waits on the handles one wait of the message loop cannot take (it takes 63 beside the
// messages): a thread for each 63 of them, setting one event the loop waits on instead.
#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"

namespace korvalis::ui {

class TWaiters {
 public:
  TWaiters();
  // Stops and joins every thread.
  ~TWaiters();
  TWaiters(const TWaiters&) = delete;
  TWaiters& operator=(const TWaiters&) = delete;

  // The threads wait on the handles until Stop; Woken is set as soon as any of them is.
  void Start(const std::vector<HANDLE>& handles);
  // Returns once no thread waits on a handle any more, so they may be closed; Woken is reset.
  void Stop();
  HANDLE Woken() const { return woken_.get(); }

 private:
  // The stop event first, then up to 63 handles.
  struct Waiter {
    Waiter();
    platform::win32::UniqueEvent go;    // auto-reset: one wait to make
    platform::win32::UniqueEvent done;  // manual-reset: no wait under way
    std::array<HANDLE, MAXIMUM_WAIT_OBJECTS> handles{};
    DWORD count = 0;
    std::thread thread;
    std::atomic<bool> alive{false};  // false: no thread, or one that has ended
  };
  void Wait(Waiter& waiter);

  platform::win32::UniqueEvent woken_;
  platform::win32::UniqueEvent stop_;
  std::atomic<bool> quit_{false};
  std::vector<std::unique_ptr<Waiter>> waiters_;
  std::size_t started_ = 0;  // waiters with a wait under way since Start
};

}  // namespace korvalis::ui
