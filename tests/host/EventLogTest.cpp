#include <gtest/gtest.h>

#include "eventlog/zelEventLog.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::eventlog {

using platform::RootKey;
using platform::memory::RegistryOperation;

namespace {

constexpr const char* kSources = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

}  // namespace

class EventLogTest : public ::testing::Test {
 protected:
  platform::memory::MemoryWindows windows;
  TzelEventLog log{windows.platform()};

  // The program's own instance, as the main window sets it up.
  void UseProgramSettings() {
    log.SetApplicationName("Korvalis");
    log.SetIncludeUserName(true);
  }
  int RegistryOperations() const {
    using Kind = RegistryOperation::Kind;
    int total = 0;
    for (Kind kind : {Kind::Open, Kind::Create, Kind::QueryInfo, Kind::EnumValueName, Kind::QueryValueInfo,
                      Kind::ReadValue, Kind::SetValue, Kind::DeleteValue, Kind::DeleteTree})
      total += windows.registry.Count(kind);
    return total;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& record : windows.eventLog.records) {
      EXPECT_EQ(record.strings.size(), 1u);
      texts.insert(texts.end(), record.strings.begin(), record.strings.end());
    }
    return texts;
  }
};

TEST_F(EventLogTest, TheClosingRecordIsOneInformationStringWithTheUserLineInFront) {
  UseProgramSettings();
  log.LogMessage("Korvalis closed");
  ASSERT_EQ(windows.eventLog.records.size(), 1u);
  const auto& record = windows.eventLog.records[0];
  EXPECT_EQ(record.source, "Korvalis");
  EXPECT_EQ(record.type, 4);
  EXPECT_EQ(record.category, 0);
  EXPECT_EQ(record.eventId, 0u);
  EXPECT_EQ(Texts(), std::vector<std::string>{"\r\nUser: alice\r\nKorvalis closed"});
  EXPECT_EQ(windows.eventLog.opened, 1);
  EXPECT_EQ(windows.eventLog.closed, 1);
}

TEST_F(EventLogTest, TheHeaderIsRebuiltOnEveryCallSoNoUserLineAccumulates) {
  log.SetIncludeUserName(false);
  log.LogMessage("one");
  log.SetIncludeUserName(true);
  log.LogMessage("two");
  log.LogMessage("three");
  log.SetIncludeUserName(false);
  log.LogMessage("");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"\r\none", "\r\nUser: alice\r\ntwo", "\r\nUser: alice\r\nthree", "\r\n"}));
}

TEST_F(EventLogTest, ATwentyCharacterUserNameIsReportedInFullNotAsNA) {
  windows.environment.userName = "abcdefghijklmnopqrst";
  log.LogMessage("m");
  windows.environment.userName = std::string(256, 'u');  // the longest the system allows
  log.LogMessage("m");
  EXPECT_EQ(Texts(), (std::vector<std::string>{"\r\nUser: abcdefghijklmnopqrst\r\nm",
                                               "\r\nUser: " + std::string(256, 'u') + "\r\nm"}));
}

TEST_F(EventLogTest, AUserNameThatCannotBeReadIsReportedAsNA) {
  windows.environment.userNameFails = true;
  log.LogMessage("m");
  EXPECT_EQ(Texts(), std::vector<std::string>{"\r\nUser: N/A\r\nm"});
}

TEST_F(EventLogTest, EachEventTypeGoesOutWithItsCodeAlongWithCategoryAndId) {
  const std::pair<TEventType, std::uint16_t> codes[] = {
      {etError, 1}, {etWarning, 2}, {etInformation, 4}, {etAuditSuccess, 8}, {etAuditFailure, 16}};
  log.SetEventCategory(7);
  log.SetEventID(1234);
  for (const auto& [type, code] : codes) {
    log.SetEventType(type);
    log.LogMessage("m");
    ASSERT_FALSE(windows.eventLog.records.empty());
    const auto& record = windows.eventLog.records.back();
    EXPECT_EQ(record.type, code) << int(type);
    EXPECT_EQ(record.category, 7);
    EXPECT_EQ(record.eventId, 1234u);
  }
}

TEST_F(EventLogTest, AnEventIdWithTheTopBitSetIsStoredAsItsMagnitudeExceptTwoToThe31) {
  log.SetEventID(0xFFFFFFFFu);
  EXPECT_EQ(log.EventID(), 1u);
  log.SetEventID(0xFFFFFFFEu);
  EXPECT_EQ(log.EventID(), 2u);
  log.SetEventID(0x80000001u);
  EXPECT_EQ(log.EventID(), 0x7FFFFFFFu);
  log.SetEventID(0x80000000u);
  EXPECT_EQ(log.EventID(), 0x80000000u);
  log.SetEventID(0x80000000u);
  EXPECT_EQ(log.EventID(), 0x80000000u);
  log.SetEventID(0x7FFFFFFFu);
  EXPECT_EQ(log.EventID(), 0x7FFFFFFFu);
}

TEST_F(EventLogTest, AFreshInstanceReportsAndRegistersUnderItsDefaultName) {
  EXPECT_EQ(log.ApplicationName(), "!MyApp");
  EXPECT_TRUE(log.RegisterApplication());
  EXPECT_TRUE(log.IncludeUserName());
  EXPECT_EQ(log.EventType(), etInformation);
  EXPECT_EQ(log.EventID(), 0u);
  EXPECT_EQ(log.EventCategory(), 0);
  log.LogMessage("m");
  ASSERT_EQ(windows.eventLog.records.size(), 1u);
  EXPECT_EQ(windows.eventLog.records[0].source, "!MyApp");
  EXPECT_TRUE(windows.registry.HasKey(RootKey::LocalMachine, std::string(kSources) + "!MyApp"));
}

TEST_F(EventLogTest, RegistrationOnlyCreatesTheSourceKeyWithFullAccessAndNoValues) {
  std::vector<RegistryOperation> operations;
  windows.registry.SetHook([&](const RegistryOperation& operation) {
    operations.push_back(operation);
    return platform::kSuccess;
  });
  UseProgramSettings();
  log.LogMessage("Korvalis closed");
  log.LogMessage("Korvalis closed");
  ASSERT_EQ(operations.size(), 2u);
  for (const auto& operation : operations) {
    EXPECT_EQ(operation.kind, RegistryOperation::Kind::Create);
    EXPECT_EQ(operation.root, RootKey::LocalMachine);
    EXPECT_EQ(operation.path, std::string(kSources) + "Korvalis");
    EXPECT_EQ(operation.access, platform::KeyAccess::All);
  }
  EXPECT_TRUE(windows.registry.HasKey(RootKey::LocalMachine, std::string(kSources) + "Korvalis"));
  EXPECT_TRUE(windows.registry.Values(RootKey::LocalMachine, std::string(kSources) + "Korvalis").empty());
}

TEST_F(EventLogTest, WithoutRegistrationTheRegistryIsNotTouched) {
  log.SetRegisterApplication(false);
  log.LogMessage("m");
  EXPECT_EQ(RegistryOperations(), 0);
  EXPECT_EQ(windows.eventLog.records.size(), 1u);
}

TEST_F(EventLogTest, AFailedOrThrowingRegistrationStillReports) {
  windows.registry.SetHook([](const RegistryOperation&) { return platform::kErrorAccessDenied; });
  log.LogMessage("denied");
  windows.registry.SetHook([](const RegistryOperation&) -> platform::Status { throw Error("registry gone"); });
  EXPECT_NO_THROW(log.LogMessage("thrown"));
  EXPECT_EQ(windows.eventLog.records.size(), 2u);
  EXPECT_FALSE(windows.registry.HasKey(RootKey::LocalMachine, std::string(kSources) + "!MyApp"));
}

TEST_F(EventLogTest, ASystemOutsideTheNtFamilyOrAnUnknownVersionGetsNothingAtAll) {
  windows.environment.platformId = 1;
  log.LogMessage("m");
  windows.environment.platformId = 2;
  windows.environment.versionFails = true;
  log.LogMessage("m");
  EXPECT_EQ(RegistryOperations(), 0);
  EXPECT_EQ(windows.eventLog.opened, 0);
  EXPECT_TRUE(windows.eventLog.records.empty());
}

TEST_F(EventLogTest, AnEventLogThatCannotBeOpenedGetsNoRecordButTheSourceIsRegistered) {
  windows.eventLog.openFails = true;
  log.LogMessage("m");
  EXPECT_TRUE(windows.eventLog.records.empty());
  EXPECT_EQ(windows.eventLog.closed, 0);
  EXPECT_TRUE(windows.registry.HasKey(RootKey::LocalMachine, std::string(kSources) + "!MyApp"));
}

TEST_F(EventLogTest, AFailingReportStillClosesTheHandle) {
  windows.eventLog.reportFails = true;
  EXPECT_NO_THROW(log.LogMessage("m"));
  log.LogMessage("m");
  EXPECT_TRUE(windows.eventLog.records.empty());
  EXPECT_EQ(windows.eventLog.opened, 2);
  EXPECT_EQ(windows.eventLog.closed, 2);
}

TEST_F(EventLogTest, TheMessageFileRegistrationNamesTheProgramToExpandAndTheThreeKindsOfRecord) {
  const std::string key = std::string(kSources) + "Korvalis";
  windows.registry.PutString(RootKey::LocalMachine, key, "EventMessageFile", "C:\\old\\korvalis.exe");
  RegisterMessageFile(windows.registry, "Korvalis", "%LOCALAPPDATA%\\Programs\\Korvalis\\korvalis.exe");
  const auto file = windows.registry.Get(RootKey::LocalMachine, key, "EventMessageFile");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->type, platform::kRegExpandSz);
  EXPECT_EQ(windows.registry.GetString(RootKey::LocalMachine, key, "EventMessageFile"),
            "%LOCALAPPDATA%\\Programs\\Korvalis\\korvalis.exe");
  const auto types = windows.registry.Get(RootKey::LocalMachine, key, "TypesSupported");
  ASSERT_TRUE(types);
  EXPECT_EQ(types->type, platform::kRegDword);
  EXPECT_EQ(types->data, (std::vector<std::uint8_t>{7, 0, 0, 0}));
  EXPECT_EQ(windows.registry.Values(RootKey::LocalMachine, key).size(), 2u);
}

TEST_F(EventLogTest, AStandardUserCannotRegisterTheMessageFileAndIsToldWhichKey) {
  windows.registry.SetRights(RootKey::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application",
                             {true, false});
  try {
    RegisterMessageFile(windows.registry, "Korvalis", "C:\\korvalis.exe");
    ADD_FAILURE() << "registered without rights";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Failed to create key " + std::string(kSources) + "Korvalis");
  }
  EXPECT_FALSE(windows.registry.HasKey(RootKey::LocalMachine, std::string(kSources) + "Korvalis"));
}

}  // namespace korvalis::eventlog
