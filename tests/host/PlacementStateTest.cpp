#include <gtest/gtest.h>

#include "platform/memory/MemoryWindows.h"
#include "shell/Placement.h"
#include "support/FakePlacementWindow.h"

namespace korvalis::shell {

using platform::RootKey;

constexpr const char* kKey = "Software\\Test\\Form";

// A plain sizeable window, not the main form, stored under its own key.
class FormPlacementTest : public ::testing::Test {
 protected:
  FormPlacementTest() {
    form.border = BorderStyle::Sizeable;
    form.policy = PositionPolicy::Designed;
    form.MoveTo(10, 20, 300, 200);
    placement.SetIniFileName("Software\\Test");
    placement.SetIniSection("Form");
    placement.SetUseRegistry(true);
  }
  void Put(const std::string& name, const std::string& text) {
    windows.registry.PutString(RootKey::CurrentUser, kKey, name, text);
  }
  std::optional<std::string> Stored(const std::string& name, RootKey root = RootKey::CurrentUser) {
    return windows.registry.GetString(root, kKey, name);
  }
  // The state the form ends in after restoring a stored show command.
  WindowState RestoredState(const std::string& showCmd) {
    form.state = WindowState::Normal;
    Put("ShowCmd", showCmd);
    placement.RestoreStoredState();
    return form.state;
  }

  platform::memory::MemoryWindows windows;
  testing::FakePlacementWindow form;
  std::vector<std::string> errors;
  TFormPlacement placement{form, windows.registry, [this](const std::exception& e) { errors.push_back(e.what()); }};
};

TEST_F(FormPlacementTest, ASizeableFormTakesMissingEdgesFromItsCurrentOnesAndRefusesAnEmptyWidth) {
  Put("NormPos", "50 60,400");
  Put("MinMaxPos", "x,5");
  placement.RestoreStoredState();
  ASSERT_EQ(form.placementsSet.size(), 2u);
  const WindowPlacement& restored = form.placementsSet[0];
  EXPECT_EQ(restored.normalPosition.left, 50);
  EXPECT_EQ(restored.normalPosition.top, 60);
  EXPECT_EQ(restored.normalPosition.right, 400);
  EXPECT_EQ(restored.normalPosition.bottom, 220);
  EXPECT_EQ(restored.minPosition.x, 0);
  EXPECT_EQ(restored.minPosition.y, 5);

  for (const char* noWidth : {"400,60,400,300", "500,60,400,300"}) {
    form.placementsSet.clear();
    Put("NormPos", noWidth);
    placement.RestoreStoredState();
    EXPECT_EQ(form.placementsSet.size(), 1u) << noWidth;  // only the maximized position is brought up to date
    EXPECT_EQ(form.Left(), 50);
  }
}

TEST_F(FormPlacementTest, AFixedSizeFormKeepsItsWidthSoAReversedStoredRectangleStillPlacesIt) {
  form.border = BorderStyle::Single;
  form.policy = PositionPolicy::ScreenCenter;
  Put("NormPos", "500,60,400,300");
  placement.RestoreStoredState();
  EXPECT_EQ(form.Left(), 500);
  EXPECT_EQ(form.Width(), 300);
  EXPECT_EQ(form.policy, PositionPolicy::Designed);
}

TEST_F(FormPlacementTest, TheStoredShowCommandChoosesTheState) {
  for (const char* normal : {"1", "5", "9"}) EXPECT_EQ(RestoredState(normal), WindowState::Normal) << normal;
  for (const char* minimized : {"2", "6", "7"}) EXPECT_EQ(RestoredState(minimized), WindowState::Minimized);
  EXPECT_EQ(RestoredState("3"), WindowState::Maximized);
  for (const char* other : {"0", "4", "8", "10", "x"}) EXPECT_EQ(RestoredState(other), WindowState::Normal) << other;
  EXPECT_EQ(form.minimizePosts, 0);

  form.style = FormStyle::MdiChild;
  form.statesShown.clear();
  EXPECT_EQ(RestoredState("3"), WindowState::Maximized);
  EXPECT_TRUE(form.statesShown.empty());  // a child's state is only noted
}

TEST_F(FormPlacementTest, AMainFormOpensMaximizedByDefaultAndIsMinimizedThroughTheApplication) {
  form.mainForm = true;
  form.policy = PositionPolicy::Default;
  EXPECT_EQ(RestoredState("0"), WindowState::Maximized);
  form.mainForm = false;
  form.applicationHasMainForm = false;
  EXPECT_EQ(RestoredState("0"), WindowState::Maximized);

  form.statesShown.clear();
  const int repaints = form.repaints;
  EXPECT_EQ(RestoredState("2"), WindowState::Normal);
  EXPECT_TRUE(form.statesShown.empty());
  EXPECT_EQ(form.minimizePosts, 1);
  EXPECT_EQ(form.repaints, repaints);
}

TEST_F(FormPlacementTest, SavingReportsAnIconicApplicationAndAMinimizedChild) {
  placement.RestoreStoredState();
  form.placement.flags = 2;
  form.placement.showCmd = 1;
  form.mainForm = true;
  form.applicationIconic = true;
  placement.SaveStoredState();
  EXPECT_EQ(Stored("ShowCmd"), "2");
  EXPECT_EQ(Stored("Flags"), "2");
  form.mainForm = false;
  form.style = FormStyle::MdiChild;
  form.state = WindowState::Minimized;
  placement.SaveStoredState();
  EXPECT_EQ(Stored("ShowCmd"), "1");
  EXPECT_EQ(Stored("Flags"), "3");
}

TEST_F(FormPlacementTest, TheMaximizedPositionFollowsTheBorderUnlessTheSizeIsLocked) {
  const std::pair<BorderStyle, std::int32_t> borders[] = {
      {BorderStyle::None, 0}, {BorderStyle::Single, -1}, {BorderStyle::ToolWindow, -1}, {BorderStyle::Sizeable, -4},
      {BorderStyle::SizeToolWindow, -4}, {BorderStyle::Dialog, -3}};
  for (const auto& [border, expected] : borders) {
    form.border = border;
    form.screen.border = {1, 11};
    form.screen.frame = {4, 14};
    form.screen.dialogFrame = {3, 13};
    placement.RestoreStoredState();
    EXPECT_EQ(form.placement.maxPosition.x, expected);
    EXPECT_EQ(form.placement.maxPosition.y, expected == 0 ? 0 : expected - 10);
    EXPECT_EQ(form.placement.showCmd, platform::kSwHide);
  }
  form.placementsSet.clear();
  placement.SetPreventResize(true);
  placement.RestoreStoredState();
  EXPECT_TRUE(form.placementsSet.empty());
}

TEST_F(FormPlacementTest, OptionsDecideWhatIsStoredAndTheEventsFollowEachOperation) {
  int saves = 0, restores = 0;
  placement.SetOnSavePlacement([&](TFormPlacement&) { ++saves; });
  placement.SetOnRestorePlacement([&](TFormPlacement&) { ++restores; });
  placement.SetOptions(fpActiveControl);
  form.activeControl = "btnShowOnlineInfo";
  Put("ShowCmd", "3");
  placement.RestoreStoredState();
  EXPECT_EQ(form.state, WindowState::Normal);
  EXPECT_EQ(form.repaints, 0);
  placement.SaveStoredState();
  EXPECT_EQ(Stored("FormVersion"), "0");
  EXPECT_FALSE(Stored("NormPos"));
  EXPECT_FALSE(Stored("ActiveControl"));  // written with the placement only

  placement.SetOptions(fpPosition | fpActiveControl);
  placement.SaveStoredState();
  EXPECT_EQ(Stored("ActiveControl"), "btnShowOnlineInfo");
  EXPECT_TRUE(Stored("NormPos"));
  placement.RestoreStoredState();
  EXPECT_EQ(form.focused, (std::vector<std::string>{"btnShowOnlineInfo"}));
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(restores, 2);
}

TEST_F(FormPlacementTest, AnotherRootIsCreatedOnlyForASaveAndARootThePlatformLacksCannotBeWritten) {
  placement.SetRegistryRoot(TPlacementRegRoot::prLocalMachine);
  placement.RestoreStoredState();
  EXPECT_FALSE(windows.registry.HasKey(RootKey::LocalMachine, "Software\\Test"));
  placement.SaveStoredState();
  EXPECT_EQ(Stored("NormPos", RootKey::LocalMachine), "10,20,310,220");
  EXPECT_TRUE(windows.registry.HasKey(RootKey::CurrentUser, "Software\\Test"));
  EXPECT_FALSE(Stored("NormPos"));

  placement.SetRegistryRoot(TPlacementRegRoot::prDynData);
  placement.BeforeFormShow();
  placement.AfterFormCloseQuery(true, true);
  EXPECT_EQ(errors, (std::vector<std::string>{"Failed to create key Form"}));
}

TEST_F(FormPlacementTest, WithoutTheRegistryNothingIsReadOrWritten) {
  placement.SetUseRegistry(false);
  placement.BeforeFormShow();
  placement.AfterFormCloseQuery(true, true);
  placement.BeforeFormDestroy();
  EXPECT_EQ(windows.registry.Count(platform::memory::RegistryOperation::Kind::Create), 0);
  EXPECT_TRUE(form.placementsSet.empty());
}

}  // namespace korvalis::shell
