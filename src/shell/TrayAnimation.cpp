// Animation runs from a timer of the user-interface thread, so that the notification area
// is only ever called from that thread.
#include "shell/TrayShell.h"

namespace korvalis::shell {

void TTrayIcon::SetAnimated(bool animated) {
  if (animated == animating_) return;
  if (animated)
    StartAnimation();
  else
    StopAnimation();
  RefreshIcon();
}

void TTrayIcon::SetInterval(std::uint16_t interval) {
  if (interval == interval_) return;
  interval_ = interval;
  if (animating_ && shown_) timer_->Start(interval_);
}

void TTrayIcon::StartAnimation() {
  if (icons_.Count() == 0) return;
  animating_ = true;
  animationIndex_ = 0;
  if (shown_) timer_->Start(interval_);
}

void TTrayIcon::StopAnimation() {
  if (!animating_) return;
  timer_->Stop();
  animating_ = false;
  animationIndex_ = 0;
}

void TTrayIcon::AnimationStep() {
  if (!animating_) return;
  const int next = animationIndex_ + 1;
  animationIndex_ = next >= icons_.Count() ? 0 : next;
  RefreshIcon();
}

}  // namespace korvalis::shell
