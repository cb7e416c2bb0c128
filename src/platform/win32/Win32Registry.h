#pragma once
#include "platform/Registry.h"

namespace korvalis::platform::win32 {

class Win32Registry : public Registry {
 public:
  using Registry::CreateKey;
  using Registry::DeleteTree;
  using Registry::OpenKey;
  OpenedKey OpenKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) override;
  OpenedKey CreateKey(RootKey root, const std::string& path, KeyAccess access, RegistryView view) override;
  bool HasOtherView() const override;
  bool SameInBothViews(RootKey root, const std::string& path) override;
  Status DeleteTree(RootKey root, const std::string& path, RegistryView view) override;
  std::uint64_t PollWatches(const std::vector<ChangeWatch*>& watches) override;
};

}  // namespace korvalis::platform::win32
