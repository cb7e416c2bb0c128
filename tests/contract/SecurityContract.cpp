// Who may change a file or the folders above it, as both worlds read the access lists.
#include "contract/Worlds.h"

namespace korvalis::contract {

using namespace platform;

namespace {

class SecurityContract : public ContractTest {
 protected:
  // A program file two folders below the case's scratch folder.
  std::string MakeProgram() {
    top_ = world().ScratchFolder() + "\\Install";
    folder_ = top_ + "\\Korvalis";
    const std::string program = folder_ + "\\korvalis.exe";
    EXPECT_TRUE(platform().files.CreateFolders(folder_));
    EXPECT_TRUE(platform().files.WriteFileAtomically(program, {'M', 'Z'}));
    return program;
  }
  static const TChangeable* EntryOf(const std::vector<TChangeable>& entries, const std::string& path) {
    for (const TChangeable& entry : entries)
      if (entry.path == path) return &entry;
    return nullptr;
  }
  std::string top_, folder_;
};

const TPrincipal kAdministrators{kSidAdministrators, ""};
const TPrincipal kSystem{kSidSystem, ""};
const TPrincipal kUsers{kSidUsers, ""};

}  // namespace

TEST_P(SecurityContract, AUserGrantedWriteOnAFolderAboveTheProgramIsNamedThere) {
  const std::string program = MakeProgram();
  const TPrincipal user = world().CurrentUser();
  ASSERT_FALSE(user.sid.empty());
  ASSERT_TRUE(world().SetAccess(top_, {{kAdministrators, kRightsFull}, {kSystem, kRightsFull}, {user, kRightsFull}}));
  const std::vector<TChangeable> entries = ChangeableEntries(platform().security, program);
  const TChangeable* top = EntryOf(entries, top_);
  ASSERT_NE(top, nullptr);
  bool named = false;
  for (const TPrincipal& who : top->who) named = named || (who.sid == user.sid && !who.name.empty());
  EXPECT_TRUE(named);
}

TEST_P(SecurityContract, AProgramOnlyAdministratorsAndSystemMayWriteIsClean) {
  const std::string program = MakeProgram();
  const std::vector<TAccessGrant> machine{{kAdministrators, kRightsFull}, {kSystem, kRightsFull}, {kUsers, kRightsReadExecute}};
  for (const std::string& path : {top_, folder_, program}) ASSERT_TRUE(world().SetAccess(path, machine)) << path;
  TAccessList access;
  ASSERT_EQ(platform().security.AccessOf(top_, access), kSuccess);
  bool kept = access.owner.sid == kSidAdministrators;
  for (const TAccessGrant& grant : access.allowed)
    kept = kept && (grant.principal.sid == kSidAdministrators || grant.principal.sid == kSidSystem ||
                    (grant.rights & (kRightWriteData | kRightWriteDac)) == 0);
  if (!kept)
    GTEST_SKIP() << "this system does not keep the owner and access list it is given on a file (Wine derives "
                    "them from the host's file modes)";
  const std::vector<TChangeable> entries = ChangeableEntries(platform().security, program);
  // The folders above the scratch folder are the user's own.
  for (const std::string& path : {top_, folder_, program}) EXPECT_EQ(EntryOf(entries, path), nullptr) << path;
}

KORVALIS_INSTANTIATE_CONTRACT(SecurityContract);

}  // namespace korvalis::contract
