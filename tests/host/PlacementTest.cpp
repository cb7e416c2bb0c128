#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "platform/memory/MemoryWindows.h"
#include "shell/ChangeDialogStorage.h"
#include "shell/ScrambleText.h"
#include "support/FakePlacementWindow.h"

namespace korvalis::shell {

using platform::RootKey;
using platform::memory::RegistryOperation;
using Kind = RegistryOperation::Kind;

constexpr const char* kKey = "Software\\Windows Brenmoor\\Korvalis";

// One change dialog after another, each with its own form and storage, over one registry.
class ChangeDialogPlacementTest : public ::testing::Test {
 protected:
  ChangeDialogPlacementTest() { NewDialog(); }

  void NewDialog() {
    storage.reset();
    form = std::make_unique<testing::FakePlacementWindow>();
    storage = std::make_unique<TFormStorage>(*form, windows.registry,
                                             [this](const std::exception& error) { errors.push_back(error.what()); });
    SetUpChangeDialogStorage(*storage);
  }
  void Show() {
    storage->BeforeFormShow();
    form->visible = true;
    form->placement.showCmd = platform::kSwShowNormal;
  }
  void Close() { storage->AfterFormCloseQuery(true, true); }
  std::optional<std::string> Stored(const std::string& name) {
    return windows.registry.GetString(RootKey::CurrentUser, kKey, name);
  }
  void Put(const std::string& name, const std::string& text) {
    windows.registry.PutString(RootKey::CurrentUser, kKey, name, text);
  }
  std::string ShowOnlineInfo() { return VariantToText(storage->StoredValues()[0].Value()); }

  platform::memory::MemoryWindows windows;
  std::unique_ptr<testing::FakePlacementWindow> form;
  std::unique_ptr<TFormStorage> storage;
  std::vector<std::string> errors;
};

TEST_F(ChangeDialogPlacementTest, FirstRunKeepsTheCentredPlaceAndClosingWritesEveryValueInOrder) {
  std::vector<std::string> written;
  windows.registry.SetHook([&](const RegistryOperation& op) {
    if (op.kind == Kind::SetValue) written.push_back(op.name);
    return platform::kSuccess;
  });
  Show();
  EXPECT_EQ(form->Left(), 327);
  EXPECT_EQ(form->policy, PositionPolicy::DesktopCenter);
  EXPECT_EQ(ShowOnlineInfo(), "0");
  EXPECT_TRUE(written.empty());
  Close();
  EXPECT_EQ(written, (std::vector<std::string>{"FormVersion", "Flags", "ShowCmd", "PixelsPerInch",
                                               "MinMaxPos(1024x768)", "MinMaxPos", "NormPos(1024x768)", "NormPos",
                                               "Visible", "ShowOnlineInfo"}));
  for (const auto& value : windows.registry.Values(RootKey::CurrentUser, kKey)) EXPECT_EQ(value.type, platform::kRegSz);
  EXPECT_EQ(Stored("FormVersion"), "0");
  EXPECT_EQ(Stored("Flags"), "0");
  EXPECT_EQ(Stored("ShowCmd"), "1");
  EXPECT_EQ(Stored("PixelsPerInch"), "96");
  EXPECT_EQ(Stored("MinMaxPos"), "0,0,-3,-3");  // maximized just off the screen by the dialog frame
  EXPECT_EQ(Stored("NormPos(1024x768)"), "327,216,697,552");
  EXPECT_EQ(Stored("NormPos"), "327,216,697,552");
  EXPECT_EQ(Stored("Visible"), "0");
  const std::string scrambled = Stored("ShowOnlineInfo").value_or("");
  EXPECT_TRUE(std::regex_match(scrambled, std::regex("[0-9a-f]{2}"))) << scrambled;
  EXPECT_EQ(UnscrambleText(kChangeDialogKeyString, scrambled), "0");
  EXPECT_TRUE(errors.empty());
}

TEST_F(ChangeDialogPlacementTest, TheNextDialogOpensWhereTheLastClosedWithItsOwnSize) {
  Show();
  form->MoveTo(100, 50, 370, 336);
  Close();
  NewDialog();
  Show();
  EXPECT_EQ(form->Left(), 100);
  EXPECT_EQ(form->Top(), 50);
  EXPECT_EQ(form->policy, PositionPolicy::Designed);

  Put("NormPos(1024x768)", "40,30,50,40");
  NewDialog();
  Show();
  EXPECT_EQ(form->Left(), 40);
  EXPECT_EQ(form->Top(), 30);
  EXPECT_EQ(form->Width(), 370);
  EXPECT_EQ(form->Height(), 336);
}

TEST_F(ChangeDialogPlacementTest, TheNameForTheCurrentResolutionWinsAndThePlainNameServesOthers) {
  Put("NormPos(800x600)", "1,1,2,2");
  Put("NormPos", "40,30,410,366");
  Show();
  EXPECT_EQ(form->Left(), 40);
  Put("NormPos(1024x768)", "60,70,430,406");
  NewDialog();
  Show();
  EXPECT_EQ(form->Left(), 60);
  EXPECT_EQ(form->Top(), 70);
}

TEST_F(ChangeDialogPlacementTest, OtherPixelsPerInchLeaveTheDialogCentred) {
  Put("NormPos", "40,30,410,366");
  Put("PixelsPerInch", "120");
  Show();
  EXPECT_EQ(form->Left(), 327);
  EXPECT_EQ(form->policy, PositionPolicy::DesktopCenter);
}

TEST_F(ChangeDialogPlacementTest, AnOlderFormVersionIsSkippedButTheNextSaveWritesFreshData) {
  Put("FormVersion", "-1");
  Put("NormPos", "40,30,410,366");
  Put("ShowOnlineInfo", ScrambleText(kChangeDialogKeyString, "-1"));
  Show();
  EXPECT_EQ(form->Left(), 327);
  EXPECT_EQ(storage->StoredValues()[0].Value(), TStoredVariant(false));
  Close();
  EXPECT_EQ(Stored("FormVersion"), "0");
  EXPECT_EQ(Stored("NormPos"), "327,216,697,552");
  EXPECT_EQ(Stored("ShowOnlineInfo"), ScrambleText(kChangeDialogKeyString, "0"));
}

TEST_F(ChangeDialogPlacementTest, AStoredValueOfTheWrongTypeIsReportedAndRewrittenAsTextAtClosing) {
  Put("NormPos", "40,30,410,366");
  windows.registry.PutDword(RootKey::CurrentUser, kKey, "ShowOnlineInfo", 1);
  Show();
  EXPECT_EQ(errors, (std::vector<std::string>{"Invalid data type for 'ShowOnlineInfo'"}));
  EXPECT_EQ(form->Left(), 40);
  Close();
  EXPECT_EQ(windows.registry.Get(RootKey::CurrentUser, kKey, "ShowOnlineInfo")->type, platform::kRegSz);
  EXPECT_EQ(Stored("ShowOnlineInfo"), ScrambleText(kChangeDialogKeyString, "0"));
}

TEST_F(ChangeDialogPlacementTest, AFailedPlacementReadMeansTheStoredDataIsNeverOverwritten) {
  windows.registry.PutDword(RootKey::CurrentUser, kKey, "Flags", 0);
  Show();
  EXPECT_EQ(errors, (std::vector<std::string>{"Invalid data type for 'Flags'"}));
  Close();
  storage->BeforeFormDestroy();
  EXPECT_EQ(windows.registry.Count(Kind::SetValue), 0);
  EXPECT_EQ(windows.registry.Get(RootKey::CurrentUser, kKey, "Flags")->type, platform::kRegDword);
}

TEST_F(ChangeDialogPlacementTest, DestructionSavesWithVisibleOneUnlessClosingAlreadySaved) {
  Show();
  storage->BeforeFormDestroy();
  EXPECT_EQ(Stored("Visible"), "1");
  EXPECT_EQ(Stored("ShowOnlineInfo"), ScrambleText(kChangeDialogKeyString, "0"));

  NewDialog();
  Show();
  Close();
  const int writes = windows.registry.Count(Kind::SetValue);
  storage->BeforeFormDestroy();
  EXPECT_EQ(windows.registry.Count(Kind::SetValue), writes);
  EXPECT_EQ(Stored("Visible"), "0");
}

TEST_F(ChangeDialogPlacementTest, NoSaveWhenClosingIsRefusedTheFormHasNoWindowOrTheComponentIsInactive) {
  Show();
  storage->AfterFormCloseQuery(false, true);
  storage->AfterFormCloseQuery(true, false);
  EXPECT_EQ(windows.registry.Count(Kind::SetValue), 0);

  Put("NormPos", "40,30,410,366");
  NewDialog();
  storage->SetActive(false);
  Show();
  Close();
  storage->BeforeFormDestroy();
  EXPECT_EQ(form->Left(), 327);
  EXPECT_EQ(windows.registry.Count(Kind::SetValue), 0);
}

TEST_F(ChangeDialogPlacementTest, WriteFailuresAreReportedAndTheDestructionTriesAgain) {
  windows.registry.SetHook([](const RegistryOperation& op) {
    return op.kind == Kind::SetValue ? platform::kErrorAccessDenied : platform::kSuccess;
  });
  Show();
  Close();
  storage->BeforeFormDestroy();
  EXPECT_EQ(errors, (std::vector<std::string>{"Failed to set data for 'FormVersion'",
                                              "Failed to set data for 'FormVersion'"}));
  errors.clear();
  windows.registry.SetHook([](const RegistryOperation& op) {
    const bool section = op.path.size() >= 8 && op.path.compare(op.path.size() - 8, 8, "Korvalis") == 0;
    return op.kind == Kind::Create && section ? platform::kErrorAccessDenied : platform::kSuccess;
  });
  NewDialog();
  Show();
  Close();
  EXPECT_EQ(errors, (std::vector<std::string>{"Failed to create key Korvalis"}));
}

}  // namespace korvalis::shell
