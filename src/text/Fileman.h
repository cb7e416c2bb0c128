#pragma once
// Path joining and splitting, on the text alone.
#include <string>

namespace korvalis::text {

// Folder and name with exactly one backslash between them; an empty folder gives the name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The path up to its last "\" or ":", without a final backslash.
std::string FileDir(const std::string& path);

// The text after the last "\" or ":" (the whole path when it has neither).
std::string FileNamePart(const std::string& path);

// The last component of the path without its extension.
std::string FileTitle(const std::string& path);

// A path to another machine: \\server\share\..., or \\?\UNC\server\... (either slash).
// Looking at one can wait for a network timeout and hands the user's credentials to that host.
bool IsNetworkPath(const std::string& path);

enum class PathKind {
  Local,      // a drive path, relative or absolute, or its long form \\?\C:\...
  Network,    // IsNetworkPath
  LocalPipe,  // \\.\pipe\..., \\?\pipe\..., \\?\GLOBALROOT\Device\NamedPipe\...
  Device,     // anything else in the system's namespaces: \\.\COM1, \\?\GLOBALROOT\..., \\?\Volume{...}
};
// What a path reaches, told by its text alone (either slash).
PathKind KindOfPath(const std::string& path);

}  // namespace korvalis::text
