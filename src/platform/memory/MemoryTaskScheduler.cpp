#include "platform/memory/MemoryTaskScheduler.h"

#include "text/StrMan.h"

namespace korvalis::platform::memory {

namespace {
class GenerationWatch : public ChangeWatch {
 public:
  explicit GenerationWatch(const std::uint64_t& counter) : counter_(counter), armedAt_(counter) {}
  bool Signaled() override { return counter_ != armedAt_; }

 private:
  const std::uint64_t& counter_;
  std::uint64_t armedAt_;
};
}  // namespace

void MemoryTaskScheduler::AddTask(const std::string& path, const std::string& xml, bool machine) {
  tasks_[text::UpperAscii(path)] = Task{path, xml, machine};
  ++generation_;
}

std::optional<std::string> MemoryTaskScheduler::Definition(const std::string& path) const {
  const auto found = tasks_.find(text::UpperAscii(path));
  if (found == tasks_.end()) return std::nullopt;
  return found->second.xml;
}

Status MemoryTaskScheduler::ListTasks(std::vector<RegisteredTask>& tasks) {
  tasks.clear();
  ++listings;
  if (listingFails != kSuccess) return listingFails;
  for (const auto& [key, task] : tasks_) tasks.push_back(RegisteredTask{task.path, task.xml});
  return kSuccess;
}

Status MemoryTaskScheduler::ReadTask(const std::string& path, std::string& xml) {
  const auto found = tasks_.find(text::UpperAscii(path));
  if (found == tasks_.end()) return kErrorFileNotFound;
  xml = found->second.xml;
  return kSuccess;
}

Status MemoryTaskScheduler::DeleteTask(const std::string& path) {
  const auto found = tasks_.find(text::UpperAscii(path));
  if (found == tasks_.end()) return kErrorFileNotFound;
  if (found->second.machine && standardUser) return kErrorAccessDenied;
  tasks_.erase(found);
  ++generation_;
  return kSuccess;
}

Status MemoryTaskScheduler::RegisterTask(const std::string& path, const std::string& xml) {
  if (path.empty() || path[0] != '\\' || path.back() == '\\') return kErrorInvalidParameter;
  const auto found = tasks_.find(text::UpperAscii(path));
  if (found != tasks_.end() && found->second.machine && standardUser) return kErrorAccessDenied;
  // A standard user's registration is the user's own task.
  AddTask(path, xml, found != tasks_.end() ? found->second.machine : !standardUser);
  return kSuccess;
}

std::unique_ptr<ChangeWatch> MemoryTaskScheduler::Watch() { return std::make_unique<GenerationWatch>(generation_); }

}  // namespace korvalis::platform::memory
