// The service manager as both worlds must answer it: its changes show in the Services key as
// the registry reader finds them.
#include "contract/Worlds.h"
#include "platform/RegistryValues.h"

namespace korvalis::contract {

using namespace platform;

namespace {
class ServiceContract : public ContractTest {
 protected:
  // A value of the service's key as "dword N" or "text T"; "(none)" when it is missing.
  std::string Value(const std::string& service, const std::string& name) {
    OpenedKey key = platform().registry.OpenKey(RootKey::LocalMachine, std::string(kServicesKey) + "\\" + service,
                                                KeyAccess::Read);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (!key || ReadValueBytes(*key.key, name, type, bytes) != kSuccess) return "(none)";
    if (type == kRegDword && bytes.size() == 4) return "dword " + std::to_string(bytes[0]);
    // Windows writes a path as expandable text, Wine as plain text: the reader takes either.
    return IsStringType(type) ? "text " + TextOfBytes(bytes) : "type " + std::to_string(type);
  }
};
}  // namespace

TEST_P(ServiceContract, AServiceIsSwitchedAndPointedElsewhereThroughTheManager) {
  const std::string name = world().ScratchService(kServiceDemandStart, "C:\\windows\\system32\\notepad.exe");
  ASSERT_FALSE(name.empty());
  ServiceControl& services = platform().services;
  EXPECT_EQ(Value(name, "Start"), "dword 3");
  EXPECT_FALSE(services.IsRunning(name));
  EXPECT_EQ(services.Stop(name), kSuccess);  // not running: nothing to stop
  ASSERT_EQ(services.SetStartType(name, kServiceAutoStart), kSuccess);
  EXPECT_EQ(Value(name, "Start"), "dword 2");
  ASSERT_EQ(services.SetImagePath(name, "\"C:\\Tools\\other.exe\" -k"), kSuccess);
  EXPECT_EQ(Value(name, "ImagePath"), "text \"C:\\Tools\\other.exe\" -k");
  EXPECT_EQ(Value(name, "Start"), "dword 2");
  const ServiceDisabling disabled = DisableService(platform().registry, services, name);
  EXPECT_EQ(disabled.disabled, kSuccess);
  EXPECT_EQ(disabled.stopped, kSuccess);
  EXPECT_EQ(Value(name, "Start"), "dword 4");
}

TEST_P(ServiceContract, AServiceOnlyTheRegistryHoldsIsUnknownToTheManagerAndChangedInItsKey) {
  const std::string name = world().RegistryOnlyService(kServiceAutoStart, "C:\\windows\\system32\\notepad.exe");
  ASSERT_FALSE(name.empty());
  Registry& registry = platform().registry;
  ServiceControl& services = platform().services;
  EXPECT_EQ(services.SetStartType(name, kServiceDisabled), kErrorServiceDoesNotExist);
  EXPECT_EQ(Value(name, "Start"), "dword 2");
  EXPECT_EQ(SetServiceImagePath(registry, services, name, "C:\\Tools\\other.exe"), kSuccess);
  EXPECT_EQ(Value(name, "ImagePath"), "text C:\\Tools\\other.exe");
  const ServiceDisabling disabled = DisableService(registry, services, name);
  EXPECT_EQ(disabled.disabled, kSuccess);
  EXPECT_EQ(disabled.stopped, kSuccess);
  EXPECT_EQ(Value(name, "Start"), "dword 4");
  EXPECT_EQ(DisableService(registry, services, "KorvalisNeverMade").disabled, kErrorServiceDoesNotExist);
}

TEST_P(ServiceContract, AServiceThatDoesNotExistIsSaidToBeMissing) {
  ServiceControl& services = platform().services;
  EXPECT_EQ(services.SetStartType("KorvalisNeverMade", kServiceDisabled), kErrorServiceDoesNotExist);
  EXPECT_EQ(services.SetImagePath("KorvalisNeverMade", "C:\\x.exe"), kErrorServiceDoesNotExist);
  EXPECT_EQ(services.Stop("KorvalisNeverMade"), kErrorServiceDoesNotExist);
  EXPECT_FALSE(services.IsRunning("KorvalisNeverMade"));
}

KORVALIS_INSTANTIATE_CONTRACT(ServiceContract);

}  // namespace korvalis::contract
