#pragma once
// A millisecond timer whose tick is a message to its form's window.
#include <windows.h>

#include <functional>

namespace korvalis::ui {

class TTimer {
 public:
  TTimer(HWND window, UINT_PTR id, UINT interval = 1000) : window_(window), id_(id), interval_(interval) {}
  ~TTimer() { SetEnabled(false); }
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  void SetEnabled(bool enabled);
  bool Enabled() const { return enabled_; }
  UINT Interval() const { return interval_; }
  // An enabled timer starts a full new interval of the new length.
  void SetInterval(UINT interval);
  UINT_PTR Id() const { return id_; }
  std::function<void()> OnTimer;
  void Tick() {
    if (enabled_ && OnTimer) OnTimer();
  }

 private:
  HWND window_;
  UINT_PTR id_;
  UINT interval_;
  bool enabled_ = false;
};

}  // namespace korvalis::ui
