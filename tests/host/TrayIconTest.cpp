#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "shell/TrayShell.h"

namespace korvalis::shell {
namespace {

constexpr WindowHandle kWindow = 0x1234;
constexpr IconHandle kIcon = 0x77;

struct NotifyCall {
  NotifyAction action;
  NotifyIconData data;
};

// The window system as the tray icon sees it, writing every visible step into one log.
class FakeTrayApi : public TrayApi {
 public:
  struct Window : TrayWindow {
    WindowHandle Handle() const override { return kWindow; }
  };
  struct Timer : UiTimer {
    explicit Timer(FakeTrayApi& api) : api(api) {}
    void Start(std::uint16_t intervalMs) override {
      api.timerInterval = intervalMs;
      api.timerRunning = true;
    }
    void Stop() override { api.timerRunning = false; }
    FakeTrayApi& api;
  };

  std::unique_ptr<TrayWindow> CreateHiddenWindow(TrayMessageTarget& windowTarget) override {
    target = &windowTarget;
    return std::make_unique<Window>();
  }
  std::unique_ptr<UiTimer> CreateTimer(std::function<void()> onTick) override {
    tick = std::move(onTick);
    return std::make_unique<Timer>(*this);
  }
  bool Notify(NotifyAction action, const NotifyIconData& data) override {
    calls.push_back({action, data});
    return action != NotifyAction::Add || addSucceeds;
  }
  ScreenPoint CursorPos() override { return cursor; }
  ShiftState KeyState() override { return keys; }
  void BringToForeground(WindowHandle window) override { log.push_back("foreground " + std::to_string(window)); }
  void CancelMouseCapture() override { log.push_back("cancel capture"); }
  void ProcessMessages() override { log.push_back("process messages"); }

  std::vector<NotifyAction> Actions() const {
    std::vector<NotifyAction> actions;
    for (const auto& call : calls) actions.push_back(call.action);
    return actions;
  }

  TrayMessageTarget* target = nullptr;
  std::function<void()> tick;
  bool timerRunning = false;
  std::uint16_t timerInterval = 0;
  std::vector<NotifyCall> calls;
  bool addSucceeds = true;
  ScreenPoint cursor{10, 20};
  ShiftState keys = 0;
  std::vector<std::string> log;
};

class FakeMenu : public TrayMenu {
 public:
  struct Item : TrayMenuItem {
    Item(std::string name, bool isDefault, bool enabled, std::vector<std::string>& log)
        : name(std::move(name)), isDefault(isDefault), enabled(enabled), log(log) {}
    bool IsDefault() const override { return isDefault; }
    bool Enabled() const override { return enabled; }
    void Click() override { log.push_back("item " + name); }
    std::string name;
    bool isDefault, enabled;
    std::vector<std::string>& log;
  };

  explicit FakeMenu(std::vector<std::string>& log) : log(log) {}
  bool AutoPopup() const override { return autoPopup; }
  int ItemCount() const override { return static_cast<int>(items.size()); }
  TrayMenuItem& Item(int index) override { return *items.at(static_cast<std::size_t>(index)); }
  void SetPopupComponent(TTrayIcon* component) override { popupComponent = component; }
  void Popup(int x, int y) override {
    log.push_back("popup " + std::to_string(x) + "," + std::to_string(y));
    if (failPopup) throw Error("menu failed");
  }
  void AddItem(const std::string& name, bool isDefault, bool enabled) {
    items.push_back(std::make_unique<struct Item>(name, isDefault, enabled, log));
  }

  std::vector<std::string>& log;
  std::vector<std::unique_ptr<struct Item>> items;
  bool autoPopup = true;
  bool failPopup = false;
  TTrayIcon* popupComponent = nullptr;
};

std::string ButtonName(MouseButton button) {
  return button == MouseButton::Left ? "L" : button == MouseButton::Right ? "R" : "M";
}

class TrayIconTest : public ::testing::Test {
 protected:
  FakeTrayApi api;
  std::vector<std::string> errors;
  std::unique_ptr<TTrayIcon> tray =
      std::make_unique<TTrayIcon>(api, [this](const std::exception& error) { errors.push_back(error.what()); });
  std::unique_ptr<FakeMenu> menu = std::make_unique<FakeMenu>(api.log);

  void SetUp() override {
    auto& log = api.log;
    auto event = [&log](const char* kind, MouseButton button, ShiftState shift, int x, int y) {
      log.push_back(std::string(kind) + " " + ButtonName(button) + " " + std::to_string(shift) + " " +
                    std::to_string(x) + "," + std::to_string(y));
    };
    tray->OnMouseDown = [event](TTrayIcon&, MouseButton b, ShiftState s, int x, int y) { event("down", b, s, x, y); };
    tray->OnMouseUp = [event](TTrayIcon&, MouseButton b, ShiftState s, int x, int y) { event("up", b, s, x, y); };
    tray->OnClick = [event](TTrayIcon&, MouseButton b, ShiftState s, int x, int y) { event("click", b, s, x, y); };
    tray->OnMouseMove = [&log](TTrayIcon&, ShiftState s, int x, int y) {
      log.push_back("move " + std::to_string(s) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    tray->OnDblClick = [&log](TTrayIcon&) { log.push_back("dblclick"); };
  }

  // The icon in the notification area as the program sets it up, with the log cleared.
  void Show() {
    tray->SetActive(false);
    tray->SetIcon(kIcon);
    tray->SetPopupMenu(menu.get());
    tray->SetActive(true);
    ASSERT_TRUE(tray->Shown());
    api.calls.clear();
  }
  bool Send(std::uint32_t mouseMessage) { return api.target->HandleCallback(mouseMessage); }
};

TEST_F(TrayIconTest, AnEmptyHintGivesNoTooltipAndTheAddIsFollowedByOneModify) {
  EXPECT_TRUE(api.calls.empty());  // nothing before there is an icon to show
  tray->SetIcon(kIcon);
  tray->Loaded();
  ASSERT_GE(api.calls.size(), 3u);
  const std::vector<NotifyCall> last(api.calls.end() - 3, api.calls.end());
  EXPECT_EQ(last[0].action, NotifyAction::Delete);
  EXPECT_EQ(last[1].action, NotifyAction::Add);
  EXPECT_EQ(last[2].action, NotifyAction::Modify);
  const NotifyIconData& added = last[1].data;
  EXPECT_EQ(added.window, kWindow);
  EXPECT_EQ(added.id, 0u);
  EXPECT_EQ(added.flags, 7u);
  EXPECT_EQ(added.callbackMessage, 0xB054u);
  EXPECT_EQ(added.icon, kIcon);
  EXPECT_EQ(added.tip, "");
  EXPECT_EQ(last[2].data.tip, "");
}

TEST_F(TrayIconTest, ABalloonShowsANameHoldingANulInItsVisibleForm) {
  Show();
  tray->ShowBalloon("Korvalis", std::string("Evil\0Hidden came back", 21));
  ASSERT_EQ(api.calls.size(), 1u);
  EXPECT_EQ(api.calls[0].data.info, "Evil\\0Hidden came back");
}

TEST_F(TrayIconTest, TheTooltipIsTheShortPartOfTheHintCutTo63Characters) {
  Show();
  tray->SetHint("short|long");
  ASSERT_EQ(api.Actions(), std::vector<NotifyAction>{NotifyAction::Modify});
  EXPECT_EQ(api.calls.back().data.tip, "short");
  tray->SetHint("short|long");
  EXPECT_EQ(api.calls.size(), 1u);  // an unchanged hint is not sent again

  tray->SetHint(std::string(70, 'x') + "|long");
  EXPECT_EQ(api.calls.back().data.tip, std::string(63, 'x'));

  api.calls.clear();
  tray->SetActive(false);
  tray->SetActive(true);
  EXPECT_EQ(api.Actions(), (std::vector<NotifyAction>{NotifyAction::Delete, NotifyAction::Delete, NotifyAction::Add}));
}

TEST_F(TrayIconTest, ALeftClickRaisesDownClickAndUpAtTheCursorWithKeyAndMouseFlags) {
  Show();
  api.keys = kCtrlKey | kAltKey;
  EXPECT_TRUE(Send(kWmMouseMove));
  Send(kWmLButtonDown);
  api.cursor = {30, 40};  // read when each message is handled
  Send(kWmLButtonUp);
  EXPECT_EQ(api.log,
            (std::vector<std::string>{"move 6 10,20", "down L 14 10,20", "click L 14 30,40", "up L 14 30,40"}));
}

TEST_F(TrayIconTest, ARightClickOpensTheMenuAtTheCursorInsteadOfRaisingOnClick) {
  Show();
  api.keys = kShiftKey;
  Send(kWmRButtonDown);
  api.cursor = {30, 40};
  Send(kWmRButtonUp);
  EXPECT_EQ(api.log, (std::vector<std::string>{"down R 17 10,20", "cancel capture", "foreground 4660",
                                               "process messages", "popup 30,40", "foreground 4660",
                                               "up R 17 30,40"}));
  EXPECT_EQ(menu->popupComponent, tray.get());
}

TEST_F(TrayIconTest, ARightButtonReleasedWithoutItsPressOnlyRaisesMouseUp) {
  Show();
  Send(kWmRButtonUp);
  Send(kWmLButtonUp);
  EXPECT_EQ(api.log, (std::vector<std::string>{"up R 16 10,20", "up L 8 10,20"}));
}

TEST_F(TrayIconTest, WithoutAMenuOrWithAutoPopupOffARightClickRaisesOnClick) {
  Show();
  menu->autoPopup = false;
  Send(kWmRButtonDown);
  Send(kWmRButtonUp);
  tray->SetPopupMenu(nullptr);
  Send(kWmRButtonDown);
  Send(kWmRButtonUp);
  EXPECT_EQ(api.log, (std::vector<std::string>{"down R 16 10,20", "click R 16 10,20", "up R 16 10,20",
                                               "down R 16 10,20", "click R 16 10,20", "up R 16 10,20"}));
}

TEST_F(TrayIconTest, TheOtherButtonMessagesRaiseOnlyMouseDownAndUp) {
  Show();
  Send(kWmRButtonDblClk);
  Send(kWmMButtonDown);
  Send(kWmMButtonUp);
  Send(kWmMButtonDblClk);
  Send(0x20A);
  EXPECT_EQ(api.log, (std::vector<std::string>{"down R 64 10,20", "down M 32 10,20", "up M 32 10,20",
                                               "down M 64 10,20"}));
}

TEST_F(TrayIconTest, WhenDisabledNoMouseActionHasAnyEffect) {
  Show();
  menu->AddItem("Options", true, true);
  tray->SetEnabled(false);
  for (std::uint32_t message = kWmMouseMove; message <= kWmMButtonDblClk; ++message)
    EXPECT_FALSE(Send(message)) << message;
  EXPECT_TRUE(api.log.empty());
  // A press received while disabled is not remembered.
  tray->SetEnabled(true);
  Send(kWmRButtonUp);
  EXPECT_EQ(api.log, std::vector<std::string>{"up R 16 10,20"});
}

TEST_F(TrayIconTest, ADoubleClickRunsTheFirstEnabledDefaultItemThenRaisesMouseDownWithTheDoubleFlag) {
  Show();
  menu->AddItem("Plain", false, true);
  menu->AddItem("DisabledDefault", true, false);
  menu->AddItem("Options", true, true);
  menu->AddItem("LaterDefault", true, true);
  Send(kWmLButtonDblClk);
  EXPECT_EQ(api.log, (std::vector<std::string>{"item Options", "down L 64 10,20"}));
}

TEST_F(TrayIconTest, ADoubleClickWithoutAnEnabledDefaultItemRaisesOnDblClick) {
  Show();
  menu->AddItem("Plain", false, true);
  menu->AddItem("DisabledDefault", true, false);
  Send(kWmLButtonDblClk);
  EXPECT_EQ(api.log, (std::vector<std::string>{"dblclick", "down L 64 10,20"}));
}

TEST_F(TrayIconTest, AFreedMenuIsForgottenAndARightClickThenRaisesOnClick) {
  Show();
  menu.reset();
  ASSERT_EQ(tray->PopupMenu(), nullptr);
  Send(kWmRButtonDown);
  Send(kWmRButtonUp);
  EXPECT_EQ(api.log, (std::vector<std::string>{"down R 16 10,20", "click R 16 10,20", "up R 16 10,20"}));
}

TEST_F(TrayIconTest, AFailedAddLeavesTheIconAbsentAndTheNextIconOrHintChangeTriesAgain) {
  api.addSucceeds = false;
  tray->SetIcon(kIcon);
  tray->Loaded();
  EXPECT_FALSE(tray->Shown());
  EXPECT_NE(api.Actions().back(), NotifyAction::Modify);  // no modify after a failed add

  api.calls.clear();
  tray->SetHint("again");
  EXPECT_EQ(api.Actions(), (std::vector<NotifyAction>{NotifyAction::Delete, NotifyAction::Add}));
  api.addSucceeds = true;
  tray->SetIcon(kIcon + 1);
  EXPECT_TRUE(tray->Shown());
  EXPECT_EQ(api.calls.back().data.icon, kIcon + 1);
}

TEST_F(TrayIconTest, AFirstAddThatFailedWasNeverTriedAgainWithoutATaskbarMessage) {
  api.addSucceeds = false;
  tray->SetIcon(kIcon);
  tray->Loaded();
  ASSERT_TRUE(api.timerRunning);
  EXPECT_EQ(api.timerInterval, TTrayIcon::kAddRetryMs);
  api.tick();
  EXPECT_FALSE(tray->Shown());
  EXPECT_TRUE(api.timerRunning);
  api.addSucceeds = true;
  api.tick();
  EXPECT_TRUE(tray->Shown());
  EXPECT_FALSE(api.timerRunning);  // nothing wakes the program once the icon is up
}

TEST_F(TrayIconTest, AnEmptyIconAddsNothingAndTakingTheIconAwayRemovesIt) {
  tray->Loaded();
  for (const auto action : api.Actions()) EXPECT_NE(action, NotifyAction::Add);
  EXPECT_TRUE(tray->Active());
  EXPECT_FALSE(tray->Shown());

  Show();
  tray->SetIcon(0);
  EXPECT_EQ(api.Actions(), std::vector<NotifyAction>{NotifyAction::Delete});
  EXPECT_FALSE(tray->Shown());
}

TEST_F(TrayIconTest, TheIconComesBackWhenTheTaskbarIsRecreated) {
  Show();
  api.target->TaskbarCreated();
  EXPECT_EQ(api.Actions(), (std::vector<NotifyAction>{NotifyAction::Delete, NotifyAction::Add, NotifyAction::Modify}));
  EXPECT_TRUE(tray->Shown());

  tray->SetActive(false);
  api.calls.clear();
  api.target->TaskbarCreated();
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(TrayIconTest, AnimationStepsThroughTheIconsOnUserInterfaceTimerTicks) {
  Show();
  tray->Icons().Add(101);
  tray->Icons().Add(102);
  tray->Icons().Add(103);
  tray->SetAnimated(true);
  EXPECT_TRUE(tray->Animated());
  EXPECT_TRUE(api.timerRunning);
  EXPECT_EQ(api.timerInterval, 150);
  EXPECT_EQ(api.calls.back().data.icon, 101u);
  std::vector<IconHandle> frames;
  for (int tick = 0; tick < 4; ++tick) {
    api.tick();
    ASSERT_EQ(api.calls.back().action, NotifyAction::Modify);
    frames.push_back(api.calls.back().data.icon);
  }
  EXPECT_EQ(frames, (std::vector<IconHandle>{102, 103, 101, 102}));

  tray->SetInterval(40);
  EXPECT_EQ(api.timerInterval, 40);
  tray->SetActive(false);
  EXPECT_FALSE(api.timerRunning);
  tray->SetActive(true);
  EXPECT_TRUE(api.timerRunning);

  tray->Icons().Clear();
  EXPECT_FALSE(tray->Animated());
  EXPECT_FALSE(api.timerRunning);
  EXPECT_EQ(api.calls.back().data.icon, kIcon);
}

TEST_F(TrayIconTest, AnErrorThrownByAnEventHandlerGoesToTheErrorReporter) {
  Show();
  tray->OnMouseDown = [](TTrayIcon&, MouseButton, ShiftState, int, int) { throw Error("handler failed"); };
  EXPECT_TRUE(Send(kWmLButtonDown));
  EXPECT_EQ(errors, std::vector<std::string>{"handler failed"});

  tray->OnMouseDown = nullptr;
  Send(kWmRButtonDown);
  menu->failPopup = true;
  EXPECT_TRUE(Send(kWmRButtonUp));
  EXPECT_EQ(errors.back(), "menu failed");
  // The foreground is taken back even though the menu failed, and the error ends the handling.
  EXPECT_EQ(api.log.back(), "foreground 4660");
}

TEST_F(TrayIconTest, DestructionRemovesTheIconAndStopsTheAnimation) {
  Show();
  tray->Icons().Add(101);
  tray->SetAnimated(true);
  tray.reset();
  EXPECT_EQ(api.calls.back().action, NotifyAction::Delete);
  EXPECT_FALSE(api.timerRunning);
}

}  // namespace
}  // namespace korvalis::shell
