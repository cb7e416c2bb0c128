#include "platform/win32/Win32Security.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

namespace korvalis::platform::win32 {

namespace {

// Conditional entries grant as plain ones do when their condition holds: both count.
constexpr BYTE kAllowedCallbackAceType = 9;

std::string Narrow(const std::wstring& text) { return WideToAnsi(text.c_str(), text.size()); }

TPrincipal PrincipalOf(PSID sid) {
  TPrincipal principal;
  LPWSTR text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return principal;
  UniqueLocalMemory kept(text);
  principal.sid = Narrow(text);
  wchar_t name[256] = {}, domain[256] = {};
  DWORD nameLength = 256, domainLength = 256;
  SID_NAME_USE use{};
  if (LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
    principal.name = domain[0] ? Narrow(domain) + "\\" + Narrow(name) : Narrow(name);
  if (principal.name.empty()) principal.name = principal.sid;
  return principal;
}

}  // namespace

Status Win32Security::AccessOf(const std::string& path, TAccessList& access) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status =
      GetNamedSecurityInfoW(AnsiToWide(path).c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) return static_cast<Status>(status);
  UniqueLocalMemory kept(descriptor);
  access = TAccessList{};
  access.owner = PrincipalOf(owner);
  if (!dacl) {
    access.none = true;
    return kSuccess;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return static_cast<Status>(GetLastError());
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != kAllowedCallbackAceType) continue;
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    // A callback entry starts as a plain allowed one: mask, then the SID.
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    access.allowed.push_back(TAccessGrant{PrincipalOf(&allowed->SidStart), allowed->Mask});
  }
  return kSuccess;
}

bool Win32Security::UserHoldsAdministratorRights() {
  UniqueProcess token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD length = 0;
  if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &length)) return false;
  UniqueProcess linked;
  if (type == TokenElevationTypeFull) {
    TOKEN_LINKED_TOKEN link{};
    if (!GetTokenInformation(token.get(), TokenLinkedToken, &link, sizeof link, &length)) return false;
    linked.reset(link.LinkedToken);
  }
  BYTE sid[SECURITY_MAX_SID_SIZE] = {};
  DWORD sidSize = sizeof sid;
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) return false;
  BOOL member = FALSE;
  // Without a linked token the process's own: CheckTokenMembership counts no deny-only group.
  return CheckTokenMembership(linked.get(), sid, &member) && member;
}

}  // namespace korvalis::platform::win32
