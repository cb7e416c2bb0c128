#pragma once
// Change notifications on every guarded place: a quiet tick looks at them once and reads
// nothing. A key or folder that does not exist yet is watched through its nearest existing
// ancestor, and one that exists through its parent too, so that it deleted and made again is
// seen at once; a place
// that cannot be watched, or that has not been read for a minute, is read regardless.
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/Places.h"
#include "platform/Platform.h"

namespace korvalis::app {

class TSectionWatches {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::seconds kSafetyInterval{60};

  TSectionWatches(const platform::Platform& platform, Clock clock = std::chrono::steady_clock::now);

  // Arms the place's notification, just before the place is read.
  void Arm(const catalogue::TPlace& place);
  // Of the places given, those to read now: notified, never armed, read a minute ago or more,
  // or past the time DueAt named.
  catalogue::SectionSet Due(const catalogue::PlaceList& places);
  // The same for the six registry sections.
  catalogue::SectionSet Due();
  // The place is read at the next look, whatever its notification says.
  void Disarm(const catalogue::TPlace& place) {
    watches_[place.section] = Watch{};
    gathered_ = false;
  }
  // The place is read at the first look from then on, also when nothing changed; until it is armed again.
  void DueAt(const catalogue::TPlace& place, std::chrono::steady_clock::time_point at) {
    watches_[place.section].dueAt = at;
  }
  // Whether the place changed since it was last armed; false for one that cannot be watched.
  bool Fired(const catalogue::TPlace& place);
  // The system events of the armed watches, for a message loop that sleeps until one fires.
  std::vector<std::uintptr_t> NativeEvents() const;

 private:
  // The watch of an ancestor, shared by the places below it: under Wine each thread that waits
  // for the events past the first 62 costs a megabyte, and most places share their parent.
  struct Ancestor {
    std::unique_ptr<platform::RegistryKey> key;  // kept open: closing it would end the watch
    std::unique_ptr<platform::ChangeWatch> watch;
    std::uint64_t look = 0;  // the last look that counted it, so that it is waited on once
    std::size_t slot = 0;    // its place among the watches of that look
  };
  struct Watch {
    std::unique_ptr<platform::RegistryKey> key;  // kept open: closing it would end the watch
    std::unique_ptr<platform::ChangeWatch> watch;  // none for a missing key
    // The new folders of a startup folder's ancestor, the subkeys of a key's parent (or of a
    // missing key's nearest existing ancestor, then the only watch).
    std::shared_ptr<Ancestor> ancestor;
    std::chrono::steady_clock::time_point armedAt{};
    std::optional<std::chrono::steady_clock::time_point> dueAt;
    bool armed = false;
  };
  // keysBelow: the keys below the place's own count too, as a service's do.
  void WatchKey(const catalogue::TPlace& place, Watch& entry, bool keysBelow);
  bool TryWatchKey(const catalogue::TPlace& place, Watch& entry, bool keysBelow);
  // A watch of the subkeys of the nearest existing key from path up, and its name: one another
  // place armed is taken while it has seen nothing, as it then has missed nothing either.
  std::shared_ptr<Ancestor> WatchAncestor(const catalogue::TPlace& place, std::string path, std::string& armedOn);
  void WatchFolder(const catalogue::TPlace& place, Watch& entry);
  // Each watched thing of the look once, with the slot of each place's own watch and ancestor's.
  void Gather(const catalogue::PlaceList& places);

  platform::Platform platform_;
  Clock clock_;
  std::array<Watch, catalogue::kSectionCount> watches_;
  std::map<std::string, std::weak_ptr<Ancestor>> ancestors_;  // by view and key
  // Kept between looks, so a quiet tick allocates nothing.
  std::vector<platform::ChangeWatch*> armed_, look_;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<std::pair<std::size_t, std::size_t>> slots_;  // of each place looked at: own, ancestor
  mutable std::uint64_t looks_ = 0;
  std::vector<bool> fired_;
  // What the last look gathered holds until a place is armed or disarmed, for the same places.
  catalogue::PlaceList gatheredFor_;
  bool gathered_ = false;
};

}  // namespace korvalis::app
