#pragma once
// Who may change a file or folder, as its owner and access list say, and whether an elevation
// would cross a boundary at all.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SystemCodes.h"

namespace korvalis::platform {

// Rights of an access entry that change an object or, for a folder, what it holds.
constexpr std::uint32_t kRightWriteData = 0x2;     // a folder: add a file
constexpr std::uint32_t kRightAppendData = 0x4;    // a folder: add a subfolder
constexpr std::uint32_t kRightWriteEa = 0x10;
constexpr std::uint32_t kRightDeleteChild = 0x40;  // a folder: delete or rename what it holds
constexpr std::uint32_t kRightWriteAttributes = 0x100;
constexpr std::uint32_t kRightDelete = 0x10000;
constexpr std::uint32_t kRightWriteDac = 0x40000;
constexpr std::uint32_t kRightWriteOwner = 0x80000;
constexpr std::uint32_t kRightGenericAll = 0x10000000;
constexpr std::uint32_t kRightGenericWrite = 0x40000000;
constexpr std::uint32_t kRightsReadExecute = 0x1200a9;
constexpr std::uint32_t kRightsFull = 0x1f01ff;

// The principals whose rights are an administrator's anyway.
constexpr const char* kSidAdministrators = "S-1-5-32-544";
constexpr const char* kSidSystem = "S-1-5-18";
constexpr const char* kSidTrustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr const char* kSidUsers = "S-1-5-32-545";
constexpr const char* kSidEveryone = "S-1-1-0";

struct TPrincipal {
  std::string sid;   // "S-1-5-32-545"
  std::string name;  // "BUILTIN\Users"; the SID where the system knows no name
};

struct TAccessGrant {
  TPrincipal principal;
  std::uint32_t rights = 0;
};

struct TAccessList {
  TPrincipal owner;  // who may always rewrite the access list
  bool none = false;  // no access list at all: everyone may do anything
  // The allowed entries that apply to the object itself, not those only its contents inherit.
  std::vector<TAccessGrant> allowed;
};

class Security {
 public:
  virtual ~Security() = default;
  // The owner and access list of a file or folder; the system's code when it cannot be read.
  virtual Status AccessOf(const std::string& path, TAccessList& access) = 0;
  // Whether the user's programs hold administrator rights without asking: an elevated copy then
  // gives a hostile program nothing it does not have already.
  virtual bool UserHoldsAdministratorRights() = 0;
};

// A file or folder that someone beside administrators, SYSTEM and TrustedInstaller may change.
struct TChangeable {
  std::string path;
  std::vector<TPrincipal> who;  // empty when its access list cannot be read
  Status readError = kSuccess;
};

// The file and every folder above it up to its drive's root, each that another principal may
// change: the file and its own folder by any right to write, the folders above by a right that
// changes what the path names (delete, delete what it holds, rewrite the access list or owner).
std::vector<TChangeable> ChangeableEntries(Security& security, const std::string& path);

}  // namespace korvalis::platform
