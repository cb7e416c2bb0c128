#include "shell/TrayShell.h"

#include <algorithm>

#include "platform/Error.h"
#include "text/VisibleText.h"

namespace korvalis::shell {

std::string ShortHint(const std::string& hint) { return hint.substr(0, hint.find('|')); }

TTrayIcon::TTrayIcon(TrayApi& api, TrayErrorReporter reportError)
    : api_(api), reportError_(std::move(reportError)), window_(api.CreateHiddenWindow(*this)) {
  // One timer steps the animation, or tries a refused add again while there is none.
  timer_ = api_.CreateTimer([this] { Guarded([this] { TimerTick(); }); });
  iconsChanged_ = icons_.SubscribeChanged([this] { RefreshIcon(); });
}

TTrayIcon::~TTrayIcon() {
  enabled_ = false;
  iconsChanged_.Reset();
  menuFreed_.Reset();
  Guarded([this] {
    StopAnimation();
    RemoveIcon();
  });
}

void TTrayIcon::Loaded() {
  if (active_) AddIcon();
}

void TTrayIcon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active_)
    AddIcon();
  else
    RemoveIcon();
}

void TTrayIcon::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  RefreshIcon();
}

void TTrayIcon::SetIcon(IconHandle icon) {
  icon_ = icon;
  RefreshIcon();
}

void TTrayIcon::SetPopupMenu(TrayMenu* menu) {
  popupMenu_ = menu;
  menuFreed_ = menu ? menu->SubscribeFreed([this] { popupMenu_ = nullptr; }) : Subscription();
}

IconHandle TTrayIcon::CurrentIcon() const {
  if (!animating_ || icons_.Count() == 0) return icon_;
  return icons_.Items(std::clamp(animationIndex_, 0, icons_.Count() - 1));
}

void TTrayIcon::FillIconData() {
  iconData_.window = window_->Handle();
  iconData_.id = 0;
  iconData_.flags = kNifMessage | kNifIcon | kNifTip;
  iconData_.callbackMessage = kTrayCallbackMessage;
  iconData_.icon = CurrentIcon();
  iconData_.tip = ShortHint(hint_).substr(0, kMaxTipChars);
}

void TTrayIcon::AddIcon() {
  RemoveIcon();
  if (CurrentIcon() == 0) return;
  pressed_ = 0;
  FillIconData();
  shown_ = api_.Notify(NotifyAction::Add, iconData_);
  if (shown_ && ShortHint(hint_).empty()) api_.Notify(NotifyAction::Modify, iconData_);
  // Even after a failed add, so that each step tries the add again.
  if (animating_)
    timer_->Start(interval_);
  else if (!shown_)
    timer_->Start(kAddRetryMs);
}

void TTrayIcon::TimerTick() {
  if (animating_)
    AnimationStep();
  else if (active_ && !shown_)
    AddIcon();
  else
    timer_->Stop();
}

void TTrayIcon::RemoveIcon() {
  api_.Notify(NotifyAction::Delete, iconData_);
  shown_ = false;
  pressed_ = 0;
  timer_->Stop();
}

void TTrayIcon::RefreshIcon() {
  if (icons_.Count() == 0) StopAnimation();
  if (shown_) {
    if (CurrentIcon() == 0) {
      RemoveIcon();
    } else {
      FillIconData();
      api_.Notify(NotifyAction::Modify, iconData_);
    }
  } else if (active_) {
    AddIcon();
  }
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (!shown_) return;
  FillIconData();
  NotifyIconData balloon = iconData_;
  balloon.flags = kNifInfo;
  // A name in the text may hold a NUL, at which the notification area would cut it.
  balloon.infoTitle = text::VisibleText(title);
  balloon.info = text::VisibleText(text);
  api_.Notify(NotifyAction::Modify, balloon);
}

void TTrayIcon::TaskbarCreated() {
  Guarded([this] {
    if (active_) AddIcon();
  });
}

void TTrayIcon::Guarded(const std::function<void()>& action) {
  CatchAtBoundary(action, [this](const std::exception& error) {
    if (reportError_) reportError_(error);
  });
}

}  // namespace korvalis::shell
