#include "ui/Waiters.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Error.h"

namespace korvalis::ui {

namespace {
constexpr std::size_t kEach = MAXIMUM_WAIT_OBJECTS - 1;  // beside the stop event

HANDLE NewEvent(bool manualReset, bool set) {
  HANDLE event = CreateEventA(nullptr, manualReset, set, nullptr);
  if (!event) throw std::runtime_error("Cannot create an event to wait on");
  return event;
}
}  // namespace

TWaiters::Waiter::Waiter() : go(NewEvent(false, false)), done(NewEvent(true, true)) {}

TWaiters::TWaiters() : woken_(NewEvent(true, false)), stop_(NewEvent(true, false)) {}

TWaiters::~TWaiters() {
  Stop();
  quit_ = true;
  for (const std::unique_ptr<Waiter>& waiter : waiters_) {
    SetEvent(waiter->go.get());
    if (waiter->thread.joinable()) waiter->thread.join();
  }
}

void TWaiters::Start(const std::vector<HANDLE>& handles) {
  Stop();
  const std::size_t needed = (handles.size() + kEach - 1) / kEach;
  while (waiters_.size() < needed) waiters_.push_back(std::make_unique<Waiter>());
  for (std::size_t i = 0; i < needed; ++i) {
    Waiter& waiter = *waiters_[i];
    if (!waiter.alive) {
      if (waiter.thread.joinable()) waiter.thread.join();
      waiter.alive = true;
      waiter.thread = std::thread([this, &waiter] { Wait(waiter); });
    }
    // The thread is idle (done is set), waiting for go: its handles are the loop's to change.
    const std::size_t first = i * kEach, count = std::min(kEach, handles.size() - first);
    waiter.handles[0] = stop_.get();
    std::copy_n(handles.begin() + static_cast<std::ptrdiff_t>(first), count, waiter.handles.begin() + 1);
    waiter.count = static_cast<DWORD>(count + 1);
    ResetEvent(waiter.done.get());
    SetEvent(waiter.go.get());
    started_ = i + 1;
  }
}

void TWaiters::Stop() {
  if (started_ == 0) return;
  SetEvent(stop_.get());
  for (std::size_t i = 0; i < started_; ++i) WaitForSingleObject(waiters_[i]->done.get(), INFINITE);
  started_ = 0;
  ResetEvent(stop_.get());
  ResetEvent(woken_.get());
}

void TWaiters::Wait(Waiter& waiter) {
  // Only calls of the system run here, but nothing thrown may end the process from this thread.
  CatchAtBoundary(
      [&] {
        while (WaitForSingleObject(waiter.go.get(), INFINITE) == WAIT_OBJECT_0 && !quit_) {
          // A failed wait wakes the loop too: its check arms the watches anew.
          if (WaitForMultipleObjects(waiter.count, waiter.handles.data(), FALSE, INFINITE) != WAIT_OBJECT_0)
            SetEvent(woken_.get());
          SetEvent(waiter.done.get());
        }
      },
      [](const std::exception&) {});
  // Ended by the destructor, or by a failure: then the loop looks, and Start makes a new thread.
  waiter.alive = false;
  SetEvent(waiter.done.get());
  if (!quit_) SetEvent(woken_.get());
}

}  // namespace korvalis::ui
