#pragma once
// Medians of repeated timings, in microseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace korvalis::bench {

// Runs setup (untimed) then the action, repetitions times; the median of the action's times.
inline double MedianMicros(int repetitions, const std::function<void()>& action,
                           const std::function<void()>& setup = nullptr) {
  std::vector<double> times;
  times.reserve(repetitions);
  for (int i = 0; i < repetitions; ++i) {
    if (setup) setup();
    const auto start = std::chrono::steady_clock::now();
    action();
    const auto stop = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

inline void Row(const std::string& label, double micros, const std::string& note = "") {
  std::printf("  %-58s %12.2f us  %s\n", label.c_str(), micros, note.c_str());
}

inline std::string Ratio(double value, double base) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2fx", base > 0 ? value / base : 0.0);
  return text;
}

}  // namespace korvalis::bench
