#include "app/SectionWatches.h"

#include <algorithm>

#include "catalogue/Places.h"
#include "catalogue/Startups.h"
#include "text/Fileman.h"
#include "text/StrMan.h"

namespace korvalis::app {

namespace {
std::string ParentOf(const std::string& path) {
  const auto cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
}  // namespace

TSectionWatches::TSectionWatches(const platform::Platform& platform, Clock clock)
    : platform_(platform), clock_(std::move(clock)) {}

void TSectionWatches::WatchKey(const catalogue::TPlace& place, Watch& entry, bool keysBelow) {
  // A key made or deleted while its watches were being armed gives them no sign: armed again.
  constexpr int kAttempts = 4;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    entry = Watch{};
    if (TryWatchKey(place, entry, keysBelow)) return;
  }
  entry = Watch{};  // not armed: read at each look until it holds still
}

bool TSectionWatches::TryWatchKey(const catalogue::TPlace& place, Watch& entry, bool keysBelow) {
  platform::Registry& registry = platform_.registry;
  // The parent's subkeys first: the key deleted from then on, which the system need not tell its
  // own watch, or deleted and made again (a handle stays with the key it opened), is seen there.
  std::string ancestor;
  const std::string parent = ParentOf(place.path);
  entry.ancestor = WatchAncestor(place, parent, ancestor);
  platform::OpenedKey opened = registry.OpenKey(place.root, place.path, platform::KeyAccess::Read, place.view);
  if (opened.status == platform::kErrorFileNotFound) {
    // A missing key shows up as a change of its nearest existing ancestor: the first key made
    // on the way down is a new name there, and the place is armed on its own key and read then.
    // One made before that watch was armed gives it no sign.
    const std::size_t cut = ancestor.empty() ? place.path.find('\\') : place.path.find('\\', ancestor.size() + 1);
    return !entry.ancestor || ancestor == parent ||
           !registry.OpenKey(place.root, place.path.substr(0, cut), platform::KeyAccess::Read, place.view);
  }
  const bool subtree = place.BelowKey() || keysBelow;
  if (!opened || opened.key->Watch(entry.watch, subtree) != platform::kSuccess) {
    entry = Watch{};
    return true;
  }
  entry.key = std::move(opened.key);
  return true;
}

std::shared_ptr<TSectionWatches::Ancestor> TSectionWatches::WatchAncestor(const catalogue::TPlace& place,
                                                                          std::string path, std::string& armedOn) {
  platform::Registry& registry = platform_.registry;
  platform::OpenedKey opened = registry.OpenKey(place.root, path, platform::KeyAccess::Read, place.view);
  while (opened.status == platform::kErrorFileNotFound && !path.empty()) {
    path = ParentOf(path);
    opened = registry.OpenKey(place.root, path, platform::KeyAccess::Read, place.view);
  }
  if (!opened) return nullptr;
  armedOn = path;
  const std::string name = std::to_string(static_cast<int>(place.root)) + '.' +
                           std::to_string(static_cast<int>(place.view)) + '\\' + text::UpperAscii(path);
  std::weak_ptr<Ancestor>& pooled = ancestors_[name];
  if (std::shared_ptr<Ancestor> kept = pooled.lock(); kept && !kept->watch->Signaled()) return kept;
  auto made = std::make_shared<Ancestor>();
  if (opened.key->WatchSubkeys(made->watch) != platform::kSuccess) return nullptr;
  made->key = std::move(opened.key);
  pooled = made;
  for (auto it = ancestors_.begin(); it != ancestors_.end();)
    it = it->second.expired() ? ancestors_.erase(it) : std::next(it);
  return made;
}

void TSectionWatches::WatchFolder(const catalogue::TPlace& place, Watch& entry) {
  // A folder deleted is one the shell no longer names, but it still says where it would be.
  const std::string folder = catalogue::StartupFolderPathEvenIfMissing(platform_.shell, place.section);
  if (folder.empty()) return;
  // The folder made later, or deleted and made again, is a new folder in its nearest existing
  // ancestor; the files in it are seen by a watch of its own.
  auto ancestor = std::make_shared<Ancestor>();
  for (std::string parent = ParentOf(folder); !parent.empty() && !ancestor->watch; parent = ParentOf(parent))
    ancestor->watch = platform_.files.WatchSubfolders(parent.back() == ':' ? parent + "\\" : parent);
  if (ancestor->watch) entry.ancestor = std::move(ancestor);
  entry.watch = platform_.files.WatchFolder(folder);
}

void TSectionWatches::Arm(const catalogue::TPlace& place) {
  Watch& entry = watches_[place.section];
  entry = Watch{};
  gathered_ = false;
  // Each kind of place is watched its own way.
  struct Arming final : catalogue::TPlaceVisitor {
    TSectionWatches& watches;
    Watch& entry;
    Arming(TSectionWatches& w, Watch& e) : watches(w), entry(e) {}
    void Registry(const catalogue::TPlace& at) override { watches.WatchKey(at, entry, false); }
    // A service's key is below the place's, its Parameters below that.
    void Service(const catalogue::TPlace& at) override { watches.WatchKey(at, entry, true); }
    void Folder(const catalogue::TPlace& at) override { watches.WatchFolder(at, entry); }
    void Task(const catalogue::TPlace&) override { entry.watch = watches.platform_.tasks.Watch(); }
  } arming(*this, entry);
  place.Kind().Accept(arming, place);
  if (!entry.watch && !entry.ancestor) {
    entry = Watch{};
    return;
  }
  entry.armedAt = clock_();
  entry.armed = true;
}

catalogue::SectionSet TSectionWatches::Due() { return Due(catalogue::SweepPlaces(false)); }

void TSectionWatches::Gather(const catalogue::PlaceList& places) {
  armed_.clear();
  slots_.clear();
  ++looks_;
  for (const catalogue::TPlace* place : places) {
    const Watch& entry = watches_[place->section];
    std::pair<std::size_t, std::size_t> slot{kNone, kNone};
    if (entry.armed && entry.watch) {
      slot.first = armed_.size();
      armed_.push_back(entry.watch.get());
    }
    if (entry.armed && entry.ancestor) {
      Ancestor& ancestor = *entry.ancestor;
      if (ancestor.look != looks_) {
        ancestor.look = looks_;
        ancestor.slot = armed_.size();
        armed_.push_back(ancestor.watch.get());
      }
      slot.second = ancestor.slot;
    }
    slots_.push_back(slot);
  }
}

catalogue::SectionSet TSectionWatches::Due(const catalogue::PlaceList& places) {
  // Every armed watch, that of an ancestor too, in as few looks as the
  // system allows: a quiet tick costs what waiting on that many events costs.
  if (!gathered_ || gatheredFor_ != places) {
    Gather(places);
    gatheredFor_ = places;
    gathered_ = true;
  }
  fired_.assign(armed_.size(), false);
  constexpr std::size_t kLook = platform::Registry::kWatchesPerPoll;
  for (std::size_t first = 0; first < armed_.size(); first += kLook) {
    look_.assign(armed_.begin() + static_cast<std::ptrdiff_t>(first),
                 armed_.begin() + static_cast<std::ptrdiff_t>(std::min(first + kLook, armed_.size())));
    const std::uint64_t bits = platform_.registry.PollWatches(look_);
    for (std::size_t i = 0; i < look_.size(); ++i)
      if (bits >> i & 1u) fired_[first + i] = true;
  }
  const auto fired = [this](std::size_t slot) { return slot != kNone && fired_[slot]; };
  const auto now = clock_();
  catalogue::SectionSet due;
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Watch& entry = watches_[places[i]->section];
    if (!entry.armed || fired(slots_[i].first) || fired(slots_[i].second) || now - entry.armedAt >= kSafetyInterval ||
        (entry.dueAt && now >= *entry.dueAt))
      due = due.With(places[i]->section);
  }
  return due;
}

std::vector<std::uintptr_t> TSectionWatches::NativeEvents() const {
  std::vector<std::uintptr_t> events;
  ++looks_;
  for (const Watch& entry : watches_) {
    if (!entry.armed) continue;
    if (entry.watch && entry.watch->NativeEvent()) events.push_back(entry.watch->NativeEvent());
    if (entry.ancestor && entry.ancestor->look != looks_) {
      entry.ancestor->look = looks_;
      if (entry.ancestor->watch->NativeEvent()) events.push_back(entry.ancestor->watch->NativeEvent());
    }
  }
  return events;
}

bool TSectionWatches::Fired(const catalogue::TPlace& place) {
  // A place that cannot be watched gives no sign either way; reading it once has to do.
  const Watch& entry = watches_[place.section];
  return entry.armed &&
         ((entry.watch && entry.watch->Signaled()) || (entry.ancestor && entry.ancestor->watch->Signaled()));
}

}  // namespace korvalis::app
