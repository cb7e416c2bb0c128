#pragma once
// Where a refused startup file goes instead of being deleted: a folder of the program's own,
// each file with its original path recorded beside it, so that a mistaken No can be undone.
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/Sections.h"
#include "platform/Platform.h"

namespace korvalis::catalogue {

class TStartup;
struct TPlace;

// %LOCALAPPDATA%\Korvalis\Quarantine; empty when the local application data folder is unknown.
std::string QuarantineFolder(platform::Environment& environment);
// %ProgramData%\Korvalis\Quarantine, as the machine's settings name it, made (or taken over)
// open to administrators and SYSTEM alone, its parent too; empty when it cannot be made so.
std::string MachineQuarantineFolder(const platform::Platform& platform);

// Moves the file into the folder (a name already taken gets the start of its content's hash, then a
// number, in front) and writes "<name>.origin.txt" holding its path; where the same bytes from
// the same path lie there already, the file is taken away and that copy stands for it. Returns
// the copy's path. Fails with "Cannot quarantine file %s", leaving the file where it was: also
// when the move left the file in its place (a copy to another volume whose delete failed).
std::string Quarantine(const platform::Platform& platform, const std::string& folder, const std::string& path);

// Writes the bytes there as fileName (named as above when taken), with origin recorded beside
// it (a scheduled task's path). Returns the new path, empty when the same bytes from that
// origin lie there already; fails with "Cannot quarantine %s".
std::string QuarantineCopy(const platform::Platform& platform, const std::string& folder, const std::string& fileName,
                           const std::string& origin, const std::vector<std::uint8_t>& bytes);
// Takes back a copy just made, with its origin record, when what it stood for stays in place.
void Unquarantine(const platform::Platform& platform, const std::string& held);

// The file name a scheduled task's definition is kept under: its name, with what no file name
// may hold as "_", and ".xml".
std::string TaskFileName(const std::string& taskPath);

// Whether a startup folder's entry, with its content, or a scheduled task's definition lies in
// the quarantine, put there from its own place: false once the user has taken it back.
bool HeldInQuarantine(const platform::Platform& platform, const TStartup& entry);
// The places whose refused additions go to the quarantine, and stand only while they lie there.
bool RefusalsHeldInQuarantine(const TPlace& place);

}  // namespace korvalis::catalogue
