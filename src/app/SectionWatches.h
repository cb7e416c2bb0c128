#pragma once
// Change notifications on the six registry startup keys: a quiet tick looks at them once and
// reads nothing. A key that does not exist yet is watched through its parent; a section whose
// key cannot be watched, or that has not been read for a minute, is read regardless.
#include <array>
#include <chrono>
#include <functional>
#include <memory>

#include "catalogue/Sections.h"
#include "platform/Registry.h"

namespace korvalis::app {

class TSectionWatches {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::seconds kSafetyInterval{60};

  TSectionWatches(platform::Registry& registry, Clock clock = std::chrono::steady_clock::now);

  // Arms the section's notification, just before the section is read.
  void Arm(catalogue::Section section);
  // The registry sections to read now: notified, never armed, or read a minute ago or more.
  catalogue::SectionSet Due();
  // The section is read at the next look, whatever its notification says.
  void Disarm(catalogue::Section section) { watches_[section] = Watch{}; }
  // Whether the section changed since it was last armed; false for one that cannot be watched.
  bool Fired(catalogue::Section section);

 private:
  struct Watch {
    std::unique_ptr<platform::RegistryKey> key;  // kept open: closing it would end the watch
    std::unique_ptr<platform::ChangeWatch> watch;
    std::chrono::steady_clock::time_point armedAt{};
    bool armed = false;
  };

  platform::Registry& registry_;
  Clock clock_;
  std::array<Watch, catalogue::kSectionCount> watches_;
};

}  // namespace korvalis::app
