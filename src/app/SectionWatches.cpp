#include "app/SectionWatches.h"

#include "platform/RegistryValues.h"

namespace korvalis::app {

using catalogue::Section;

namespace {
constexpr Section kWatched[] = {catalogue::kLocalMachineRun,      catalogue::kLocalMachineRunOnce,
                                catalogue::kLocalMachineServices, catalogue::kLocalMachineServiceOnce,
                                catalogue::kCurrentUserRun,       catalogue::kCurrentUserRunOnce};

std::string ParentOf(const std::string& path) {
  const auto cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
}  // namespace

TSectionWatches::TSectionWatches(platform::Registry& registry, Clock clock)
    : registry_(registry), clock_(std::move(clock)) {}

void TSectionWatches::Arm(Section section) {
  Watch& entry = watches_[section];
  entry = Watch{};
  const platform::RootKey root = catalogue::SectionRoot(section);
  const std::string path = platform::PathFromRoot(catalogue::SectionKey(section));
  platform::OpenedKey opened = registry_.OpenKey(root, path, platform::KeyAccess::Read);
  // A missing key shows up as a change of its parent once it is created.
  if (opened.status == platform::kErrorFileNotFound) opened = registry_.OpenKey(root, ParentOf(path), platform::KeyAccess::Read);
  if (!opened || opened.key->Watch(entry.watch) != platform::kSuccess || !entry.watch) return;
  entry.key = std::move(opened.key);
  entry.armedAt = clock_();
  entry.armed = true;
}

catalogue::SectionSet TSectionWatches::Due() {
  std::vector<platform::ChangeWatch*> armed;
  for (Section section : kWatched) armed.push_back(watches_[section].armed ? watches_[section].watch.get() : nullptr);
  const std::uint32_t fired = registry_.PollWatches(armed);
  const auto now = clock_();
  catalogue::SectionSet due;
  for (std::size_t i = 0; i < armed.size(); ++i) {
    const Watch& entry = watches_[kWatched[i]];
    if (!entry.armed || (fired >> i & 1u) || now - entry.armedAt >= kSafetyInterval)
      due = catalogue::SectionSet::FromBits(static_cast<std::uint16_t>(due.Bits() | (1u << kWatched[i])));
  }
  return due;
}

bool TSectionWatches::Fired(Section section) {
  // A key that cannot be watched gives no sign either way; reading it once has to do.
  const Watch& entry = watches_[section];
  return entry.armed && entry.watch->Signaled();
}

}  // namespace korvalis::app
