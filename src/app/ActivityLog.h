#pragma once
// A small text log of what the program did and decided, in the user's local application-data
// folder. It never fails: a log that cannot be written is simply not written.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace korvalis::app {

class TActivityLog {
 public:
  using Clock = std::function<std::string()>;  // the time stamp put before each line
  static constexpr std::size_t kDefaultLimit = 64 * 1024;

  TActivityLog(const platform::Platform& platform, Clock clock = LocalTime, std::size_t limit = kDefaultLimit);

  void Write(const std::string& line) noexcept;
  // Korvalis\korvalis.log in the local application-data folder; empty when there is none.
  std::string Path() const;
  // The time stamp a line written now would get.
  std::string Now() const { return clock_(); }

  static std::string LocalTime();

 private:
  platform::Platform platform_;
  Clock clock_;
  std::size_t limit_;
  // The file's length as far as this log knows it; unknown until the first line, or after a failure.
  std::optional<std::size_t> size_;
};

}  // namespace korvalis::app
