#pragma once
// What the overview of everything that starts shows: one row per entry of every guarded place,
// grouped by place, whether Windows will start it, and which rows the filter and the search let
// through. Portable, so that the window only draws what this decides.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Sections.h"
#include "catalogue/Startups.h"
#include "platform/FileFacts.h"

namespace korvalis::dialogs {

enum class StartState { Starts, DisabledInTaskManager, Disabled };

struct TOverviewRow {
  catalogue::Section section = 0;
  std::string name;       // made visible, fit to show
  std::string valueName;  // as the place knows the entry
  std::string command;    // as stored
  std::string programFile;
  // What a script or library host is made to run ("Runs a script: ..."); empty for another program.
  std::string payload;
  StartState start = StartState::Starts;
  std::optional<platform::FileFacts> facts;  // once the program file has been looked at
};

// Every entry of the snapshot that starts a program, in the order a whole snapshot is read and,
// within a place, as read. Task Manager's switches and Korvalis's own settings are no entries
// of their own: the switches say whether their entries start.
std::vector<TOverviewRow> OverviewRows(const catalogue::TStartups& snapshot, bool allPlaces);

// "Starts", "Disabled in Task Manager", "Disabled".
const char* StartStateText(StartState state);

// The program file's column: a host's payload, whatever signed the host; else "Checking ..." until
// the program file has been looked at.
std::string FactsText(const TOverviewRow& row);

// The signer a rule "Always allow changes of this entry signed by ..." may name for the row: its
// program's, once looked at and validly signed; none for a script or library host, whose
// payload decides.
std::optional<std::string> RuleSigner(const TOverviewRow& row);

// The signer of Windows' own files.
constexpr char kWindowsSigner[] = "Microsoft Windows";

struct TOverviewFilter {
  // Entries whose program Microsoft Windows signed, validly; never a host's: Windows signed
  // PowerShell and rundll32 too, not what they are made to run.
  bool hideWindows = false;
  std::string search;        // in any column, letter case ignored; empty: everything
};

bool RowShown(const TOverviewRow& row, const TOverviewFilter& filter);

// The indexes of the rows shown, in order.
std::vector<std::size_t> ShownRows(const std::vector<TOverviewRow>& rows, const TOverviewFilter& filter);

// A line of the list: a place's heading, or one of its rows shown.
struct TOverviewLine {
  catalogue::Section section = 0;
  std::optional<std::size_t> row;  // none: the heading
};

// The rows shown, each place's under its heading; a place with no row shown has none.
std::vector<TOverviewLine> GroupedLines(const std::vector<TOverviewRow>& rows, const std::vector<std::size_t>& shown);

// A heading's text: the place and how many of its rows are shown.
std::string HeadingText(catalogue::Section section, std::size_t count);

// What opens the place of a row: regedit at the key (regeditKey, the path regedit's LastKey takes),
// Explorer with the file selected in the startup folder, the Task Scheduler or the services.
struct TPlaceOpening {
  std::string program;
  std::string parameters;
  std::string regeditKey;  // empty but for a registry place
};
TPlaceOpening PlaceOpening(const TOverviewRow& row, const std::string& startupFolder);

// What the window says of the rows shown among the entries, while and after their program files
// (each looked at once, however many entries run it) are looked at.
std::string ProgressText(std::size_t shown, std::size_t entries, std::size_t checked, std::size_t files);

}  // namespace korvalis::dialogs
