#include "eventlog/zelEventLog.h"

#include <exception>
#include <vector>

#include "eventlog/EventLogHandle.h"
#include "platform/Error.h"
#include "platform/RegistryValues.h"

namespace korvalis::eventlog {

namespace {

constexpr const char* kSourcesKey = "\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
// The longest user name Windows allows (UNLEN) and its NUL: a shorter buffer would turn
// perfectly valid long names into "N/A".
constexpr std::uint32_t kUserNameChars = 256 + 1;
constexpr std::uint32_t kSignBit = 0x80000000u;

std::string SourceKey(const std::string& source) { return platform::PathFromRoot(kSourcesKey + source); }

}  // namespace

std::uint16_t EventTypeCode(TEventType type) {
  // A value cast in from outside the enumeration must not shift past the word.
  if (type > etAuditFailure) return EventTypeCode(etInformation);
  return static_cast<std::uint16_t>(1u << type);
}

void RegisterMessageFile(platform::Registry& registry, const std::string& source, const std::string& messageFile) {
  const std::string path = SourceKey(source);
  const auto key = registry.CreateKey(platform::RootKey::LocalMachine, path, platform::KeyAccess::Write);
  if (!key) throw Error(FormatText("Failed to create key %s", path));
  // The kinds a user can filter on in Event Viewer; audits belong to the security log.
  const std::uint32_t types = EventTypeCode(etError) | EventTypeCode(etWarning) | EventTypeCode(etInformation);
  const auto set = [&key](const char* name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
    if (key.key->SetValue(name, type, data) != platform::kSuccess)
      throw Error(FormatText("Failed to set data for '%s'", name));
  };
  set("EventMessageFile", platform::kRegExpandSz, platform::StringBytes(messageFile));
  set("TypesSupported", platform::kRegDword, platform::DwordBytes(types));
}

std::string RegisteredMessageFile(platform::Registry& registry, const std::string& source) {
  const auto key = registry.OpenKey(platform::RootKey::LocalMachine, SourceKey(source), platform::KeyAccess::Read);
  if (!key) return std::string();
  std::uint32_t type = 0, typesType = 0;
  std::vector<std::uint8_t> file, types;
  if (platform::ReadValueBytes(*key.key, "EventMessageFile", type, file) != platform::kSuccess ||
      !platform::IsStringType(type) ||
      platform::ReadValueBytes(*key.key, "TypesSupported", typesType, types) != platform::kSuccess ||
      typesType != platform::kRegDword)
    return std::string();
  return platform::TextOfBytes(file);
}

TzelEventLog::TzelEventLog(const platform::Platform& platform) : platform_(platform) {}

void TzelEventLog::SetApplicationName(const std::string& name) {
  if (name != applicationName_) applicationName_ = name;
}

void TzelEventLog::SetEventID(std::uint32_t id) {
  if (id == eventId_) return;
  eventId_ = id > kSignBit ? 0u - id : id;
}

void TzelEventLog::SetEventCategory(std::uint16_t category) {
  if (category != eventCategory_) eventCategory_ = category;
}

void TzelEventLog::LogMessage(const std::string& message) noexcept {
  Report(EventTypeCode(eventType_), eventId_, [&] { return std::vector<std::string>{Header() + message}; });
}

void TzelEventLog::LogRecord(TEventType type, std::uint32_t eventId, const std::vector<std::string>& strings) noexcept {
  Report(EventTypeCode(type), eventId, [&] { return strings; });
}

void TzelEventLog::RegisterSource() {
  // The key only has to exist; a user without rights under HKEY_LOCAL_MACHINE still reports.
  try {
    platform_.registry.CreateKey(platform::RootKey::LocalMachine, SourceKey(applicationName_),
                                 platform::KeyAccess::All);
  } catch (const std::exception&) {
  }
}

std::string TzelEventLog::UserName() const {
  std::string user;
  if (!platform_.environment.UserName(kUserNameChars, user)) user = "N/A";
  return user;
}

std::string TzelEventLog::Header() const { return includeUserName_ ? "\r\nUser: " + UserName() + "\r\n" : "\r\n"; }

void TzelEventLog::Report(std::uint16_t type, std::uint32_t eventId,
                          const std::function<std::vector<std::string>()>& strings) noexcept {
  // The closing record is written while the main window is being destroyed, where an error
  // would have nowhere to go.
  try {
    std::uint32_t platformId = 0;
    if (!platform_.environment.PlatformId(platformId) || platformId < platform::kVerPlatformWin32Nt) return;
    if (registerApplication_) RegisterSource();
    const EventLogHandle log(platform_.eventLog, applicationName_);
    if (!log) return;
    platform_.eventLog.Report(log.Get(), type, eventCategory_, eventId, strings());
  } catch (const std::exception&) {
  }
}

}  // namespace korvalis::eventlog
