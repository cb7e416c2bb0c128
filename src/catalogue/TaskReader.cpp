// The scheduled tasks as entries: one per enabled task, by its path, with its actions and
// triggers as the command; a refused one is kept aside by its definition before it goes.
#include <algorithm>

#include "catalogue/Quarantine.h"
#include "catalogue/Startups.h"
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

void TStartups::LoadTasks(SectionSet sections, ReadProblems* problems) {
  for (const Section section : ReadOrder(true)) {
    if (!sections.Contains(section) || PlaceOf(section)->kind != PlaceKind::Task) continue;
    std::vector<platform::RegisteredTask> tasks;
    // Read as empty, every task would look removed and then added again.
    if (platform_.tasks.ListTasks(tasks) != platform::kSuccess) throw Error("Cannot read the scheduled tasks");
    for (const platform::RegisteredTask& task : tasks) {
      const std::optional<TTaskDefinition> definition = ParseTaskDefinition(task.xml);
      if (!definition) {
        // Its entry read before stands: an unreadable definition is no removal.
        if (problems) {
          problems->messages.push_back(FormatText("Cannot read scheduled task %s", task.path));
          problems->unreadableNames.push_back(task.path);
        }
        continue;
      }
      // A disabled task starts nothing: enabling it again is an addition.
      if (!definition->enabled) continue;
      TStartup* entry = AddEntry(task.path, task.path, LastPart(task.path), TaskCommand(*definition), section, 0);
      if (entry) entry->LinkData().assign(task.xml.begin(), task.xml.end());
    }
  }
}

void TStartup::ApplyToTask() const {
  const platform::Platform& platform = owner_->Platform();
  const char* failure = enabled_ ? "Cannot register scheduled task %s" : "Cannot delete scheduled task %s";
  std::vector<platform::RegisteredTask> tasks;
  if (platform.tasks.ListTasks(tasks) != platform::kSuccess) throw Error(FormatText(failure, valueName_));
  const auto current = std::find_if(tasks.begin(), tasks.end(), [&](const platform::RegisteredTask& task) {
    return text::SameTextAscii(task.path, valueName_);
  });
  if (enabled_ && linkData_.empty())
    throw Error(FormatText("Cannot put back scheduled task %s, its definition was not kept", valueName_));
  // Kept aside first, so a mistaken No can be undone by hand.
  std::string held;
  if (current != tasks.end())
    held = QuarantineCopy(platform, TaskFileName(valueName_), valueName_, platform::TaskFileBytes(current->xml));
  platform::Status status = platform::kSuccess;
  if (enabled_)
    status = platform.tasks.RegisterTask(valueName_, std::string(linkData_.begin(), linkData_.end()));
  else if (current != tasks.end())
    status = platform.tasks.DeleteTask(valueName_);
  if (status == platform::kSuccess || (!enabled_ && status == platform::kErrorFileNotFound)) return;
  // The task stays as it is: a copy of it in the quarantine would say otherwise.
  if (!held.empty()) Unquarantine(platform, held);
  if (status == platform::kErrorAccessDenied) throw RightsMissingError(FormatText(failure, valueName_));
  throw Error(FormatText(failure, valueName_));
}

}  // namespace korvalis::catalogue
