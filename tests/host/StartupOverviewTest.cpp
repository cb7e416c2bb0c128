// The overview of everything that starts: its rows grouped by place, whether Windows starts
// each one, and the filter and the search over them.
#include <gtest/gtest.h>

#include "catalogue/HostPayload.h"
#include "catalogue/Places.h"
#include "dialogs/ProgramFacts.h"
#include "dialogs/StartupOverview.h"
#include "platform/RegistryValues.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"

namespace korvalis::dialogs {

using platform::RootKey;
using namespace korvalis::testing;

namespace {

constexpr const char* kApprovedRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

catalogue::SectionSet Every() {
  catalogue::SectionSet all;
  for (const catalogue::Section section : catalogue::ReadOrder(true)) all = all.With(section);
  return all;
}

platform::FileFacts SignedBy(const std::string& signer) {
  platform::FileFacts facts;
  facts.lookup = platform::FileLookup::Found;
  facts.signature = platform::Signature::Valid;
  facts.signer = signer;
  return facts;
}

}  // namespace

TEST(StartupOverviewTest, RowsArePlacesInReadOrderWithTheirStartStateAndNoSwitchesOrSettings) {
  platform::memory::MemoryWindows windows;
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Agent", "C:\\agent.exe /tray");
  windows.registry.PutString(RootKey::CurrentUser, kRunKey, "Updater", "C:\\upd.exe");
  windows.registry.PutString(RootKey::LocalMachine, kRunKey, "Sound", "C:\\sound.exe");
  windows.registry.PutString(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis", "Monitoring", "1");
  // Disabled in Task Manager: an odd first byte; an even one, and a missing value, start.
  windows.registry.Put(RootKey::CurrentUser, kApprovedRun, "UPDATER", platform::kRegBinary,
                       {3, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  windows.registry.Put(RootKey::CurrentUser, kApprovedRun, "Agent", platform::kRegBinary,
                       {2, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  catalogue::TStartups snapshot(0, windows.platform());
  snapshot.LoadSections(Every());

  const std::vector<TOverviewRow> rows = OverviewRows(snapshot, true);
  std::vector<std::string> seen;
  for (const TOverviewRow& row : rows)
    seen.push_back(row.name + " | " + catalogue::SectionName(row.section) + " | " + StartStateText(row.start));
  // The machine's Run key is read before the user's.
  EXPECT_EQ(seen, (std::vector<std::string>{"Sound | Local Machine Run | Starts", "Agent | Current User Run | Starts",
                                            "Updater | Current User Run | Disabled in Task Manager"}));
  EXPECT_EQ(rows[1].programFile, "C:\\agent.exe");

  const std::vector<TOverviewLine> lines = GroupedLines(rows, {0, 2});
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_FALSE(lines[0].row);
  EXPECT_EQ(lines[1].row, 0u);
  EXPECT_EQ(lines[2].section, catalogue::kCurrentUserRun);
  EXPECT_FALSE(lines[2].row);
  EXPECT_EQ(lines[3].row, 2u);
  EXPECT_EQ(PlaceOpening(rows[1], "").regeditKey,
            "Computer\\HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  const TOverviewRow file{catalogue::kCurrentUserStartupFolder, "Notes", "Notes.lnk", "", "", "", StartState::Starts, {}};
  EXPECT_EQ(PlaceOpening(file, "C:\\Startup").parameters, "/select,\"C:\\Startup\\Notes.lnk\"");
}

TEST(StartupOverviewTest, FilterHidesOnlyValidWindowsSignaturesNeverAHostSearchLooksInEveryColumnAndARuleNamesOnlyAValidSigner) {
  std::vector<TOverviewRow> rows(4);
  rows[0] = {catalogue::kCurrentUserRun, "Agent", "Agent", "C:\\Acme\\agent.exe", "", "", StartState::Starts, SignedBy("Acme Ltd")};
  rows[1] = {catalogue::kLocalMachineRun, "Sec", "Sec", "C:\\Windows\\sec.exe", "", "", StartState::Starts,
             SignedBy(kWindowsSigner)};
  rows[2] = {catalogue::kLocalMachineRun, "Fake", "Fake", "C:\\Windows\\fake.exe", "", "", StartState::Disabled, SignedBy(kWindowsSigner)};
  rows[2].facts->signature = platform::Signature::NotValid;
  rows[3] = {catalogue::kCurrentUserRun, "Pending", "Pending", "C:\\p.exe", "", "", StartState::Starts, std::nullopt};
  // A host Windows signed, made to run a script: never hidden, and shown by what it runs.
  rows.push_back({catalogue::kCurrentUserRun, "Helper", "Helper", "wscript.exe C:\\Users\\a\\x.vbs", "wscript.exe",
                  PayloadLine(catalogue::FindHostPayload("wscript.exe C:\\Users\\a\\x.vbs")), StartState::Starts,
                  SignedBy(kWindowsSigner)});

  EXPECT_EQ(ShownRows(rows, {true, ""}), (std::vector<std::size_t>{0, 2, 3, 4}));
  EXPECT_EQ(ShownRows(rows, {true, "runs a script"}), (std::vector<std::size_t>{4}));
  EXPECT_EQ(ShownRows(rows, {false, "acme"}), (std::vector<std::size_t>{0}));        // command, any case
  EXPECT_EQ(ShownRows(rows, {false, "local machine"}), (std::vector<std::size_t>{1, 2}));  // place
  EXPECT_EQ(ShownRows(rows, {false, "Not valid"}), (std::vector<std::size_t>{2}));   // program file's facts
  EXPECT_EQ(ShownRows(rows, {true, "windows"}), (std::vector<std::size_t>{2}));
  EXPECT_EQ(ShownRows(rows, {false, "checking"}), (std::vector<std::size_t>{3}));
  EXPECT_EQ(ProgressText(3, 4, 1, 2), "3 entries shown of 4; checking program files: 1 of 2");
  EXPECT_EQ(ProgressText(1, 4, 2, 2), "1 entry shown of 4");

  // An "Always allow" rule from the overview: never a broken signature, a program not yet
  // looked at, or a host whose payload decides.
  EXPECT_EQ(RuleSigner(rows[0]), std::optional<std::string>("Acme Ltd"));
  EXPECT_EQ(RuleSigner(rows[2]), std::nullopt);
  EXPECT_EQ(RuleSigner(rows[3]), std::nullopt);
  EXPECT_EQ(RuleSigner(rows[4]), std::nullopt);
}

}  // namespace korvalis::dialogs
