#pragma once
// Timings in microseconds. A ratio is never one median divided by another taken minutes apart:
// the sides are timed in turn within each round, so a burst of load from elsewhere on the
// machine falls on both, and the ratio reported is the median of the rounds' ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace korvalis::bench {

using Action = std::function<void()>;

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// Runs setup (untimed) then the action, repetitions times; the median of the action's times.
inline double MedianMicros(int repetitions, const Action& action, const Action& setup = nullptr) {
  std::vector<double> times;
  times.reserve(repetitions);
  for (int i = 0; i < repetitions; ++i) {
    if (setup) setup();
    const auto start = std::chrono::steady_clock::now();
    action();
    const auto stop = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
  }
  return Median(std::move(times));
}

// The time of one run of the action, averaged over batch runs; setup runs untimed before each.
inline double BatchMicros(int batch, const Action& action, const Action& setup) {
  double total = 0;
  for (int i = 0; i < batch; ++i) {
    if (setup) setup();
    const auto start = std::chrono::steady_clock::now();
    action();
    total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  }
  return total / batch;
}

// Several actions timed in turn, round after round; any two of them compared round by round.
class Alternation {
 public:
  // Each round times every action once (or batch times, averaged), in the order given.
  Alternation(int rounds, const std::vector<Action>& actions, const Action& setup = nullptr, int batch = 1)
      : times_(actions.size()) {
    for (auto& side : times_) side.reserve(rounds);
    for (int round = 0; round < rounds; ++round)
      for (std::size_t i = 0; i < actions.size(); ++i) times_[i].push_back(BatchMicros(batch, actions[i], setup));
  }
  double MedianOf(std::size_t action) const { return bench::Median(times_[action]); }
  // The median over the rounds of action's time divided by base's time in the same round.
  double Ratio(std::size_t action, std::size_t base) const {
    std::vector<double> ratios;
    for (std::size_t round = 0; round < times_[action].size(); ++round)
      if (times_[base][round] > 0) ratios.push_back(times_[action][round] / times_[base][round]);
    return bench::Median(std::move(ratios));
  }
  int Rounds() const { return times_.empty() ? 0 : static_cast<int>(times_[0].size()); }

 private:
  std::vector<std::vector<double>> times_;  // per action, per round
};

struct RatioResult {
  double ratio = 0;    // median of the per-round ratios subject / floor
  double subject = 0;  // median of the subject's times
  double floor = 0;    // median of the floor's times
  int rounds = 0;
};

// Floor, subject, floor, subject ...: one ratio per round, and their median.
inline RatioResult MedianRatio(int rounds, const Action& subject, const Action& floor, const Action& setup = nullptr,
                               int batch = 1) {
  const Alternation alternation(rounds, {floor, subject}, setup, batch);
  return RatioResult{alternation.Ratio(1, 0), alternation.MedianOf(1), alternation.MedianOf(0), rounds};
}

inline void Row(const std::string& label, double micros, const std::string& note = "") {
  std::printf("  %-58s %12.2f us  %s\n", label.c_str(), micros, note.c_str());
}

inline std::string Times(double ratio) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2fx", ratio);
  return text;
}

// "name 1.23x" followed by the rounds it is the median of.
inline std::string RatioNote(const std::string& name, double ratio, int rounds) {
  return name + " " + Times(ratio) + " (median of " + std::to_string(rounds) + " rounds)";
}

}  // namespace korvalis::bench
