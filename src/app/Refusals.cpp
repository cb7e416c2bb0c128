#include "app/Refusals.h"

#include "catalogue/Quarantine.h"
#include "text/StrMan.h"

namespace korvalis::app {

namespace {
bool SameAsRefused(const TRefusal& refusal, const catalogue::TStartup& entry) {
  // A file is the one refused only with the same content.
  return text::SameTextAscii(refusal.command, entry.Command()) && refusal.contentSize == entry.ContentSize() &&
         refusal.contentHash == entry.ContentHash();
}
}  // namespace

std::string EntryKey(catalogue::Section section, const std::string& valueName) {
  return std::string(1, static_cast<char>(section)) + text::UpperAscii(valueName);
}

void TRefusals::Assign(std::vector<TRefusal> refusals) {
  refusals_ = std::move(refusals);
  Index();
}

TRefusal* TRefusals::Standing(catalogue::Section section, const TDifference& difference) {
  if (!difference.now) return nullptr;
  const auto [first, last] = index_.equal_range(EntryKey(section, difference.now->ValueName()));
  for (auto it = first; it != last; ++it) {
    const std::size_t index = it->second;
    if (!SameAsRefused(refusals_[index], *difference.now)) continue;
    if (difference.kind == catalogue::ChangeKind::Added && difference.now->Place() &&
        catalogue::RefusalsHeldInQuarantine(*difference.now->Place()) &&
        !catalogue::HeldInQuarantine(platform_, *difference.now)) {
      refusals_.erase(refusals_.begin() + static_cast<std::ptrdiff_t>(index));
      Index();
      return nullptr;
    }
    return &refusals_[index];
  }
  return nullptr;
}

void TRefusals::Forget(catalogue::Section section, const TDifference& difference) {
  TRefusal* refusal = Standing(section, difference);
  if (!refusal) return;
  refusals_.erase(refusals_.begin() + (refusal - refusals_.data()));
  // The index holds positions: one left pointing past the end would be read at the next look.
  Index();
}

void TRefusals::Remember(catalogue::Section section, const TDifference& difference) {
  if (!difference.now || Standing(section, difference)) return;
  refusals_.push_back(TRefusal{section, difference.now->ValueName(), difference.now->Command(), 0,
                               difference.now->ContentSize(), difference.now->ContentHash()});
  index_.emplace(EntryKey(section, difference.now->ValueName()), refusals_.size() - 1);
}

bool TRefusals::NoticeDue(TRefusal& refusal, std::int64_t now) {
  if (refusal.lastReported != 0 && now >= refusal.lastReported && now - refusal.lastReported < kNoticeEverySeconds)
    return false;
  refusal.lastReported = now;
  return true;
}

void TRefusals::Index() {
  index_.clear();
  for (std::size_t i = 0; i < refusals_.size(); ++i)
    index_.emplace(EntryKey(refusals_[i].section, refusals_[i].valueName), i);
}

}  // namespace korvalis::app
