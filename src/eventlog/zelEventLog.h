#pragma once
// Reports text messages as records of the Application event log under a source name of its
// own, making sure first that the source has its key in the event-log branch of the registry.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace korvalis::eventlog {

enum TEventType : std::uint8_t { etError, etWarning, etInformation, etAuditSuccess, etAuditFailure };

// The type code the event log takes for each kind of record: 1, 2, 4, 8, 16.
std::uint16_t EventTypeCode(TEventType type);

// Gives Event Viewer what it needs to show the source's records as written: the program file
// whose message table formats them (a path the event log expands) and the kinds of record
// there are. The writer itself only makes the source's key exist. Needs the right to write
// under HKEY_LOCAL_MACHINE; a refused write raises its error.
void RegisterMessageFile(platform::Registry& registry, const std::string& source, const std::string& messageFile);
// The message file the source's key names together with the kinds of record; empty when either
// is missing.
std::string RegisteredMessageFile(platform::Registry& registry, const std::string& source);

class TzelEventLog {
 public:
  explicit TzelEventLog(const platform::Platform& platform);
  TzelEventLog(const TzelEventLog&) = delete;
  TzelEventLog& operator=(const TzelEventLog&) = delete;

  const std::string& ApplicationName() const { return applicationName_; }
  void SetApplicationName(const std::string& name);
  bool RegisterApplication() const { return registerApplication_; }
  void SetRegisterApplication(bool value) { registerApplication_ = value; }
  bool IncludeUserName() const { return includeUserName_; }
  void SetIncludeUserName(bool value) { includeUserName_ = value; }
  TEventType EventType() const { return eventType_; }
  void SetEventType(TEventType type) { eventType_ = type; }
  std::uint32_t EventID() const { return eventId_; }
  // Stores the magnitude of the value read as a signed 32-bit number; 2^31 has none and stays.
  void SetEventID(std::uint32_t id);
  std::uint16_t EventCategory() const { return eventCategory_; }
  void SetEventCategory(std::uint16_t category);

  // Reports the message as one record on NT systems and does nothing elsewhere. Best effort:
  // nothing is shown and no failure reaches the caller.
  void LogMessage(const std::string& message) noexcept;
  // Reports one record of its own type and event id whose message, in the program file's
  // message table, places the strings; no header goes before them. As best effort as LogMessage.
  void LogRecord(TEventType type, std::uint32_t eventId, const std::vector<std::string>& strings) noexcept;
  // The logged-on user's name, "N/A" when it cannot be read.
  std::string UserName() const;

 private:
  void RegisterSource();
  std::string Header() const;
  // The record's strings are made once the log is open, as the header's user name is read then.
  void Report(std::uint16_t type, std::uint32_t eventId,
              const std::function<std::vector<std::string>()>& strings) noexcept;

  platform::Platform platform_;
  std::string applicationName_ = "!MyApp";
  bool registerApplication_ = true;
  bool includeUserName_ = true;
  TEventType eventType_ = etInformation;
  std::uint32_t eventId_ = 0;
  std::uint16_t eventCategory_ = 0;
};

}  // namespace korvalis::eventlog
