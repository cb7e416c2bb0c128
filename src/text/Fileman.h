#pragma once
// Folders, path joining and file search.
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace korvalis::text {

// Folder and name with exactly one backslash between them; an empty folder gives the name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path up to its last "\" or ":", without a final backslash.
std::string FileDir(const std::string& path);

// The text after the last "\" or ":" (the whole path when it has neither).
std::string FileNamePart(const std::string& path);

// The last component of the path without its extension.
std::string FileTitle(const std::string& path);

// Tests a folder by making it the current folder, which it stays on success.
bool DirExists(platform::FileSystem& files, const std::string& folder);

// Appends the full path of every file of the folder whose extension occurs in extensions
// (for example ".lnk" or ".EXE;.COM"), optionally searching subfolders after the folder.
void FindFiles(platform::FileSystem& files, const std::string& folder, const std::string& extensions,
               std::vector<std::string>& list, bool recursive);

std::string WindowsDir(platform::Environment& environment);
std::string SystemDir(platform::Environment& environment);

}  // namespace korvalis::text
