#pragma once
// The scheduled tasks through the Task Scheduler 2.0 API. Where the API enumerates nothing (as
// under Wine), the definition files in the system's Tasks folder stand in for the reading, and
// a registration also writes the whole definition there.
#include <atomic>

#include "platform/TaskScheduler.h"

namespace korvalis::platform::win32 {

class Win32TaskScheduler : public TaskScheduler {
 public:
  Status ListTasks(std::vector<RegisteredTask>& tasks) override;
  Status ReadTask(const std::string& path, std::string& xml) override;
  Status DeleteTask(const std::string& path) override;
  Status RegisterTask(const std::string& path, const std::string& xml) override;
  std::unique_ptr<ChangeWatch> Watch() override;

 private:
  // Whether the API lists the tasks itself; where it does not, their files stand in.
  bool ApiLists();

  enum class Listing { Unknown, Api, Files };
  // Learnt once: whether the API lists is the system's own (Wine's listing is a stub), not a call's.
  std::atomic<Listing> listing_{Listing::Unknown};
};

}  // namespace korvalis::platform::win32
