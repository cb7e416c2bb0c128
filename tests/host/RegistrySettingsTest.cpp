#include <gtest/gtest.h>

#include "platform/Error.h"
#include "platform/RegistrySettings.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::platform {

class RegistrySettingsTest : public ::testing::Test {
 protected:
  memory::MemoryWindows windows;
};

TEST_F(RegistrySettingsTest, OpeningCreatesTheKeyAndMissingSectionsOrValuesGiveTheDefault) {
  TRegistrySettings settings(windows.registry, RootKey::CurrentUser, "Software\\Brenmoor");
  EXPECT_TRUE(windows.registry.HasKey(RootKey::CurrentUser, "Software\\Brenmoor"));
  EXPECT_FALSE(windows.registry.HasKey(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis"));
  EXPECT_TRUE(settings.ReadBool("Korvalis", "Logs", true));
  EXPECT_EQ(settings.ReadInteger("Korvalis", "Count", -7), -7);
  EXPECT_EQ(settings.ReadString("Korvalis", "Text", "dflt"), "dflt");
}

TEST_F(RegistrySettingsTest, ValuesAreWrittenAsTextAndReadBack) {
  TRegistrySettings settings(windows.registry, RootKey::CurrentUser, "\\Software\\Brenmoor");
  settings.WriteBool("Korvalis", "Logs", false);
  settings.WriteBool("Korvalis", "Monitoring", true);
  settings.WriteInteger("Korvalis", "Count", -42);
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis", "Logs"), "0");
  EXPECT_EQ(windows.registry.GetString(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis", "Monitoring"), "1");
  EXPECT_EQ(windows.registry.Get(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis", "Count")->type, kRegSz);
  EXPECT_FALSE(settings.ReadBool("Korvalis", "Logs", true));
  EXPECT_EQ(settings.ReadInteger("Korvalis", "Count", 0), -42);
}

TEST_F(RegistrySettingsTest, TextThatIsNotAnIntegerGivesTheDefaultAndAnyOtherIntegerIsOn) {
  const char* key = "Software\\Brenmoor\\Korvalis";
  windows.registry.PutString(RootKey::CurrentUser, key, "Word", "yes");
  windows.registry.PutString(RootKey::CurrentUser, key, "Two", "2");
  windows.registry.PutString(RootKey::CurrentUser, key, "Zero", "0");
  windows.registry.PutString(RootKey::CurrentUser, key, "Spaced", " 1");
  windows.registry.PutString(RootKey::CurrentUser, key, "Huge", "99999999999");
  TRegistrySettings settings(windows.registry, RootKey::CurrentUser, "Software\\Brenmoor");
  EXPECT_TRUE(settings.ReadBool("Korvalis", "Word", true));
  EXPECT_FALSE(settings.ReadBool("Korvalis", "Word", false));
  EXPECT_TRUE(settings.ReadBool("Korvalis", "Two", false));
  EXPECT_FALSE(settings.ReadBool("Korvalis", "Zero", true));
  EXPECT_EQ(settings.ReadInteger("Korvalis", "Spaced", 5), 5);
  EXPECT_EQ(settings.ReadInteger("Korvalis", "Huge", 5), 5);
}

TEST_F(RegistrySettingsTest, AValueThatIsNotAStringFailsWithItsName) {
  windows.registry.PutDword(RootKey::CurrentUser, "Software\\Brenmoor\\Korvalis", "Logs", 1);
  TRegistrySettings settings(windows.registry, RootKey::CurrentUser, "Software\\Brenmoor");
  try {
    settings.ReadBool("Korvalis", "Logs", true);
    FAIL() << "no error";
  } catch (const InvalidDataTypeError& error) {
    EXPECT_STREQ(error.what(), "Invalid data type for 'Logs'");
  }
}

TEST_F(RegistrySettingsTest, AKeyThatCannotBeWrittenFailsTheWriteWithItsMessage) {
  windows.registry.AddKey(RootKey::CurrentUser, "Software\\Locked");
  windows.registry.SetRights(RootKey::CurrentUser, "Software\\Locked", {true, false});
  TRegistrySettings settings(windows.registry, RootKey::CurrentUser, "Software\\Locked");
  EXPECT_FALSE(settings.IsOpen());
  EXPECT_TRUE(settings.ReadBool("S", "V", true));
  EXPECT_THROW(settings.WriteBool("S", "V", true), Error);
  windows.registry.SetHook([](const memory::RegistryOperation& op) {
    return op.kind == memory::RegistryOperation::Kind::SetValue ? kErrorAccessDenied : kSuccess;
  });
  TRegistrySettings open(windows.registry, RootKey::CurrentUser, "Software\\Brenmoor");
  try {
    open.WriteBool("Korvalis", "Logs", true);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'Logs'");
  }
}

TEST(ParseInteger, AcceptsASignAndDecimalDigitsWithin32Bits) {
  std::int32_t value = 0;
  EXPECT_TRUE(ParseInteger("-2147483648", value));
  EXPECT_EQ(value, -2147483647 - 1);
  EXPECT_TRUE(ParseInteger("+17", value));
  EXPECT_EQ(value, 17);
  EXPECT_FALSE(ParseInteger("2147483648", value));
  EXPECT_FALSE(ParseInteger("", value));
  EXPECT_FALSE(ParseInteger("-", value));
  EXPECT_FALSE(ParseInteger("1 ", value));
  EXPECT_FALSE(ParseInteger("0x10", value));
}

}  // namespace korvalis::platform
