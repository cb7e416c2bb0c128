// What both worlds say about a program file that is missing, on the network, a pipe or a
// device, no program, or one whose certificate table is broken.
#include <cstdint>
#include <utility>
#include <vector>

#include "contract/Worlds.h"

namespace korvalis::contract {

using namespace platform;

namespace {
class FileFactsContract : public ContractTest {};
}  // namespace

TEST_P(FileFactsContract, AMissingFileAFolderAndNoPathAreNotFound) {
  const std::string folder = world().ScratchFolder();
  for (const std::string& path : {folder + "\\absent.exe", folder, std::string()}) {
    const FileFacts facts = platform().inspector.Inspect(path);
    EXPECT_EQ(facts.lookup, FileLookup::NotFound) << path;
    EXPECT_TRUE(facts.company.empty() && facts.product.empty() && facts.signer.empty()) << path;
  }
}

TEST_P(FileFactsContract, PathsToTheNetworkAPipeOrADeviceAreNamedSoAndNeverLookedUp) {
  const std::pair<const char*, FileLookup> untouched[] = {
      {"\\\\server\\share\\setup.exe", FileLookup::NotLookedUp},
      {"\\\\?\\UNC\\server\\share\\setup.exe", FileLookup::NotLookedUp},
      {"//server/share/setup.exe", FileLookup::NotLookedUp},
      {"\\\\.\\pipe\\agent", FileLookup::LocalPipe},
      {"\\\\?\\PIPE\\agent", FileLookup::LocalPipe},
      {"\\\\?\\GLOBALROOT\\Device\\NamedPipe\\agent", FileLookup::LocalPipe},
      {"\\\\.\\COM1", FileLookup::Device},
      {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\agent.exe", FileLookup::Device},
  };
  for (const auto& [path, kind] : untouched) {
    EXPECT_TRUE(platform().inspector.IsRemote(path)) << path;
    EXPECT_EQ(platform().inspector.Inspect(path).lookup, kind) << path;
  }
  const std::string file = world().ScratchFolder() + "\\notes.txt";
  ASSERT_TRUE(platform().files.WriteFile(file, {'h', 'i'}));
  for (const std::string& local : {file, "\\\\?\\" + file, std::string("notes.txt"), std::string()})
    EXPECT_FALSE(platform().inspector.IsRemote(local)) << local;
  EXPECT_EQ(platform().inspector.Inspect("\\\\?\\" + file).lookup, FileLookup::Found);
}

TEST_P(FileFactsContract, AFileThatIsNoProgramIsFoundUnsignedAndNamesNoCompany) {
  const std::string file = world().ScratchFolder() + "\\notes.txt";
  ASSERT_TRUE(platform().files.WriteFile(file, {'h', 'i'}));
  const FileFacts facts = platform().inspector.Inspect(file);
  EXPECT_EQ(facts.lookup, FileLookup::Found);
  EXPECT_EQ(facts.signature, Signature::None);
  EXPECT_TRUE(facts.company.empty() && facts.product.empty() && facts.signer.empty());
}

namespace {

// The smallest PE file whose header names a certificate table at tableOffset of tableSize bytes,
// the table's first entry made of the header given and garbage.
std::vector<std::uint8_t> ProgramWithTable(std::uint32_t tableOffset, std::uint32_t tableSize,
                                           std::vector<std::uint8_t> firstEntry) {
  std::vector<std::uint8_t> bytes(512, 0);
  const auto put = [&](std::size_t at, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  bytes[0] = 'M';
  bytes[1] = 'Z';
  put(0x3C, 0x40, 4);
  put(0x40, 0x00004550, 4);  // "PE\0\0"
  put(0x44, 0x14C, 2);       // i386
  put(0x54, 224, 2);         // the optional header's size
  put(0x56, 0x0102, 2);      // executable, 32-bit
  put(0x58, 0x10B, 2);       // PE32
  put(0x58 + 92, 16, 4);     // data directories
  put(0x58 + 128, tableOffset, 4);
  put(0x58 + 132, tableSize, 4);
  firstEntry.resize(64, 0xA5);
  bytes.insert(bytes.end(), firstEntry.begin(), firstEntry.end());
  return bytes;
}

}  // namespace

TEST_P(FileFactsContract, ACertificateTableThatDoesNotHoldTogetherIsASignatureNotValid) {
  const std::vector<std::uint8_t> signedData{64, 0, 0, 0, 0, 2, 2, 0};  // length 64, revision 2.0, PKCS
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    Signature signature;
  };
  const Case cases[] = {
      {"none.exe", ProgramWithTable(0, 0, {}), Signature::None},
      {"beyond.exe", ProgramWithTable(512, 4096, signedData), Signature::NotValid},
      {"unknown-type.exe", ProgramWithTable(512, 64, {64, 0, 0, 0, 0, 2, 9, 0}), Signature::NotValid},
      {"garbage.exe", ProgramWithTable(512, 64, signedData), Signature::NotValid},
  };
  for (const Case& c : cases) {
    const std::string file = world().ScratchFolder() + "\\" + c.name;
    ASSERT_TRUE(platform().files.WriteFile(file, c.bytes));
    const FileFacts facts = platform().inspector.Inspect(file);
    EXPECT_EQ(facts.lookup, FileLookup::Found) << c.name;
    EXPECT_EQ(facts.signature, c.signature) << c.name;
  }
}

KORVALIS_INSTANTIATE_CONTRACT(FileFactsContract);

}  // namespace korvalis::contract
