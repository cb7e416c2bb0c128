#pragma once
// Access lists as a test sets them: by default each path is the machine's (owned by the
// administrators, who with SYSTEM may change it, the users may read it), and an unreadable one
// can be injected.
#include <map>
#include <string>
#include <vector>

#include "platform/Security.h"

namespace korvalis::platform::memory {

class MemorySecurity : public Security {
 public:
  MemorySecurity();
  Status AccessOf(const std::string& path, TAccessList& access) override;
  bool UserHoldsAdministratorRights() override { return userIsAdministrator; }

  // The user the tests run as.
  TPrincipal user{"S-1-5-21-1004336348-1177238915-682003330-1001", "PC\\alice"};
  bool userIsAdministrator = false;

  // The path's access list replaced by these grants, or none at all.
  void SetAccess(const std::string& path, std::vector<TAccessGrant> grants);
  void SetNoAccessList(const std::string& path);
  // One more grant beside those the path has.
  void Grant(const std::string& path, const TPrincipal& principal, std::uint32_t rights);
  void SetOwner(const std::string& path, const TPrincipal& owner);
  // Reading the path's access list fails with this code.
  void FailReading(const std::string& path, Status status = kErrorAccessDenied);

 private:
  TAccessList& At(const std::string& path);

  TAccessList machine_;
  std::map<std::string, TAccessList> lists_;  // by path in capitals
  std::map<std::string, Status> failing_;
};

}  // namespace korvalis::platform::memory
