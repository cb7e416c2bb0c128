#include "platform/memory/MemorySecurity.h"

#include "text/StrMan.h"

namespace korvalis::platform::memory {

namespace {
std::string KeyOf(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return text::UpperAscii(path);
}
}  // namespace

MemorySecurity::MemorySecurity() {
  const TPrincipal administrators{kSidAdministrators, "BUILTIN\\Administrators"};
  machine_.owner = administrators;
  machine_.allowed = {TAccessGrant{administrators, kRightsFull},
                      TAccessGrant{TPrincipal{kSidSystem, "NT AUTHORITY\\SYSTEM"}, kRightsFull},
                      TAccessGrant{TPrincipal{kSidUsers, "BUILTIN\\Users"}, kRightsReadExecute}};
}

Status MemorySecurity::AccessOf(const std::string& path, TAccessList& access) {
  const std::string key = KeyOf(path);
  if (const auto failing = failing_.find(key); failing != failing_.end()) return failing->second;
  const auto it = lists_.find(key);
  access = it != lists_.end() ? it->second : machine_;
  return kSuccess;
}

TAccessList& MemorySecurity::At(const std::string& path) {
  return lists_.emplace(KeyOf(path), machine_).first->second;
}

void MemorySecurity::SetAccess(const std::string& path, std::vector<TAccessGrant> grants) {
  TAccessList& access = At(path);
  access.none = false;
  access.allowed = std::move(grants);
}

void MemorySecurity::SetNoAccessList(const std::string& path) {
  TAccessList& access = At(path);
  access.none = true;
  access.allowed.clear();
}

void MemorySecurity::Grant(const std::string& path, const TPrincipal& principal, std::uint32_t rights) {
  At(path).allowed.push_back(TAccessGrant{principal, rights});
}

void MemorySecurity::SetOwner(const std::string& path, const TPrincipal& owner) { At(path).owner = owner; }

void MemorySecurity::FailReading(const std::string& path, Status status) { failing_[KeyOf(path)] = status; }

}  // namespace korvalis::platform::memory
