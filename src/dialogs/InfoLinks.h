#pragma once
// What the change dialog's two information buttons hand to the shell.
#include <string>

namespace korvalis::dialogs {

// The online information service; the one place its address is kept.
extern const char* const kOnlineInfoBase;

// Every byte but the unreserved characters (letters, digits, "-", ".", "_", "~") as %XX.
std::string PercentEncode(const std::string& text);

// The information address for an entry: the file part of its command and its name, encoded
// so that nothing in a command line can break out of the address.
std::string OnlineInfoAddress(const std::string& command, const std::string& name);

// The argument for Explorer that opens the folder of a command line: the folder text as one
// quoted argument, so a command line cannot smuggle Explorer switches in.
std::string LocateFolderArgument(const std::string& command);

}  // namespace korvalis::dialogs
