#pragma once
// The folders searched for a program file given without a folder, built once at program start.
#include <string>
#include <vector>

#include "platform/Environment.h"
#include "platform/FileFacts.h"
#include "platform/FileSystem.h"

namespace korvalis::catalogue {

using SearchPath = std::vector<std::string>;

// The variable's value; empty when it is not set.
std::string GetEnvVar(platform::Environment& environment, const std::string& name);

// The pieces of PATH (trimmed, empty ones kept), then the System and the Windows folder.
SearchPath BuildSearchPath(platform::Environment& environment);

// Every "%SystemRoot%" (letter case counts) becomes the System folder.
std::string ExpandSystemRoot(platform::Environment& environment, const std::string& text);

// The folders of the search path that are no share: a read there could hang the caller.
SearchPath LocalFolders(platform::FileInspector& inspector, platform::Environment& environment,
                        const SearchPath& searchPath);

// An existing file for the name: the name itself, else the first folder of the search path
// that holds it; the name unchanged when there is none. No extension is ever added. A network
// path is never looked at (text::IsNetworkPath): it is neither the name's file nor a folder
// searched.
std::string FindProgramFile(platform::FileSystem& files, platform::Environment& environment,
                            const SearchPath& searchPath, const std::string& fileName);

}  // namespace korvalis::catalogue
