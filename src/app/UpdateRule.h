#pragma once
// A change that is an update of the program an entry starts, by the same publisher: the same
// program file name and arguments, in the same folder or a later version folder beside it,
// signed by whoever signed the earlier one, as is every program file and library of the new
// folder (a signed program beside an unsigned library is how side-loading works). Such a change
// is told, not asked.
#include <cstddef>
#include <optional>
#include <string>

#include "catalogue/Startup.h"
#include "platform/Platform.h"

namespace korvalis::app {

// What the two entries tell by their commands alone: a host's payload, a boot or system
// driver, other arguments, another file name or a folder elsewhere is never an update.
bool MayBeUpdate(const catalogue::TStartup& before, const catalogue::TStartup& now);
// A program file given by a local absolute path: one whose signature may be looked at.
bool InspectablePath(const std::string& path);
// Two folders beside each other whose names are versions, the later one higher:
// "...\App\1.2.0" then "...\App\1.3.0"; never a lower one, which would bring old flaws back.
bool LaterVersionFolder(const std::string& earlier, const std::string& later);

struct TUpdateCheck {
  std::string earlierProgram;
  std::string program;
  std::string recordedSigner;  // the earlier program's signer as recorded; empty when not known
};

// The signer when the new program is the earlier signer's; none otherwise, also when the
// earlier signer is neither recorded nor to be read from the earlier file. Reads files: run it
// bounded (RunBounded).
std::optional<std::string> UpdateSigner(platform::FileSystem& files, platform::FileInspector& inspector,
                                        const TUpdateCheck& check);

// A folder with more program files and libraries than this is not an update.
constexpr std::size_t kFolderFilesAtMost = 512;

}  // namespace korvalis::app
