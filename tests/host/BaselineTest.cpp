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
  EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 8), std::string("KVBL\1\0\0\0", 8));
  EXPECT_EQ(Crc32({'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 9), 0xCBF43926u);  // the usual CRC-32

  const TBaselineLoad load = LoadBaseline(windows.platform());
  ASSERT_EQ(load.state, TBaselineLoad::State::Loaded);
  EXPECT_EQ(load.message, "");
  EXPECT_EQ(load.baseline.refusals, saved.refusals);
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
  for (int i = 12; i < 16; ++i) damaged.back()[i] = 0xFF;  // an entry count no file could hold
  damaged.back() = Sealed(damaged.back());
  damaged.push_back(good);
  damaged.back()[25 + 3] = 0x7F;  // the first name longer than the file
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
  other[4] = 2;
  windows.files.AddFile(path, Sealed(other));
  TBaselineLoad load = LoadBaseline(windows.platform());
  EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
  EXPECT_EQ(load.message, Message("was written in another format (version 2)", path + ".v2"));
  EXPECT_TRUE(windows.files.Exists(path + ".v2"));

  windows.files.AddFile(path, saved.Encode());
  windows.files.SetHook([](const FileOperation& op) { return op.kind != FileOperation::Kind::Read; });
  load = LoadBaseline(windows.platform());
  EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
  EXPECT_EQ(load.message, Message("cannot be read", path + ".unreadable"));

  windows.files.AddFile(path, {1, 2, 3});
  windows.files.SetHook([](const FileOperation& op) { return op.kind != FileOperation::Kind::Move; });
  load = LoadBaseline(windows.platform());
  EXPECT_EQ(load.state, TBaselineLoad::State::Unusable);
  EXPECT_EQ(load.keptAs, "");
  EXPECT_EQ(load.message, "The stored baseline " + path +
                              " is damaged; it could not be moved aside and a new one is taken in its place");
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
