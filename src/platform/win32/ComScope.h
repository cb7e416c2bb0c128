#pragma once
// The component object system on this thread for as long as a scope lasts.
#include <objbase.h>

namespace korvalis::platform::win32 {

// A single-threaded apartment, as the shell's objects want. A thread that has COM already keeps
// its own (S_FALSE is undone here like any success); one in another apartment gets no second.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

}  // namespace korvalis::platform::win32
