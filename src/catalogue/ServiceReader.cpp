// Reading the services that start by themselves into the catalogue.
#include "catalogue/Places.h"
#include "catalogue/Startups.h"
#include "platform/RegistryValues.h"
#include "platform/Services.h"

namespace korvalis::catalogue {

namespace {

constexpr std::uint32_t kDriverTypes = 0x3;  // kernel and file system drivers

std::string TextValue(platform::RegistryKey& key, const std::string& name) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (platform::ReadValueBytes(key, name, type, bytes) != platform::kSuccess || !platform::IsStringType(type))
    return std::string();
  return platform::TextOfBytes(bytes);
}

bool NumberValue(platform::RegistryKey& key, const std::string& name, std::uint32_t& number) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (platform::ReadValueBytes(key, name, type, bytes) != platform::kSuccess || type != platform::kRegDword ||
      bytes.size() != 4)
    return false;
  number = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
  return true;
}

// What the service runs. A path the reader cannot take as text is no reason to leave the
// service out: the system may still make something of it, so it is asked about as such.
std::string ImageOf(platform::RegistryKey& key, const std::string& service) {
  std::uint32_t type = 0, serviceType = 0;
  std::vector<std::uint8_t> bytes;
  if (platform::ReadValueBytes(key, "ImagePath", type, bytes) == platform::kSuccess)
    return platform::IsStringType(type) ? platform::TextOfBytes(bytes) : kUnreadableImagePath;
  // Without a path the system loads a driver from its own folder by the service's name.
  if (NumberValue(key, "Type", serviceType) && (serviceType & kDriverTypes) != 0)
    return "System32\\drivers\\" + service + ".sys";
  return std::string();
}

}  // namespace

bool IsBootOrSystemDriver(const TStartup& entry) {
  const TPlace* place = entry.Place();
  return place && place->Kind().HoldsDrivers() && !entry.Key().BelowSubkey() &&
         entry.ValueType() <= platform::kServiceSystemStart;
}

TEntryKey ServiceDllKey(const std::string& service) { return TEntryKey::Below(service + "\\Parameters", "ServiceDll"); }

void TStartups::LoadServices(const TPlace& place, ReadProblems* problems) {
  platform::Registry& registry = platform_.registry;
  platform::OpenedKey services = registry.OpenKey(place.root, place.path, platform::KeyAccess::Read, place.view);
  if (!services) return;
  // The names first: a service deleted meanwhile cannot shift the enumeration past another.
  std::vector<std::string> names;
  std::string name;
  for (std::uint32_t index = 0; services.key->EnumSubkeyName(index, name) == platform::kSuccess; ++index)
    names.push_back(name);
  // A key that is there but cannot be read has not gone: its entries' absence is no removal.
  const auto unreadable = [problems](const platform::OpenedKey& key, std::vector<std::string> entries) {
    if (!problems || key.status == platform::kErrorFileNotFound) return;
    for (std::string& entry : entries) problems->unreadableNames.push_back(std::move(entry));
  };
  for (const std::string& service : names) {
    const std::string path = place.path + "\\" + service;
    platform::OpenedKey key = registry.OpenKey(place.root, path, platform::KeyAccess::Read, place.view);
    if (!key) {
      unreadable(key, {service, ServiceDllKey(service).Text()});
      continue;
    }
    // One that starts on demand runs on a trigger, a dependency or a call: what it runs counts too.
    std::uint32_t start = 0;
    if (!NumberValue(*key.key, "Start", start) || start > platform::kServiceDemandStart) continue;
    const std::string image = ImageOf(*key.key, service);
    const std::string shown = TextValue(*key.key, "DisplayName");
    const std::string title = shown.empty() ? service : shown;
    if (TStartup* entry = AddEntry(service, service, title, image, place.section, place.iconIndex))
      entry->SetValueType(start);
    // A shared process runs whatever library its service names.
    platform::OpenedKey parameters =
        registry.OpenKey(place.root, path + "\\Parameters", platform::KeyAccess::Read, place.view);
    if (!parameters) {
      unreadable(parameters, {ServiceDllKey(service).Text()});
      continue;
    }
    const std::string dll = TextValue(*parameters.key, "ServiceDll");
    const TEntryKey library = ServiceDllKey(service);
    AddEntry(library.Text(), library, title, dll, place.section, place.iconIndex);
  }
}

}  // namespace korvalis::catalogue
