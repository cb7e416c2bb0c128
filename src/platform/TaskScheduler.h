#pragma once
// The scheduled tasks the system keeps: each by its path ("\Folder\Task") and its definition,
// the XML the system stores it as.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ChangeWatch.h"
#include "platform/SystemCodes.h"

namespace korvalis::platform {

struct RegisteredTask {
  std::string path;  // as UTF-8 text, like every name of a task
  std::string xml;   // as UTF-8 text
};

class TaskScheduler {
 public:
  virtual ~TaskScheduler() = default;
  // Every registered task the caller may see, hidden ones included, in no particular order.
  // Fails only when nothing at all could be read.
  virtual Status ListTasks(std::vector<RegisteredTask>& tasks) = 0;
  // One task's definition, without listing the others: kErrorFileNotFound for no such task.
  virtual Status ReadTask(const std::string& path, std::string& xml) = 0;
  // kErrorFileNotFound for no such task, kErrorAccessDenied for one the caller may not delete.
  virtual Status DeleteTask(const std::string& path) = 0;
  // Registers the definition under the path, replacing the task there.
  virtual Status RegisterTask(const std::string& path, const std::string& xml) = 0;
  // A notification of tasks registered, changed or deleted; none where nothing can be watched.
  virtual std::unique_ptr<ChangeWatch> Watch() = 0;
};

// Files are bounded by what a definition can sensibly hold, so a planted giant is no burden.
constexpr std::size_t kMaxTaskDefinitionBytes = 1u << 20;

// A definition file's bytes as UTF-8 text: UTF-16 by its byte-order mark (either order), else
// UTF-8 with any mark dropped. An unpaired surrogate becomes U+FFFD.
std::string TaskFileText(const std::vector<std::uint8_t>& bytes);
// The definition as the system's tools read a file back: UTF-16LE with its mark.
std::vector<std::uint8_t> TaskFileBytes(const std::string& xml);

}  // namespace korvalis::platform
