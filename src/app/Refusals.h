#pragma once
// The entries the user refused: one that comes back unchanged is undone without a question.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/Baseline.h"
#include "app/CompareSection.h"
#include "platform/Platform.h"

namespace korvalis::app {

// The key of an entry in its place, with ASCII letters folded, as refusals and offers know it.
std::string EntryKey(catalogue::Section section, const std::string& valueName);

class TRefusals {
 public:
  explicit TRefusals(const platform::Platform& platform) : platform_(platform) {}

  const std::vector<TRefusal>& All() const { return refusals_; }
  void Assign(std::vector<TRefusal> refusals);
  void Clear() { Assign({}); }
  // The refusal the difference's entry comes back as. A refused file or task the user took back
  // from the quarantine is asked about once more: its refusal is dropped. Valid until the next
  // change of the refusals.
  TRefusal* Standing(catalogue::Section section, const TDifference& difference);
  // A refused removal wants the entry kept; only what came in can come back.
  void Remember(catalogue::Section section, const TDifference& difference);
  void Forget(catalogue::Section section, const TDifference& difference);
  // Whether a notice about the refusal is due at now (seconds): at most one a minute per entry,
  // so a program that keeps writing itself back cannot flood.
  static bool NoticeDue(TRefusal& refusal, std::int64_t now);
  static constexpr std::int64_t kNoticeEverySeconds = 60;

 private:
  void Index();

  platform::Platform platform_;
  std::vector<TRefusal> refusals_;
  // By section and value name: a flood of undone values is looked up, not walked.
  std::unordered_multimap<std::string, std::size_t> index_;
};

}  // namespace korvalis::app
