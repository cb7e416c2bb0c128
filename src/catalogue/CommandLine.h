#pragma once
// Cutting a command line into the program it starts and its arguments.
#include <string>

namespace korvalis::catalogue {

// Finds the program file at the start of a command line: quoted paths, unquoted paths with
// blanks, comma separators and rundll32 commands. programFile is in/out: a non-empty value
// stays when the text holds no program token; an empty one falls back to the whole text.
void ExtractProgram(const std::string& text, std::string& programFile);

// ExtractProgram as an entry's command derives its program file, with the second pass for
// rundll32 commands (the library argument without its entry point).
void DeriveProgramFile(const std::string& command, std::string& programFile);

// The program part and the argument part of a command line, for re-creating a shortcut.
std::string CommandProgram(const std::string& command);
std::string CommandParams(const std::string& command);

}  // namespace korvalis::catalogue
