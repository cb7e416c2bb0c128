#pragma once
// Work that reads files a program may have chosen (a pipe, a file held under an oplock, a slow
// drive), done on a thread of its own and waited for a bounded time. Work that takes longer is
// left to end on its own: it owns what it uses, except the platform, which outlives it.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace korvalis::app {

template <class T>
std::optional<T> RunBounded(std::function<T()> work, std::chrono::milliseconds limit) {
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<T> result;
  };
  auto state = std::make_shared<State>();
  try {
    std::thread([state, work = std::move(work)] {
      std::optional<T> result;
      try {
        result = work();
      } catch (...) {
        // Nothing escapes a thread: work that failed has no result.
      }
      const std::lock_guard<std::mutex> lock(state->mutex);
      state->result = std::move(result);
      state->done.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return std::nullopt;  // no thread to be had: the work is not done
  }
  std::unique_lock<std::mutex> lock(state->mutex);
  state->done.wait_for(lock, limit, [&] { return state->result.has_value(); });
  return state->result;
}

}  // namespace korvalis::app
