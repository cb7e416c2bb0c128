#include "ui/Timer.h"

namespace korvalis::ui {

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) {
    if (enabled) SetTimer(window_, id_, interval_, nullptr);  // a full new interval
    return;
  }
  enabled_ = enabled;
  if (enabled)
    SetTimer(window_, id_, interval_, nullptr);
  else
    KillTimer(window_, id_);
}

void TTimer::SetInterval(UINT interval) {
  interval_ = interval;
  if (enabled_) SetTimer(window_, id_, interval_, nullptr);
}

}  // namespace korvalis::ui
