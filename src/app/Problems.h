#pragma once
// What went wrong while the guard ran, newest last, for the tray menu now and an overview
// later to list. Bounded: a place that keeps failing cannot grow it without end.
#include <cstddef>
#include <deque>
#include <string>
#include <utility>

namespace korvalis::app {

struct TProblem {
  std::string time;  // as the activity log stamps its lines
  std::string text;
};

class TProblems {
 public:
  static constexpr std::size_t kDefaultLimit = 100;
  explicit TProblems(std::size_t limit = kDefaultLimit) : limit_(limit == 0 ? 1 : limit) {}

  // The oldest is dropped once the list is full.
  void Add(std::string time, std::string text) {
    if (items_.size() >= limit_) items_.pop_front();
    items_.push_back(TProblem{std::move(time), std::move(text)});
  }
  const std::deque<TProblem>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  std::size_t limit_;
  std::deque<TProblem> items_;
};

}  // namespace korvalis::app
