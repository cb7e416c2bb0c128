#pragma once
#include "platform/Security.h"

namespace korvalis::platform::win32 {

class Win32Security : public Security {
 public:
  // The file's security descriptor: its owner and the allowed entries of its access list.
  Status AccessOf(const std::string& path, TAccessList& access) override;
  // The user's unelevated token (the linked one of an elevated process) holding the
  // administrators enabled, not only as a group that denies.
  bool UserHoldsAdministratorRights() override;
};

}  // namespace korvalis::platform::win32
