// Environment, shell link object, event log and the elevated start of a program as both worlds
// must answer them.
#include "contract/Worlds.h"

namespace korvalis::contract {

using namespace platform;

namespace {
class SystemContract : public ContractTest {};
}  // namespace

TEST_P(SystemContract, VariablesAreReadByNameAndAnUnsetOneIsReportedUnset) {
  world().SetVariable("KORVALIS_CONTRACT", "one;two");
  std::string value;
  ASSERT_TRUE(platform().environment.Variable("KORVALIS_CONTRACT", value));
  EXPECT_EQ(value, "one;two");
  EXPECT_FALSE(platform().environment.Variable("KORVALIS_NEVER_SET", value));
}

TEST_P(SystemContract, TheSystemFoldersExistAndTheUserNameNeedsRoomForItsNul) {
  Environment& environment = platform().environment;
  EXPECT_TRUE(platform().files.SetCurrentFolder(environment.SystemFolder()));
  EXPECT_TRUE(platform().files.SetCurrentFolder(environment.WindowsFolder()));
  std::string name;
  ASSERT_TRUE(environment.UserName(256, name));
  ASSERT_FALSE(name.empty());
  std::string tooShort;
  EXPECT_FALSE(environment.UserName(static_cast<std::uint32_t>(name.size()), tooShort));
  EXPECT_TRUE(environment.UserName(static_cast<std::uint32_t>(name.size() + 1), tooShort));
  std::uint32_t id = 0;
  ASSERT_TRUE(environment.PlatformId(id));
  EXPECT_EQ(id, kVerPlatformWin32Nt);
  EXPECT_TRUE(platform().files.IsFile(environment.ProgramPath()));
}

TEST_P(SystemContract, AProgramStartedAsAdministratorIsWaitedForAndItsExitCodeComesBack) {
  std::uint32_t exitCode = 0;
  const std::string processor = platform().environment.SystemFolder() + "\\cmd.exe";
  ASSERT_EQ(platform().elevation.RunElevated(processor, "/c exit 7", 0, exitCode), kSuccess);
  EXPECT_EQ(exitCode, 7u);
  EXPECT_EQ(platform().elevation.RunElevated(world().ScratchFolder() + "\\missing.exe", "", 0, exitCode),
            kErrorFileNotFound);
}

TEST_P(SystemContract, BothStartupFoldersAreNamedAndExist) {
  for (int csidl : {kCsidlStartup, kCsidlCommonStartup}) {
    const std::string folder = platform().shell.SpecialFolderPath(csidl, 0);
    ASSERT_FALSE(folder.empty()) << csidl;
    EXPECT_TRUE(platform().files.SetCurrentFolder(folder)) << folder;
    EXPECT_EQ(platform().shell.SpecialFolderPathEvenIfMissing(csidl), folder);
  }
}

TEST_P(SystemContract, ALinkSavedAndLoadedAgainKeepsEveryField) {
  const std::string path = world().ScratchFolder() + "\\Agent.lnk";
  {
    CreatedLink created = platform().shell.CreateShellLink(false);
    ASSERT_EQ(created.result, kS_OK);
    auto& link = *created.link;
    link.SetPath("C:\\Tools\\agent.exe");
    link.SetWorkingDirectory("C:\\Tools");
    link.SetArguments("-quiet --level 2");
    link.SetDescription("The agent");
    link.SetIconLocation("C:\\Tools\\agent.ico", 3);
    link.SetHotkey(0x064E);  // Ctrl+Alt+N
    ASSERT_EQ(link.Save(path), kS_OK);
  }
  CreatedLink created = platform().shell.CreateShellLink(true);
  ASSERT_EQ(created.result, kS_OK);
  auto& link = *created.link;
  ASSERT_EQ(link.Load(path), kS_OK);
  ASSERT_EQ(link.Resolve(kSlrAnyMatch | kSlrNoUi), kS_OK);
  std::string text;
  ASSERT_EQ(link.GetPath(text, kSlgpUncPriority), kS_OK);
  EXPECT_EQ(text, "C:\\Tools\\agent.exe");
  ASSERT_EQ(link.GetArguments(text), kS_OK);
  EXPECT_EQ(text, "-quiet --level 2");
  ASSERT_EQ(link.GetWorkingDirectory(text), kS_OK);
  EXPECT_EQ(text, "C:\\Tools");
  ASSERT_EQ(link.GetDescription(text), kS_OK);
  EXPECT_EQ(text, "The agent");
  int index = 0;
  ASSERT_EQ(link.GetIconLocation(text, index), kS_OK);
  EXPECT_EQ(text, "C:\\Tools\\agent.ico");
  EXPECT_EQ(index, 3);
  std::uint16_t hotkey = 0;
  ASSERT_EQ(link.GetHotkey(hotkey), kS_OK);
  EXPECT_EQ(hotkey, 0x064E);
}

TEST_P(SystemContract, LinkLoadAndSaveFailuresAnswerAsTheShellDoes) {
  const std::string folder = world().ScratchFolder();
  ASSERT_TRUE(platform().files.WriteFile(folder + "\\Notes.lnk", {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'k'}));
  CreatedLink created = platform().shell.CreateShellLink(true);
  ASSERT_EQ(created.result, kS_OK);
  EXPECT_EQ(created.link->Load(folder + "\\Notes.lnk"), kE_FAIL);
  EXPECT_EQ(created.link->Load(folder + "\\Missing.lnk"), kHResultFileNotFound);
  EXPECT_EQ(created.link->Save(folder + "\\missing\\Agent.lnk"), kHResultPathNotFound);
}

TEST_P(SystemContract, AnEventIsReportedThroughAnOpenedSource) {
  EventLogApi& log = platform().eventLog;
  const std::uintptr_t handle = log.Open("KorvalisContract");
  ASSERT_NE(handle, 0u);
  EXPECT_TRUE(log.Report(handle, 4, 0, 0, {"\r\nContract record"}));
  log.Close(handle);
}

KORVALIS_INSTANTIATE_CONTRACT(SystemContract);

}  // namespace korvalis::contract
