#pragma once
// Problems shown once while they last: one that goes away and comes back is shown again.
#include <set>
#include <string>
#include <vector>

namespace korvalis::app {

class TReportOnce {
 public:
  // The problems there now; returns those that were not there at the last call.
  std::vector<std::string> Update(const std::vector<std::string>& now) {
    std::set<std::string> current(now.begin(), now.end());
    std::vector<std::string> fresh;
    for (const std::string& problem : current)
      if (!shown_.count(problem)) fresh.push_back(problem);
    shown_ = std::move(current);
    return fresh;
  }
  // One problem that is there now: whether to show it.
  bool Fresh(const std::string& problem) { return !Update({problem}).empty(); }
  void Clear() { shown_.clear(); }

 private:
  std::set<std::string> shown_;
};

}  // namespace korvalis::app
