#include <gtest/gtest.h>

#include "app/Baseline.h"
#include "catalogue/Startups.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::app {

using catalogue::TStartups;
using platform::memory::FileOperation;

class BaselineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string hidden("Hid\0den", 7);
    catalogue.AddEntry("Updater", "Updater", "", "C:\\Tools\\upd.exe /q", catalogue::kCurrentUserRun, 0)
        ->SetValueType(1);
    catalogue.AddEntry("x.exe", "", "", "C:\\x.exe", catalogue::kLocalMachineRun, 0);  // the default value
    catalogue.AddEntry(hidden, hidden, "", "C:\\h.exe", catalogue::kCurrentUserRunOnce, 0);
    catalogue.AddEntry("Agent", "Agent.lnk", "", "C:\\agent.exe", catalogue::kCurrentUserStartupFolder, 2)
        ->LinkData() = {0x4C, 0, 0, 0, 0xFF};
    auto* shell = catalogue.AddEntry("Shell", "Shell", "", "explorer.exe", catalogue::kLocalMachineWinlogon, -1);
    shell->SetValueType(7);
    shell->LinkData() = {'e', 0, 0};
    saved = TBaseline::Of(catalogue);
    saved.entries[0].signer = "Acme Software Ltd";
    saved.refusals = {{catalogue::kCurrentUserRun, "Evil", "C:\\evil.exe", 1767225600},
                      {catalogue::kLocalMachineRun, hidden, "C:\\h.exe", -5}};
  }
  // The file's checksum made right again after a deliberate change.
  static std::vector<std::uint8_t> Sealed(std::vector<std::uint8_t> bytes) {
    const std::uint32_t crc = Crc32(bytes, bytes.size() - 4);
    for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    return bytes;
  }
  std::string Message(const std::string& what, const std::string& keptAs) const {
    return "The stored baseline " + path + " " + what + "; it was kept as " + keptAs + " and a new one is taken";
  }

  platform::memory::MemoryWindows windows;
  TStartups catalogue{0, windows.platform()};
  TBaseline saved;
  const std::string path = windows.environment.localAppData + "\\Korvalis\\baseline.dat";
};

TEST_F(BaselineTest, ASavedCatalogueAndItsRefusalsComeBackWholeNulsAndBytesIncluded) {
  SaveBaseline(windows.platform(), saved);
  const auto bytes = windows.files.Contents(path);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 9),
            std::string("KVBL\3\0\0\0", 8) + static_cast<char>(catalogue::kNativeViewBits));
  EXPECT_EQ(Crc32({'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 9), 0xCBF43926u);  // the usual CRC-32

  const TBaselineLoad load = LoadBaseline(windows.platform());
  ASSERT_EQ(load.state, TBaselineLoad::State::Loaded);
  EXPECT_EQ(load.message, "");
  EXPECT_EQ(load.baseline.refusals, saved.refusals);
  EXPECT_EQ(load.baseline.entries, saved.entries);  // the signers too
  // Written straight from the snapshot, the same bytes.
  EXPECT_EQ(TBaseline::EncodeSnapshot(
                catalogue, [](const catalogue::TStartup& e) { return e.Name() == "Updater" ? "Acme Software Ltd" : ""; },
                saved.places, saved.refusals),
            saved.Encode());
  TStartups filled{0, windows.platform()};
  load.baseline.FillCatalogue(filled);
  ASSERT_EQ(filled.Count(), catalogue.Count());
  for (int i = 0; i < filled.Count(); ++i) {
    const auto &was = catalogue.Items(i), &is = filled.Items(i);
    EXPECT_EQ(is.Name(), was.Name());
    EXPECT_EQ(is.ValueName(), was.ValueName());
    EXPECT_EQ(is.Command(), was.Command());
    EXPECT_EQ(is.GetSection(), was.GetSection());
    EXPECT_EQ(is.IconIndex(), was.IconIndex());
    EXPECT_EQ(is.ValueType(), was.ValueType());
    EXPECT_EQ(is.LinkData(), was.LinkData());
  }
  EXPECT_EQ(filled.Items(2).Name().size(), 7u);
}

TEST_F(BaselineTest, ADamagedFileIsRefusedAndKeptAsideUnderAFreeName) {
  const std::vector<std::uint8_t> good = saved.Encode();
  std::vector<std::vector<std::uint8_t>> damaged;
  damaged.emplace_back(good.begin(), good.end() - 10);  // truncated
  damaged.push_back(good);
  damaged.back()[good.size() / 2] ^= 0x10;  // one bit flipped
  damaged.push_back(good);
  damaged.back()[4] ^= 0x01;  // a flipped version is damage, not another version
  damaged.push_back(good);
  damaged.back()[0] = 'X';  // another magic, checksum right
  damaged.back() = Sealed(damaged.back());
  damaged.push_back(good);
  damaged.back().insert(damaged.back().end() - 4, 0);  // trailing byte, checksum right
  damaged.back() = Sealed(damaged.back());
  damaged.push_back(good);
  for (int i = 9; i < 13; ++i) damaged.back()[i] = 0xFF;  // a count no file could hold
  damaged.back() = Sealed(damaged.back());
  damaged.push_back(good);
  damaged.back()[8] = 16;  // no view of the registry
  damaged.back() = Sealed(damaged.back());
  TBaseline unknown;  // a section no place has
  unknown.places = catalogue::SectionSet{catalogue::kCurrentUserRun, 200};
  damaged.push_back(unknown.Encode());
  damaged.push_back(Sealed(TBaseline().Encode()));
  damaged.back().insert(damaged.back().begin() + 13, {8, 8});  // a set written with slack
  damaged.back()[9] = 2;
  damaged.back() = Sealed(damaged.back());
  TBaseline blank;  // a catalogue holds no entry without a command, nor could it take one back
  blank.entries.push_back({catalogue::kCurrentUserRun, "A", "A", "", 1, 0, {}});
  damaged.push_back(blank.Encode());

  for (std::size_t n = 0; n < damaged.size(); ++n) {
    SCOPED_TRACE(n);
    windows.files.AddFile(path, damaged[n]);
    const std::string keptAs = path + ".damaged" + (n == 0 ? "" : "." + std::to_string(n + 1));
    const TBaselineLoad load = LoadBaseline(windows.platform());
    EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
    EXPECT_EQ(load.message, Message("is damaged", keptAs));
    EXPECT_EQ(load.keptAs, keptAs);
    EXPECT_EQ(windows.files.Contents(keptAs), damaged[n]);
    EXPECT_FALSE(windows.files.Exists(path));
  }
}

TEST_F(BaselineTest, AFileOfAnotherVersionOrUnreadableIsSaidSoAndKeptAside) {
  std::vector<std::uint8_t> other = saved.Encode();
  other[4] = 4;
  windows.files.AddFile(path, Sealed(other));
  TBaselineLoad load = LoadBaseline(windows.platform());
  EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
  EXPECT_EQ(load.message, Message("was written in another format (version 4)", path + ".v4"));
  EXPECT_TRUE(windows.files.Exists(path + ".v4"));

  windows.files.AddFile(path, saved.Encode());
  windows.files.SetHook([](const FileOperation& op) { return op.kind != FileOperation::Kind::Read; });
  int pauses = 0;
  load = LoadBaseline(windows.platform(), [&](std::chrono::milliseconds) { ++pauses; });
  EXPECT_EQ(pauses, 2);
  EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
  EXPECT_EQ(load.message, Message("cannot be read", path + ".unreadable"));

  windows.files.AddFile(path, {1, 2, 3});
  windows.files.SetHook([](const FileOperation& op) { return op.kind != FileOperation::Kind::Move; });
  load = LoadBaseline(windows.platform(), [](std::chrono::milliseconds) {});
  EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
  EXPECT_EQ(load.keptAs, "");
  EXPECT_EQ(load.message, "The stored baseline " + path +
                              " is damaged; it could not be moved aside and a new one is taken in its place");
}

TEST_F(BaselineTest, AReadHeldUpAtLogonIsTriedAgainBeforeTheFileIsSetAside) {
  SaveBaseline(windows.platform(), saved);
  int failures = 2;
  windows.files.SetHook([&](const FileOperation& op) { return op.kind != FileOperation::Kind::Read || failures-- <= 0; });
  int pauses = 0;
  const TBaselineLoad load = LoadBaseline(windows.platform(), [&](std::chrono::milliseconds) { ++pauses; });
  EXPECT_EQ(load.state, TBaselineLoad::State::Loaded);
  EXPECT_EQ(load.baseline, saved);
  EXPECT_EQ(pauses, 2);
}

// The 64-bit build's native view is the 32-bit build's other view, and the reverse.
TEST_F(BaselineTest, AFileOfTheOtherBuildIsReadWithEachViewInItsOwnPlace) {
  saved.places = catalogue::SectionSet{catalogue::kLocalMachineRun, catalogue::kCurrentUserRun};
  saved.entries.push_back({catalogue::kLocalMachineRunOther, "Old", "Old", "C:\\old32.exe", 1, 0, {}});
  for (const auto& [writer, reader] : {std::pair{64, 32}, std::pair{32, 64}}) {
    SCOPED_TRACE(writer);
    const TBaseline read = TBaseline::Decode(saved.Encode(writer), reader);
    EXPECT_EQ(read.places, (catalogue::SectionSet{catalogue::kLocalMachineRunOther, catalogue::kCurrentUserRun}));
    EXPECT_EQ(read.entries[1].section, catalogue::kLocalMachineRunOther);          // x.exe in Run
    EXPECT_EQ(read.entries[0].section, catalogue::kCurrentUserRun);                // shared: no twin
    EXPECT_EQ(read.entries[4].section, 29);                                        // Winlogon's twin
    EXPECT_EQ(read.entries[5].section, catalogue::kLocalMachineRun);
    EXPECT_EQ(read.refusals[1].section, catalogue::kLocalMachineRunOther);
    EXPECT_EQ(TBaseline::Decode(saved.Encode(writer), writer), saved);
  }
}

TEST_F(BaselineTest, AnEntryOfAPlaceNotGuardedThenDoesNotMakeThePlaceGuarded) {
  // Found by the fuzzer: a settings entry in a file that did not guard the settings came back
  // with the settings guarded, so the first check would have compared them with nothing.
  TBaseline stored;
  stored.entries.push_back({catalogue::kKorvalisSettings, "Logs", "Logs", "1", 1, 0, {}});
  EXPECT_EQ(TBaseline::Decode(stored.Encode()), stored);
}

TEST_F(BaselineTest, AVersionOneFileIsReadAsWrittenByTheReadersOwnView) {
  // Version 1 as it was written: no view, the sections as bits, no content fields.
  std::vector<std::uint8_t> v1 = {'K', 'V', 'B', 'L', 1, 0, 0, 0, 0x10, 0x01, 0, 0, 1, 0, 0, 0, catalogue::kLocalMachineRun,
                                  1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 'A', 1, 0, 0, 0, 'A', 3, 0, 0, 0, 'a', '.', 'e',
                                  0, 0, 0, 0, 0, 0, 0, 0};
  v1.insert(v1.end(), 4, 0);
  const TBaseline read = TBaseline::Decode(Sealed(v1), 32);
  EXPECT_EQ(read.places, (catalogue::SectionSet{catalogue::kLocalMachineRun, catalogue::kCurrentUserRun}));
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(read.entries[0].section, catalogue::kLocalMachineRun);
  EXPECT_EQ(read.entries[0].command, "a.e");
  EXPECT_TRUE(read.refusals.empty());
}

TEST_F(BaselineTest, AVersionTwoFileWrittenBeforeSignersWereRecordedIsRead) {
  TBaseline one;
  one.places = catalogue::SectionSet{catalogue::kCurrentUserRun};
  one.entries.push_back({catalogue::kCurrentUserRun, "Agent", "Agent", "C:\\a.exe", 1, 0, {}});
  std::vector<std::uint8_t> v2 = one.Encode();
  // Version 2 is version 3 without the entry's signer: its empty text ends the entry, before
  // the count of refusals and the checksum.
  v2[4] = 2;
  v2.erase(v2.end() - 12, v2.end() - 8);
  EXPECT_EQ(TBaseline::Decode(Sealed(v2)), one);
}

TEST_F(BaselineTest, AStartupFileNameThatIsAPathIsDamage) {
  for (const std::string name : {"..\\evil.exe", "a/b.lnk", "C:evil.exe", "..", ".", "x..lnk"}) {
    SCOPED_TRACE(name);
    TBaseline hostile;
    hostile.entries.push_back({catalogue::kCurrentUserStartupFolder, "Agent", name, "C:\\a.exe", 0, 0, {}});
    windows.files.AddFile(path, hostile.Encode());
    const TBaselineLoad load = LoadBaseline(windows.platform());
    EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
    EXPECT_EQ(load.message, Message("is damaged", path + ".damaged"));
    windows.files.RemoveFile(load.keptAs);
  }
  TBaseline plain;  // a registry value may hold any of these
  plain.entries.push_back({catalogue::kCurrentUserRun, "..\\x", "..\\x", "C:\\a.exe", 1, 0, {}});
  EXPECT_EQ(TBaseline::Decode(plain.Encode()), plain);
}

TEST_F(BaselineTest, ACrashBetweenWritingAndReplacingLeavesTheOldBaselineWholeAndLoadable) {
  SaveBaseline(windows.platform(), saved);
  TBaseline newer = saved;
  newer.refusals.clear();
  windows.files.SetHook([this](const FileOperation& op) {
    return !(op.kind == FileOperation::Kind::Move && op.path == path + ".tmp");
  });
  try {
    SaveBaseline(windows.platform(), newer);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot save the stored baseline " + path);
  }
  TBaselineLoad load = LoadBaseline(windows.platform());
  ASSERT_EQ(load.state, TBaselineLoad::State::Loaded);
  EXPECT_EQ(load.baseline, saved);

  windows.files.SetHook(nullptr);  // the temporary file left behind does not stand in the way
  SaveBaseline(windows.platform(), newer);
  EXPECT_EQ(LoadBaseline(windows.platform()).baseline, newer);
}

TEST_F(BaselineTest, WithoutAFileThereIsNothingToAskAndNothingIsMade) {
  TBaselineLoad load = LoadBaseline(windows.platform());
  EXPECT_EQ(load.state, TBaselineLoad::State::None);
  EXPECT_EQ(load.message, "");
  EXPECT_FALSE(windows.files.Exists(windows.environment.localAppData + "\\Korvalis"));
  windows.environment.localAppData.clear();
  EXPECT_EQ(LoadBaseline(windows.platform()).state, TBaselineLoad::State::None);
  EXPECT_THROW(SaveBaseline(windows.platform(), saved), Error);
}

}  // namespace korvalis::app
