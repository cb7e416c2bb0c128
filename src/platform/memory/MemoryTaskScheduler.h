#pragma once
// Scheduled tasks in memory, with the system's rights: a standard user sees the machine's
// tasks but may neither delete nor replace them.
#include <map>
#include <optional>

#include "platform/TaskScheduler.h"

namespace korvalis::platform::memory {

class MemoryTaskScheduler : public TaskScheduler {
 public:
  // A task of the machine (registered by an administrator or the system), or of the user.
  void AddTask(const std::string& path, const std::string& xml, bool machine = false);
  std::optional<std::string> Definition(const std::string& path) const;

  Status ListTasks(std::vector<RegisteredTask>& tasks) override;
  Status ReadTask(const std::string& path, std::string& xml) override;
  Status DeleteTask(const std::string& path) override;
  Status RegisterTask(const std::string& path, const std::string& xml) override;
  std::unique_ptr<ChangeWatch> Watch() override;

  bool standardUser = false;
  Status listingFails = kSuccess;  // what ListTasks answers instead of listing
  std::uint64_t listings = 0;      // how often every task was read

 private:
  struct Task {
    std::string path;  // as registered
    std::string xml;
    bool machine = false;
  };
  std::map<std::string, Task> tasks_;  // by the path in capitals: task names ignore case
  std::uint64_t generation_ = 0;
};

}  // namespace korvalis::platform::memory
