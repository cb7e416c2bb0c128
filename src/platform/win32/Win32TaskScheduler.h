#pragma once
// The scheduled tasks through the Task Scheduler 2.0 API. Where the API enumerates nothing (as
// under Wine), the definition files in the system's Tasks folder stand in for the reading, and
// a registration also writes the whole definition there.
#include "platform/TaskScheduler.h"

namespace korvalis::platform::win32 {

class Win32TaskScheduler : public TaskScheduler {
 public:
  Status ListTasks(std::vector<RegisteredTask>& tasks) override;
  Status ReadTask(const std::string& path, std::string& xml) override;
  Status DeleteTask(const std::string& path) override;
  Status RegisterTask(const std::string& path, const std::string& xml) override;
  std::unique_ptr<ChangeWatch> Watch() override;
};

}  // namespace korvalis::platform::win32
