// The message loop with more watches than one wait of the system takes: a watch past the 63rd
// wakes it as soon as it fires, and nothing else does, also once the watches are renewed.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/win32/Handles.h"
#include "ui/Application.h"

namespace korvalis::ui {
namespace {

using platform::win32::UniqueEvent;

std::vector<UniqueEvent> Events(int count) {
  std::vector<UniqueEvent> events;
  for (int i = 0; i < count; ++i) events.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return events;
}

int FirstSet(const std::vector<UniqueEvent>& events) {
  for (std::size_t i = 0; i < events.size(); ++i)
    if (WaitForSingleObject(events[i].get(), 0) == WAIT_OBJECT_0) return static_cast<int>(i);
  return -1;
}

// Sets the event after longer than the once-a-second look the loop used to take at the rest.
std::thread SetLater(HANDLE event) {
  return std::thread([event] {
    Sleep(1300);
    SetEvent(event);
  });
}

TEST(MessageLoopTest, AWatchPastTheSixtyThirdWakesTheLoopAloneAlsoOnceTheWatchesAreRenewed) {
  std::vector<UniqueEvent> events = Events(70);
  std::vector<std::thread> setters;
  std::vector<int> fired;
  int looks = 0;
  TApplication& application = Application();
  application.WaitHandles = [&] {
    ++looks;
    std::vector<HANDLE> handles;
    for (const UniqueEvent& event : events) handles.push_back(event.get());
    return handles;
  };
  application.OnSignaled = [&] {
    fired.push_back(FirstSet(events));
    if (fired.size() == 2) {
      application.Terminate();
      return;
    }
    // Renewed as a check renews them: every event closed and made anew, its handle value
    // likely taken again by the new one.
    events = Events(70);
    setters.push_back(SetLater(events[65].get()));
  };
  // Ends a loop that never wakes, so the test fails instead of hanging.
  UniqueEvent finished(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const DWORD loopThread = GetCurrentThreadId();
  std::thread watchdog([&] {
    if (WaitForSingleObject(finished.get(), 20000) == WAIT_TIMEOUT) PostThreadMessageA(loopThread, WM_QUIT, 0, 0);
  });
  setters.push_back(SetLater(events[69].get()));

  application.Run();
  SetEvent(finished.get());
  watchdog.join();
  for (std::thread& setter : setters) setter.join();
  application.WaitHandles = nullptr;
  application.OnSignaled = nullptr;

  EXPECT_EQ(fired, (std::vector<int>{69, 65}));
  EXPECT_EQ(looks, 2);  // one wait for each watch that fired, no wake-up in between
}

}  // namespace
}  // namespace korvalis::ui
