// The change dialog keeps its place and its stored value in the registry between dialogs.
#include <gtest/gtest.h>

#include <thread>

#include "catalogue/Startups.h"
#include "dialogs/win32/StartupItemChangeDlg.h"
#include "gui/GuiTest.h"
#include "platform/RegistryValues.h"
#include "platform/win32/Win32Windows.h"
#include "support/WindowDriver.h"

namespace korvalis::dialogs {

using namespace korvalis::testing;
using platform::RootKey;

namespace {

constexpr char kStoreKey[] = "Software\\Windows Brenmoor\\Korvalis";

class ChangeDialogPlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    windows.registry.DeleteTree(RootKey::CurrentUser, kStoreKey);
    reportedErrors.clear();
  }
  void TearDown() override { windows.registry.DeleteTree(RootKey::CurrentUser, kStoreKey); }

  // Shows one dialog, lets the driver act on it, and returns where the dialog stood.
  RECT Show(const std::function<void(HWND)>& drive) {
    catalogue::TStartups entries(0, windows.platform());
    const catalogue::TStartup* entry = entries.Add("Agent", "", "C:\\agent.exe", 8, 0);
    RECT shownAt{};
    std::thread driver([&] {
      HWND dialog = WaitForWindow("Startup Programs Changed");
      if (!dialog) return;
      GetWindowRect(dialog, &shownAt);
      drive(dialog);
      if (!WaitUntilGone(dialog, 5000)) PressButton(dialog, "&No");
    });
    TfrmChangeDlg dialog(nullptr, windows.platform(), searchPath);
    dialog.Create();
    dialog.Confirm(*entry, catalogue::ChangeKind::Added);
    driver.join();
    return shownAt;
  }
  std::string Stored(const std::string& name) {
    auto key = windows.registry.OpenKey(RootKey::CurrentUser, kStoreKey, platform::KeyAccess::Read);
    if (!key) return "<no key>";
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (platform::ReadValueBytes(*key.key, name, type, bytes) != platform::kSuccess) return "<missing>";
    if (type != platform::kRegSz) return "<type " + std::to_string(type) + ">";
    return platform::TextOfBytes(bytes);
  }

  platform::win32::Win32Windows windows;
  catalogue::SearchPath searchPath = catalogue::BuildSearchPath(windows.environment);
};

}  // namespace

TEST_F(ChangeDialogPlacementTest, TheFirstCloseStoresEveryValueAndTheNextDialogOpensWhereItWasLeft) {
  const RECT first = Show([](HWND dialog) {
    SetWindowPos(dialog, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // the user drags it aside
    PressButton(dialog, "&No");
  });
  EXPECT_EQ(Stored("FormVersion"), "0");
  EXPECT_EQ(Stored("Visible"), "0");
  EXPECT_EQ(Stored("PixelsPerInch"), "96");
  const std::string screen = "(" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                             std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ")";
  EXPECT_EQ(Stored("NormPos" + screen), Stored("NormPos"));
  EXPECT_EQ(Stored("NormPos").rfind("40,50,", 0), 0u) << Stored("NormPos");
  EXPECT_EQ(Stored("MinMaxPos" + screen), Stored("MinMaxPos"));
  EXPECT_NE(Stored("Flags"), "<missing>");
  EXPECT_NE(Stored("ShowCmd"), "<missing>");
  const std::string scrambled = Stored("ShowOnlineInfo");
  ASSERT_EQ(scrambled.size(), 2u);
  EXPECT_TRUE(isxdigit(static_cast<unsigned char>(scrambled[0])) && isxdigit(static_cast<unsigned char>(scrambled[1])));

  const RECT second = Show([](HWND dialog) { PressButton(dialog, "&Yes"); });
  EXPECT_EQ(second.left, 40);
  EXPECT_EQ(second.top, 50);
  EXPECT_EQ(second.right - second.left, first.right - first.left);  // its designed size
  EXPECT_EQ(second.bottom - second.top, first.bottom - first.top);
  EXPECT_TRUE(reportedErrors.empty());
}

TEST_F(ChangeDialogPlacementTest, AStoredValueOfTheWrongTypeIsReportedAndTheDialogStillWorks) {
  {
    auto key = windows.registry.CreateKey(RootKey::CurrentUser, kStoreKey, platform::KeyAccess::All);
    ASSERT_TRUE(key);
    key.key->SetValue("ShowOnlineInfo", platform::kRegDword, {1, 0, 0, 0});
  }
  Show([](HWND dialog) { PressButton(dialog, "&No"); });
  EXPECT_EQ(reportedErrors, (std::vector<std::string>{"Invalid data type for 'ShowOnlineInfo'"}));
  EXPECT_EQ(Stored("ShowOnlineInfo").size(), 2u);  // rewritten as text on closing
}

}  // namespace korvalis::dialogs
