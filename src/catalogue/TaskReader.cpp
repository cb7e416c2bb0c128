// The scheduled tasks as entries: one per task, enabled or not, by its path, with its actions and
// triggers as the command; a refused one is kept aside by its definition before it goes.
#include <algorithm>

#include "catalogue/Quarantine.h"
#include "catalogue/Startups.h"
#include "catalogue/TaskCache.h"
#include "catalogue/TaskDefinition.h"
#include "platform/Error.h"
#include "text/StrMan.h"

namespace korvalis::catalogue {

namespace {
std::string LastPart(const std::string& path) {
  const auto cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}
}  // namespace

// A definition that cannot be read is an entry of its own, asked about, not a read problem.
void TStartups::LoadTasks(Section section, ReadProblems*) {
  std::string user;
  if (!platform_.environment.UserName(kMaxUserNameChars, user)) user.clear();
  std::vector<platform::RegisteredTask> tasks;
  // Read as empty, every task would look removed and then added again.
  if (platform_.tasks.ListTasks(tasks) != platform::kSuccess) throw Error("Cannot read the scheduled tasks");
  for (const platform::RegisteredTask& task : tasks) {
    const std::optional<TTaskDefinition> definition = ParseTaskDefinition(task.xml);
    // Too large or broken, it may still run: the scheduler reads it its own way.
    if (!definition) {
      AddEntry(task.path, task.path, LastPart(task.path), kUnreadableTaskCommand, section, 0);
      continue;
    }
    // A disabled task is kept too: enabled again it is a change, and No registers it disabled.
    TStartup* entry = AddEntry(task.path, task.path, LastPart(task.path), TaskCommand(*definition, user), section, 0);
    if (!entry) continue;
    entry->LinkData().assign(task.xml.begin(), task.xml.end());
    if (!definition->enabled) entry->SetValueType(kTaskDisabled);
  }
  LoadHiddenTasks(tasks, section);
}

void TStartups::LoadHiddenTasks(const std::vector<platform::RegisteredTask>& listed, Section section) {
  for (const std::string& path : TasksHiddenInCache(platform_.registry)) {
    const bool seen = std::any_of(listed.begin(), listed.end(),
                                  [&](const platform::RegisteredTask& task) { return text::SameTextAscii(task.path, path); });
    if (seen) continue;
    AddEntry(path, path, LastPart(path), kHiddenTaskCommand, section, 0);
  }
}

void TStartup::ApplyToTask() const {
  const platform::Platform& platform = owner_->Platform();
  const char* failure = enabled_ ? "Cannot register scheduled task %s" : "Cannot delete scheduled task %s";
  if (enabled_ && record_.data.empty())
    throw Error(FormatText("Cannot put back scheduled task %s, its definition was not kept", ValueName()));
  // This task alone is read: an undo of many tasks must not list them all for each one.
  std::string current;
  const platform::Status read = platform.tasks.ReadTask(ValueName(), current);
  if (read != platform::kSuccess && read != platform::kErrorFileNotFound) throw Error(FormatText(failure, ValueName()));
  if (read == platform::kErrorFileNotFound && !enabled_ && record_.command == kHiddenTaskCommand) return DeleteHiddenTask();
  // Kept aside first, so a mistaken No can be undone by hand.
  std::string held;
  if (read == platform::kSuccess)
    held = QuarantineCopy(platform, owner_->QuarantineFolder(), TaskFileName(ValueName()), ValueName(),
                          platform::TaskFileBytes(current));
  platform::Status status = platform::kSuccess;
  if (enabled_)
    status = platform.tasks.RegisterTask(ValueName(), std::string(record_.data.begin(), record_.data.end()));
  else if (read == platform::kSuccess)
    status = platform.tasks.DeleteTask(ValueName());
  if (status == platform::kSuccess || (!enabled_ && status == platform::kErrorFileNotFound)) return;
  // The task stays as it is: a copy of it in the quarantine would say otherwise.
  if (!held.empty()) Unquarantine(platform, held);
  if (status == platform::kErrorAccessDenied) throw RightsMissingError(FormatText(failure, ValueName()));
  throw Error(FormatText(failure, ValueName()));
}

void TStartup::DeleteHiddenTask() const {
  const platform::Platform& platform = owner_->Platform();
  // Out of the API's sight, the cache is the task: its keys go, and its definition file.
  const platform::Status status = DeleteFromTaskCache(platform.registry, ValueName());
  if (status == platform::kSuccess) platform.tasks.DeleteTask(ValueName());
  if (status == platform::kSuccess || status == platform::kErrorFileNotFound) return;
  const std::string failure = FormatText("Cannot delete scheduled task %s", ValueName());
  if (status == platform::kErrorAccessDenied) throw RightsMissingError(failure);
  throw Error(failure);
}

}  // namespace korvalis::catalogue
