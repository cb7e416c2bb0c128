#include "dialogs/StartupOverview.h"

#include <unordered_set>

#include "catalogue/HostPayload.h"
#include "catalogue/Places.h"
#include "catalogue/TaskDefinition.h"
#include "dialogs/ProgramFacts.h"
#include "text/Fileman.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"

namespace korvalis::dialogs {

namespace {

bool IsEntryPlace(const catalogue::TPlace& place) {
  return place.Kind().HoldsEntries() && !place.approves && !place.asksAlways;
}

// The entries Task Manager's switches keep from starting, by their section and value name.
std::unordered_set<std::string> SwitchedOff(const catalogue::TStartups& snapshot) {
  std::unordered_set<std::string> off;
  for (int i = 0; i < snapshot.Count(); ++i) {
    const catalogue::TStartup& entry = snapshot.Items(i);
    const catalogue::TPlace* place = entry.Place();
    if (place && place->approves && catalogue::DisablesEntry(entry))
      off.insert(std::string(1, static_cast<char>(*place->approves)) + text::UpperAscii(entry.ValueName()));
  }
  return off;
}

StartState StartOf(const catalogue::TStartup& entry, const catalogue::TPlace& place,
                   const std::unordered_set<std::string>& off) {
  if (place.Kind().Disabled(entry)) return StartState::Disabled;
  if (off.count(std::string(1, static_cast<char>(entry.GetSection())) + text::UpperAscii(entry.ValueName())))
    return StartState::DisabledInTaskManager;
  return StartState::Starts;
}

const char* RootName(platform::RootKey root) {
  switch (root) {
    case platform::RootKey::CurrentUser: return "HKEY_CURRENT_USER";
    case platform::RootKey::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case platform::RootKey::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case platform::RootKey::Users: return "HKEY_USERS";
    case platform::RootKey::CurrentConfig: return "HKEY_CURRENT_CONFIG";
  }
  return "";
}

bool Holds(const std::string& text, const std::string& upperNeedle) {
  return text::UpperAscii(text).find(upperNeedle) != std::string::npos;
}

}  // namespace

std::vector<TOverviewRow> OverviewRows(const catalogue::TStartups& snapshot, bool allPlaces) {
  const std::unordered_set<std::string> off = SwitchedOff(snapshot);
  std::vector<std::vector<const catalogue::TStartup*>> bySection(catalogue::kSectionCount);
  for (int i = 0; i < snapshot.Count(); ++i) bySection[snapshot.Items(i).GetSection()].push_back(&snapshot.Items(i));
  std::vector<TOverviewRow> rows;
  for (const catalogue::TPlace* place : catalogue::ReadPlaces(allPlaces)) {
    if (!IsEntryPlace(*place)) continue;
    for (const catalogue::TStartup* entry : bySection[place->section])
      rows.push_back(TOverviewRow{place->section, text::VisibleText(entry->Name()), entry->ValueName(), entry->Command(),
                                  entry->ProgramFile(), PayloadLine(catalogue::FindHostPayload(entry->Command())),
                                  StartOf(*entry, *place, off), std::nullopt});
  }
  return rows;
}

const char* StartStateText(StartState state) {
  switch (state) {
    case StartState::Starts: return "Starts";
    case StartState::DisabledInTaskManager: return kDisabledInTaskManager;
    case StartState::Disabled: return "Disabled";
  }
  return "";
}

std::string FactsText(const TOverviewRow& row) {
  if (!row.payload.empty()) return row.payload;
  return row.facts ? SignatureLine(*row.facts) : kProgramFactsPending;
}

std::optional<std::string> RuleSigner(const TOverviewRow& row) {
  if (!row.payload.empty() || !row.facts || row.facts->signature != platform::Signature::Valid ||
      row.facts->signer.empty())
    return std::nullopt;
  return row.facts->signer;
}

bool RowShown(const TOverviewRow& row, const TOverviewFilter& filter) {
  if (filter.hideWindows && row.payload.empty() && row.facts && row.facts->signature == platform::Signature::Valid &&
      row.facts->signer == kWindowsSigner)
    return false;
  if (filter.search.empty()) return true;
  const std::string needle = text::UpperAscii(filter.search);
  return Holds(row.name, needle) || Holds(row.command, needle) || Holds(catalogue::SectionName(row.section), needle) ||
         Holds(FactsText(row), needle) || Holds(StartStateText(row.start), needle);
}

std::vector<std::size_t> ShownRows(const std::vector<TOverviewRow>& rows, const TOverviewFilter& filter) {
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (RowShown(rows[i], filter)) shown.push_back(i);
  return shown;
}

std::vector<TOverviewLine> GroupedLines(const std::vector<TOverviewRow>& rows, const std::vector<std::size_t>& shown) {
  std::vector<TOverviewLine> lines;
  for (const std::size_t row : shown) {
    // Rows come grouped by place: a new place starts a heading.
    if (lines.empty() || lines.back().section != rows[row].section) lines.push_back({rows[row].section, std::nullopt});
    lines.push_back({rows[row].section, row});
  }
  return lines;
}

std::string HeadingText(catalogue::Section section, std::size_t count) {
  return std::string(catalogue::SectionName(section)) + " (" + std::to_string(count) + ")";
}

TPlaceOpening PlaceOpening(const TOverviewRow& row, const std::string& startupFolder) {
  const catalogue::TPlace* place = catalogue::PlaceOf(row.section);
  if (!place) return {};
  struct Opening final : catalogue::TPlaceVisitor {
    const TOverviewRow& row;
    const std::string& startupFolder;
    TPlaceOpening opening;
    Opening(const TOverviewRow& r, const std::string& folder) : row(r), startupFolder(folder) {}
    void Folder(const catalogue::TPlace&) override {
      opening = {"explorer.exe", "/select,\"" + text::JoinPath(startupFolder, row.valueName) + "\"", ""};
    }
    void Task(const catalogue::TPlace&) override { opening = {"taskschd.msc", "", ""}; }
    void Service(const catalogue::TPlace&) override { opening = {"services.msc", "", ""}; }
    void Registry(const catalogue::TPlace& at) override {
      std::string path = at.path;
      // The other view of the machine's keys is the 32-bit one only for the 64-bit program.
      const bool wow = at.view == platform::RegistryView::Other && catalogue::kNativeViewBits == 64;
      if (wow && text::UpperAscii(path).rfind("SOFTWARE\\", 0) == 0) path.insert(9, "WOW6432Node\\");
      const catalogue::TEntryKey key = at.Kind().KeyOf(at, row.valueName);
      if (key.BelowSubkey()) path += "\\" + std::string(key.Subkey());
      opening = {"regedit.exe", "", std::string("Computer\\") + RootName(at.root) + "\\" + path};
    }
  } opening(row, startupFolder);
  place->Kind().Accept(opening, *place);
  return opening.opening;
}

std::string ProgressText(std::size_t shown, std::size_t entries, std::size_t checked, std::size_t files) {
  const std::string count = std::to_string(shown) + (shown == 1 ? " entry shown of " : " entries shown of ") +
                            std::to_string(entries);
  if (checked < files)
    return count + "; checking program files: " + std::to_string(checked) + " of " + std::to_string(files);
  return count;
}

}  // namespace korvalis::dialogs
