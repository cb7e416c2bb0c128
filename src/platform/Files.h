#pragma once
// Folder tests and searches made of the file system's and the environment's operations.
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace korvalis::platform {

// Tests a folder by making it the current folder, which it stays on success.
bool DirExists(FileSystem& files, const std::string& folder);

// Appends the full path of every file of the folder whose extension occurs in extensions
// (for example ".lnk" or ".EXE;.COM"), optionally searching subfolders after the folder.
void FindFiles(FileSystem& files, const std::string& folder, const std::string& extensions,
               std::vector<std::string>& list, bool recursive);

std::string WindowsDir(Environment& environment);
std::string SystemDir(Environment& environment);

}  // namespace korvalis::platform
