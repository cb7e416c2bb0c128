#include <gtest/gtest.h>

#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"
#include "shell/PlacementStore.h"
#include "shell/ScrambleText.h"
#include "shell/StoredValue.h"

namespace korvalis::shell {

using platform::RootKey;

TEST(StoredValue, TextOfAValueUsesMinusOneForTrue) {
  EXPECT_EQ(VariantToText(TStoredVariant{}), "");
  EXPECT_EQ(VariantToText(true), "-1");
  EXPECT_EQ(VariantToText(false), "0");
  EXPECT_EQ(VariantToText(std::int32_t{-12}), "-12");
  EXPECT_EQ(VariantToText(std::string("on")), "on");
}

TEST(StoredValues, NamesAreUniqueRegardlessOfLetterCase) {
  TStoredValues values;
  TStoredValue& first = values.Add("ShowOnlineInfo");
  TStoredValue& second = values.Add("Other");
  try {
    values.Add("SHOWONLINEINFO");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "String list does not allow duplicates");
  }
  EXPECT_THROW(second.SetName("showonlineinfo"), Error);
  EXPECT_EQ(second.Name(), "Other");
  first.SetName("SHOWONLINEINFO");
  values.Add();
  values.Add();
  EXPECT_EQ(values.Count(), 4u);
  EXPECT_EQ(values.IndexOf("other"), 1);
  EXPECT_EQ(values.Find("ShowOnlineInfo"), &first);
  EXPECT_EQ(values.Find("Missing"), nullptr);
}

class StoredValueStoreTest : public ::testing::Test {
 protected:
  std::optional<std::string> Stored(const std::string& name) {
    return windows.registry.GetString(RootKey::CurrentUser, "Software\\Test\\Section", name);
  }
  PlacementStore Store(PlacementStore::Purpose purpose) {
    return PlacementStore(windows.registry, TPlacementRegRoot::prCurrentUser, "Software\\Test", "Section", purpose);
  }

  platform::memory::MemoryWindows windows;
  TStoredValues values;
};

TEST_F(StoredValueStoreTest, SavingWritesTheTextScrambledWithTheKeyAndLetsOnSaveChangeOnlyTheCopy) {
  TStoredValue& plain = values.Add("Plain");
  plain.SetValue(true);
  TStoredValue& secret = values.Add("Secret");
  secret.SetValue(std::string("ab"));
  secret.SetKeyString("Key");
  secret.SetOnSave([](TStoredValue&, TStoredVariant& value) { value = std::int32_t{7}; });
  PlacementStore store = Store(PlacementStore::Purpose::Save);
  plain.Save(store);
  secret.Save(store);
  EXPECT_EQ(Stored("Plain"), "-1");
  EXPECT_EQ(Stored("Secret"), ScrambleText("Key", "7"));
  EXPECT_EQ(secret.Value(), TStoredVariant(std::string("ab")));
}

TEST_F(StoredValueStoreTest, RestoringGivesTextAndFallsBackToTheCurrentValue) {
  windows.registry.PutString(RootKey::CurrentUser, "Software\\Test\\Section", "Secret", ScrambleText("Key", "yes"));
  TStoredValue& secret = values.Add("Secret");
  secret.SetKeyString("Key");
  TStoredValue& missing = values.Add("Missing");
  missing.SetValue(false);
  missing.SetKeyString("Key");
  TStoredValue& hooked = values.Add("Hooked");
  hooked.SetOnRestore([](TStoredValue& item, TStoredVariant& value) { value = item.Name() + VariantToText(value); });
  PlacementStore store = Store(PlacementStore::Purpose::Restore);
  secret.Restore(store);
  missing.Restore(store);
  hooked.Restore(store);
  EXPECT_EQ(secret.Value(), TStoredVariant(std::string("yes")));
  EXPECT_EQ(missing.Value(), TStoredVariant(std::string("0")));
  EXPECT_EQ(hooked.Value(), TStoredVariant(std::string("Hooked")));
}

}  // namespace korvalis::shell
