#include <string>

#include "contract/World.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::contract {

namespace {

class MemoryWorld : public World {
 public:
  MemoryWorld() {
    // The command processor, as far as the contract starts it: "/c exit N" ends with N.
    windows_.files.AddFile(windows_.environment.systemFolder + "\\cmd.exe");
    windows_.elevation.elevated = [](const std::string& arguments, std::uint32_t& exitCode) {
      exitCode = static_cast<std::uint32_t>(std::stoul(arguments.substr(arguments.rfind(' ') + 1)));
    };
  }
  platform::Platform Platform() override { return windows_.platform(); }
  std::string ScratchKey() override { return "Software\\KorvalisTest\\Scratch"; }
  std::string ScratchFolder() override {
    windows_.files.AddFolder("C:\\Temp\\Scratch");
    return "C:\\Temp\\Scratch";
  }
  void SetVariable(const std::string& name, const std::string& value) override {
    windows_.environment.SetVariable(name, value);
  }
  std::string ScratchService(std::uint32_t startType, const std::string& imagePath) override {
    windows_.services.Add("KorvalisScratch", startType, imagePath);
    return "KorvalisScratch";
  }
  std::string RegistryOnlyService(std::uint32_t startType, const std::string& imagePath) override {
    windows_.services.AddToRegistryOnly("KorvalisGhost", startType, imagePath);
    return "KorvalisGhost";
  }
  bool MakeHardLink(const std::string& existing, const std::string& path) override {
    windows_.files.AddHardLink(existing, path);
    return true;
  }
  bool MakePipe(const std::string& path) override {
    windows_.files.AddDevice(path);
    return true;
  }
  bool MakeSymbolicLink(const std::string& path, const std::string& target) override {
    windows_.files.AddSymbolicLink(path, target);
    return true;
  }
  platform::TPrincipal CurrentUser() override { return windows_.security.user; }
  bool SetAccess(const std::string& path, const std::vector<platform::TAccessGrant>& grants) override {
    windows_.security.SetAccess(path, grants);
    return true;
  }
  std::shared_ptr<void> HoldOpen(const std::string&) override { return std::make_shared<int>(0); }

 private:
  platform::memory::MemoryWindows windows_;
};

}  // namespace

WorldKind MemoryWorldKind() {
  return WorldKind{"Memory", [] { return std::unique_ptr<World>(std::make_unique<MemoryWorld>()); }};
}

}  // namespace korvalis::contract
