#include "platform/Security.h"

#include <algorithm>
#include <utility>

namespace korvalis::platform {

namespace {

constexpr std::uint32_t kRightsChangingTheObject = kRightWriteData | kRightAppendData | kRightWriteEa |
                                                   kRightDeleteChild | kRightWriteAttributes | kRightDelete |
                                                   kRightWriteDac | kRightWriteOwner | kRightGenericAll |
                                                   kRightGenericWrite;
// Above the program's own folder, adding a file or a subfolder changes nothing the path names
// (a drive's root lets every user make folders).
constexpr std::uint32_t kRightsChangingThePath =
    kRightDeleteChild | kRightDelete | kRightWriteDac | kRightWriteOwner | kRightGenericAll;

bool Trusted(const TPrincipal& principal) {
  return principal.sid == kSidAdministrators || principal.sid == kSidSystem || principal.sid == kSidTrustedInstaller;
}

void AddOnce(std::vector<TPrincipal>& who, const TPrincipal& principal) {
  for (const TPrincipal& known : who)
    if (known.sid == principal.sid) return;
  who.push_back(principal);
}

// The path itself, then each folder above it, the root as "C:\"; none for a path that is not
// an absolute drive path.
std::vector<std::string> PathAndFoldersAbove(const std::string& path) {
  std::vector<std::string> chain;
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return chain;
  std::string at = path;
  while (at.size() > 3 && at.back() == '\\') at.pop_back();
  chain.push_back(at);
  for (auto cut = at.find_last_of('\\'); at.size() > 3; cut = at.find_last_of('\\')) {
    at = at.substr(0, std::max<std::size_t>(cut, 2));
    if (at.size() == 2) at += '\\';
    chain.push_back(at);
  }
  return chain;
}

}  // namespace

std::vector<TChangeable> ChangeableEntries(Security& security, const std::string& path) {
  const std::vector<std::string> chain = PathAndFoldersAbove(path);
  if (chain.empty()) return {TChangeable{path, {}, kErrorInvalidName}};
  std::vector<TChangeable> changeable;
  for (std::size_t level = 0; level < chain.size(); ++level) {
    TAccessList access;
    const Status status = security.AccessOf(chain[level], access);
    if (status != kSuccess) {
      changeable.push_back(TChangeable{chain[level], {}, status});
      continue;
    }
    const std::uint32_t counted = level < 2 ? kRightsChangingTheObject : kRightsChangingThePath;
    TChangeable entry{chain[level], {}, kSuccess};
    if (access.none) entry.who.push_back(TPrincipal{kSidEveryone, "Everyone"});
    if (!access.owner.sid.empty() && !Trusted(access.owner)) AddOnce(entry.who, access.owner);
    for (const TAccessGrant& grant : access.allowed)
      if ((grant.rights & counted) != 0 && !Trusted(grant.principal)) AddOnce(entry.who, grant.principal);
    if (!entry.who.empty()) changeable.push_back(std::move(entry));
  }
  return changeable;
}

}  // namespace korvalis::platform
