// What both worlds say about a program file that is missing, on the network, or no program.
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

TEST_P(FileFactsContract, NetworkPathsAreNotLookedUpButTheLongLocalFormIs) {
  for (const char* path : {"\\\\server\\share\\setup.exe", "\\\\?\\UNC\\server\\share\\setup.exe",
                           "//server/share/setup.exe", "\\\\.\\pipe\\agent"}) {
    EXPECT_TRUE(platform().inspector.IsRemote(path)) << path;
    EXPECT_EQ(platform().inspector.Inspect(path).lookup, FileLookup::NotLookedUp) << path;
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

KORVALIS_INSTANTIATE_CONTRACT(FileFactsContract);

}  // namespace korvalis::contract
