#pragma once
// One Windows for the contract suite: the in-memory one, or the real one under Wine. Every
// case runs against each, so the in-memory world stays faithful to the real one.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Platform.h"

namespace korvalis::contract {

class World {
 public:
  virtual ~World() = default;
  virtual platform::Platform Platform() = 0;
  // A key path under HKEY_CURRENT_USER of this case's own, removed afterwards.
  virtual std::string ScratchKey() = 0;
  // An existing empty folder of this case's own (absolute path).
  virtual std::string ScratchFolder() = 0;
  virtual void SetVariable(const std::string& name, const std::string& value) = 0;
  // A service of this case's own, registered as a setup program would and removed afterwards;
  // its name, empty when it could not be made.
  virtual std::string ScratchService(std::uint32_t startType, const std::string& imagePath) = 0;
  // One written straight into the Services key while the manager runs, so the manager does not
  // know it; removed afterwards. Empty when it could not be made.
  virtual std::string RegistryOnlyService(std::uint32_t startType, const std::string& imagePath) = 0;
  // Things a folder may hold besides plain files; false where this world cannot make them.
  virtual bool MakeHardLink(const std::string& existing, const std::string& path) = 0;
  virtual bool MakePipe(const std::string& path) = 0;
  virtual bool MakeSymbolicLink(const std::string& path, const std::string& target) = 0;
  // The user the case runs as (its SID), and an access list of exactly these allowed entries
  // (inherited by what a folder holds) put on a file or folder; false when it was not taken.
  virtual platform::TPrincipal CurrentUser() = 0;
  virtual bool SetAccess(const std::string& path, const std::vector<platform::TAccessGrant>& grants) = 0;
  // Another program's handle on the file, open for reading and writing and sharing reading
  // only, until the holder goes; a world without handles holds nothing.
  virtual std::shared_ptr<void> HoldOpen(const std::string& path) = 0;
};

struct WorldKind {
  const char* name;
  std::function<std::unique_ptr<World>()> make;
};

inline std::ostream& operator<<(std::ostream& out, const WorldKind& kind) { return out << kind.name; }

class ContractTest : public ::testing::TestWithParam<WorldKind> {
 protected:
  void SetUp() override { world_ = GetParam().make(); }
  World& world() { return *world_; }
  platform::Platform platform() { return world_->Platform(); }

 private:
  std::unique_ptr<World> world_;
};

// Whether the watch fires within two seconds: the system's notification may arrive a moment
// after the write that causes it.
inline bool SignalsSoon(platform::ChangeWatch& watch) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (watch.Signaled()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

WorldKind MemoryWorldKind();
#ifdef _WIN32
WorldKind Win32WorldKind();
#endif

}  // namespace korvalis::contract
