#pragma once
// What the change dialogs say about a program file, in their words, and about what a script or
// library host is made to run.
#include <cstddef>
#include <string>
#include <vector>

#include "catalogue/HostPayload.h"
#include "catalogue/Startup.h"
#include "platform/FileFacts.h"

namespace korvalis::dialogs {

// The lines as one caption, the separator between each two.
std::string Joined(const std::vector<std::string>& lines, const std::string& separator);

// What the dialogs show until the program file has been looked at.
constexpr char kProgramFactsPending[] = "Checking ...";

// Whether the file is there and who signed it, in one line: the grouped question's column.
std::string SignatureLine(const platform::FileFacts& facts);

// The signature line, then the company and the product the version information names, each
// on a line of its own and only when named: the single question's lines. A name the file
// chose is shown with its control characters visible, so it cannot break into a line that
// looks like one of ours.
std::vector<std::string> ProgramFactLines(const platform::FileFacts& facts);

// A payload's text is cut to this in a question; the label holds about three lines of it.
constexpr std::size_t kShownPayloadAtMost = 160;

// What the questions say first of a command a host runs: "Runs a script: ...", "Loads the
// library ...", "Installs the package ..." or "Downloads ...", made visible and cut
// (ShownText); empty for a command with no payload.
std::string PayloadLine(const catalogue::THostPayload& payload);

// The payload's line, then what its file says when it names one ("Script: Not signed",
// "Company: ...", "Library file not found"), then the host's signature line after "Host: ". A
// file not looked at yet (nullptr) reads "Checking ...".
std::vector<std::string> PayloadFactLines(const catalogue::THostPayload& payload, const platform::FileFacts* file,
                                          const platform::FileFacts* host);

// Said first where an entry Task Manager keeps from starting at logon is asked about.
constexpr char kDisabledInTaskManager[] = "Disabled in Task Manager";

// The program's fact lines, after a line saying the entry is disabled in Task Manager where it is.
std::vector<std::string> EntryFactLines(const catalogue::TStartup& entry, std::vector<std::string> facts);

// The file whose facts tell what a command runs: a host's script, library or package file where
// it names one, otherwise the program (a host's own).
std::string FactsFile(const catalogue::TStartup& entry, const catalogue::THostPayload& payload);

// What a question says of a changed entry after its other lines: "Before: " and the earlier
// command, made visible and cut as the command is (ShownCommand); where a host ran another
// payload, "Earlier: " and its PayloadLine; then, once the facts of both FactsFile are known
// (else nullptr) and they say different things, the earlier file's facts in one line
// ("Earlier program file: Not signed", "Earlier script: ...").
std::vector<std::string> BeforeLines(const catalogue::TStartup& before, const catalogue::THostPayload& beforePayload,
                                     const catalogue::THostPayload& nowPayload, const platform::FileFacts* earlier,
                                     const platform::FileFacts* now);

}  // namespace korvalis::dialogs
