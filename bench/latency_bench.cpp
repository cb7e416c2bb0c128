// From a registry write to the question on the screen. While the resident program runs on the
// same display, this process adds a value to the current user's Run key, as a setup program
// would, and polls until "Startup Programs Changed" is visible; then answers Yes, waits for the
// window to go and starts the next round.
//   latency_bench [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/Handles.h"

using korvalis::platform::win32::UniqueKey;

namespace {

constexpr const char* kQuestion = "Startup Programs Changed";
constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr double kTimeoutMs = 10000;

double NowMs() {
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerMs;
}

// Looks every millisecond or so: a coarser poll would add its own period to every reading.
template <typename Condition>
bool PollUntil(Condition condition, double timeoutMs) {
  const double deadline = NowMs() + timeoutMs;
  while (!condition()) {
    if (NowMs() > deadline) return false;
    Sleep(1);
  }
  return true;
}

HWND VisibleQuestion() {
  HWND window = FindWindowA(nullptr, kQuestion);
  return window && IsWindowVisible(window) ? window : nullptr;
}

struct ButtonSearch {
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchCaption(HWND child, LPARAM parameter) {
  auto* search = reinterpret_cast<ButtonSearch*>(parameter);
  char text[64] = {};
  // The dialog belongs to another process, which may be busy: never hang on it.
  SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  if (std::strcmp(text, search->caption) != 0) return TRUE;
  search->found = child;
  return FALSE;
}

HWND ButtonOf(HWND window, const char* caption) {
  ButtonSearch search{caption, nullptr};
  EnumChildWindows(window, MatchCaption, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool AddValue(HKEY key, const std::string& name, const std::string& data) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
  // The tray window exists once the program has taken its snapshot; its first check follows
  // at once, and a write made before that check would be a difference of the start instead.
  if (!PollUntil([] { return FindWindowA("KorvalisTrayWindow", nullptr) != nullptr; }, 30000)) {
    std::printf("  the resident program did not start (no tray window within 30 s)\n");
    return 1;
  }
  Sleep(1500);
  if (VisibleQuestion()) {
    std::printf("  a question was open before the first write: the prefix was not fresh\n");
    return 1;
  }
  UniqueKey run;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_SET_VALUE, nullptr, run.put(), nullptr) !=
      ERROR_SUCCESS) {
    std::printf("  cannot open HKCU\\%s\n", kRun);
    return 1;
  }

  std::vector<double> latencies;
  int missed = 0;
  const unsigned stamp = GetTickCount();  // fresh names, whatever earlier runs left in the key
  for (int round = 0; round < rounds; ++round) {
    const std::string name = "LatencyProbe" + std::to_string(stamp) + "_" + std::to_string(round);
    const double start = NowMs();
    if (!AddValue(run.get(), name, "C:\\Bench\\probe" + std::to_string(round) + ".exe /q")) {
      std::printf("  round %d: RegSetValueExA failed\n", round);
      return 1;
    }
    HWND question = nullptr;
    const bool shown = PollUntil([&] { return (question = VisibleQuestion()) != nullptr; }, kTimeoutMs);
    const double shownAfter = NowMs() - start;
    if (!shown) {
      std::printf("  round %d: no question within %.0f s\n", round, kTimeoutMs / 1000);
      ++missed;
      continue;
    }
    latencies.push_back(shownAfter);
    HWND yes = ButtonOf(question, "&Yes");
    if (!yes) {
      std::printf("  round %d: the question has no \"&Yes\" button\n", round);
      return 1;
    }
    PostMessageA(yes, BM_CLICK, 0, 0);
    if (!PollUntil([&] { return !IsWindow(question) || !IsWindowVisible(question); }, kTimeoutMs)) {
      std::printf("  round %d: the question stayed open after Yes\n", round);
      return 1;
    }
    Sleep(200);  // the program renews its snapshot and goes back to waiting
  }

  if (latencies.empty()) return 1;
  std::vector<double> sorted = latencies;
  std::sort(sorted.begin(), sorted.end());
  std::printf("  %-58s %9.1f ms\n", "median", sorted[sorted.size() / 2]);
  std::printf("  %-58s %9.1f ms\n", "min", sorted.front());
  std::printf("  %-58s %9.1f ms\n", "max", sorted.back());
  std::printf("  %-58s %9zu of %d\n", "rounds answered", latencies.size(), rounds);
  std::printf("  each round:");
  for (const double latency : latencies) std::printf(" %.0f", latency);
  std::printf(" ms\n");
  return missed == 0 ? 0 : 1;
}
