#pragma once
// The scheduler's own record of its tasks in the registry (HKLM\...\Schedule\TaskCache), read
// for the tasks its API keeps from view: a Tree entry whose security descriptor (SD) was
// deleted, or a Tasks entry written there directly that no Tree entry names.
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace korvalis::catalogue {

// What such a task's entry says, having no definition to show.
inline constexpr const char* kHiddenTaskCommand = "hidden from the task scheduler";

// Their paths ("\Folder\Task"), each once; none where the cache cannot be read.
std::vector<std::string> TasksHiddenInCache(platform::Registry& registry);

// Deletes the hidden task of the path from the cache: its Tree entry when that has no SD, and
// each entry of its Id under Tasks, Boot, Logon, Plain and Maintenance, as the scheduler does
// when it deletes one; a Tree entry with its SD stays, with its Id. Ids are taken only in
// their own form ("{GUID}"). kErrorFileNotFound when none was there.
platform::Status DeleteFromTaskCache(platform::Registry& registry, const std::string& path);

}  // namespace korvalis::catalogue
