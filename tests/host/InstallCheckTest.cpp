#include <gtest/gtest.h>

#include "app/InstallCheck.h"
#include "platform/memory/MemorySecurity.h"

namespace korvalis::app {

using namespace platform;

TEST(InstallCheckTest, EachFileOrFolderUpToTheRootIsNamedWithWhoMayChangeIt) {
  memory::MemorySecurity security;
  const std::string program = "C:\\Users\\alice\\Programs\\Korvalis\\korvalis.exe";
  EXPECT_TRUE(InstallCheck(security, program).empty());

  const TPrincipal users{kSidUsers, "BUILTIN\\Users"};
  // Adding a subfolder to a folder above the program's own changes nothing its path names.
  security.Grant("C:\\", users, kRightAppendData);
  security.Grant("C:\\Users", users, kRightWriteData);
  EXPECT_TRUE(InstallCheck(security, program).empty());

  security.Grant("C:\\Users\\alice\\Programs\\Korvalis", users, kRightAppendData);
  security.Grant("C:\\Users\\alice\\Programs\\Korvalis", security.user, kRightGenericWrite);
  security.Grant("C:\\Users\\alice", users, kRightDeleteChild);
  security.SetOwner("C:\\Users\\alice", security.user);
  security.SetNoAccessList(program);
  security.FailReading("C:\\Users\\alice\\Programs");
  EXPECT_EQ(InstallCheck(security, program),
            (std::vector<std::string>{program + ": Everyone may change it",
                                      "C:\\Users\\alice\\Programs\\Korvalis: BUILTIN\\Users, PC\\alice may change it",
                                      "C:\\Users\\alice\\Programs: its access list cannot be read (error 5)",
                                      "C:\\Users\\alice: PC\\alice, BUILTIN\\Users may change it"}));
  EXPECT_EQ(InstallCheck(security, "\\\\server\\share\\korvalis.exe"),
            (std::vector<std::string>{"\\\\server\\share\\korvalis.exe: not on a local drive, so it cannot be checked"}));

  // Where the user's programs are administrators anyway, elevation gives a hostile one nothing.
  security.userIsAdministrator = true;
  EXPECT_TRUE(InstallCheck(security, program).empty());
}

}  // namespace korvalis::app
