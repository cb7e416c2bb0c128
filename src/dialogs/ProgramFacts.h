#pragma once
// What the change dialogs say about a program file, in their words.
#include <string>
#include <vector>

#include "platform/FileFacts.h"

namespace korvalis::dialogs {

// What the dialogs show until the program file has been looked at.
constexpr char kProgramFactsPending[] = "Checking ...";

// Whether the file is there and who signed it, in one line: the grouped question's column.
std::string SignatureLine(const platform::FileFacts& facts);

// The signature line, then the company and the product the version information names, each
// on a line of its own and only when named: the single question's lines. A name the file
// chose is shown with its control characters visible, so it cannot break into a line that
// looks like one of ours.
std::vector<std::string> ProgramFactLines(const platform::FileFacts& facts);

}  // namespace korvalis::dialogs
