#include "app/SectionWatches.h"

#include <algorithm>

#include "catalogue/Places.h"
#include "catalogue/Startups.h"
#include "text/Fileman.h"

namespace korvalis::app {


namespace {
std::string ParentOf(const std::string& path) {
  const auto cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
}  // namespace

TSectionWatches::TSectionWatches(const platform::Platform& platform, Clock clock)
    : platform_(platform), clock_(std::move(clock)) {}

std::unique_ptr<platform::ChangeWatch> TSectionWatches::WatchKey(const catalogue::TPlace& place, Watch& entry,
                                                                 bool keysBelow) {
  // A key made or deleted while its watches were being armed gives them no sign: armed again.
  constexpr int kAttempts = 4;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    bool settled = true;
    entry = Watch{};
    std::unique_ptr<platform::ChangeWatch> watch = TryWatchKey(place, entry, keysBelow, settled);
    if (settled) return watch;
  }
  return nullptr;  // not armed: read at each look until it holds still
}

std::unique_ptr<platform::ChangeWatch> TSectionWatches::TryWatchKey(const catalogue::TPlace& place, Watch& entry,
                                                                    bool keysBelow, bool& settled) {
  platform::Registry& registry = platform_.registry;
  // The parent's subkeys first: the key deleted from then on, which the system need not tell its
  // own watch, or deleted and made again (a handle stays with the key it opened), is seen there.
  std::string ancestor;
  const std::string parent = ParentOf(place.path);
  std::unique_ptr<platform::ChangeWatch> above = WatchAncestor(place, parent, entry, ancestor);
  platform::OpenedKey opened = registry.OpenKey(place.root, place.path, platform::KeyAccess::Read, place.view);
  if (opened.status == platform::kErrorFileNotFound) {
    // A missing key shows up as a change of its nearest existing ancestor: the first key made
    // on the way down is a new name there, and the place is armed on its own key and read then.
    // One made before that watch was armed gives it no sign.
    const std::size_t cut = ancestor.empty() ? place.path.find('\\') : place.path.find('\\', ancestor.size() + 1);
    settled = !above || ancestor == parent ||
              !registry.OpenKey(place.root, place.path.substr(0, cut), platform::KeyAccess::Read, place.view);
    return above;
  }
  std::unique_ptr<platform::ChangeWatch> watch;
  const bool subtree = place.BelowKey() || keysBelow;
  if (!opened || opened.key->Watch(watch, subtree) != platform::kSuccess) return nullptr;
  entry.key = std::move(opened.key);
  entry.ancestor = std::move(above);
  return watch;
}

std::unique_ptr<platform::ChangeWatch> TSectionWatches::WatchAncestor(const catalogue::TPlace& place, std::string path,
                                                                      Watch& entry, std::string& armedOn) {
  platform::Registry& registry = platform_.registry;
  platform::OpenedKey opened = registry.OpenKey(place.root, path, platform::KeyAccess::Read, place.view);
  while (opened.status == platform::kErrorFileNotFound && !path.empty()) {
    path = ParentOf(path);
    opened = registry.OpenKey(place.root, path, platform::KeyAccess::Read, place.view);
  }
  std::unique_ptr<platform::ChangeWatch> watch;
  if (!opened || opened.key->WatchSubkeys(watch) != platform::kSuccess) return nullptr;
  entry.ancestorKey = std::move(opened.key);
  armedOn = path;
  return watch;
}

std::unique_ptr<platform::ChangeWatch> TSectionWatches::WatchFolder(const catalogue::TPlace& place, Watch& entry) {
  // A folder deleted is one the shell no longer names, but it still says where it would be.
  const std::string folder = catalogue::StartupFolderPathEvenIfMissing(platform_.shell, place.section);
  if (folder.empty()) return nullptr;
  // The folder made later, or deleted and made again, is a new folder in its nearest existing
  // ancestor; the files in it are seen by a watch of its own.
  std::unique_ptr<platform::ChangeWatch> ancestor;
  for (std::string parent = ParentOf(folder); !parent.empty() && !ancestor; parent = ParentOf(parent))
    ancestor = platform_.files.WatchSubfolders(parent.back() == ':' ? parent + "\\" : parent);
  std::unique_ptr<platform::ChangeWatch> watch = platform_.files.WatchFolder(folder);
  if (!watch) return ancestor;
  entry.ancestor = std::move(ancestor);
  return watch;
}

void TSectionWatches::Arm(const catalogue::TPlace& place) {
  Watch& entry = watches_[place.section];
  entry = Watch{};
  // Each kind of place is watched its own way.
  struct Arming final : catalogue::TPlaceVisitor {
    TSectionWatches& watches;
    Watch& entry;
    Arming(TSectionWatches& w, Watch& e) : watches(w), entry(e) {}
    void Registry(const catalogue::TPlace& at) override { entry.watch = watches.WatchKey(at, entry, false); }
    // A service's key is below the place's, its Parameters below that.
    void Service(const catalogue::TPlace& at) override { entry.watch = watches.WatchKey(at, entry, true); }
    void Folder(const catalogue::TPlace& at) override { entry.watch = watches.WatchFolder(at, entry); }
    void Task(const catalogue::TPlace&) override { entry.watch = watches.platform_.tasks.Watch(); }
  } arming(*this, entry);
  place.Kind().Accept(arming, place);
  if (!entry.watch) {
    entry = Watch{};
    return;
  }
  entry.armedAt = clock_();
  entry.armed = true;
}

catalogue::SectionSet TSectionWatches::Due() { return Due(catalogue::SweepPlaces(false)); }

catalogue::SectionSet TSectionWatches::Due(const catalogue::PlaceList& places) {
  // Every armed watch, that of an ancestor too, in as few looks as the
  // system allows: a quiet tick costs what waiting on that many events costs.
  armed_.clear();
  of_.clear();
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Watch& entry = watches_[places[i]->section];
    if (!entry.armed) continue;
    for (platform::ChangeWatch* watch : {entry.watch.get(), entry.ancestor.get()}) {
      if (!watch) continue;
      armed_.push_back(watch);
      of_.push_back(i);
    }
  }
  fired_.assign(places.size(), false);
  constexpr std::size_t kLook = platform::Registry::kWatchesPerPoll;
  for (std::size_t first = 0; first < armed_.size(); first += kLook) {
    look_.assign(armed_.begin() + static_cast<std::ptrdiff_t>(first),
                 armed_.begin() + static_cast<std::ptrdiff_t>(std::min(first + kLook, armed_.size())));
    const std::uint64_t bits = platform_.registry.PollWatches(look_);
    for (std::size_t i = 0; i < look_.size(); ++i)
      if (bits >> i & 1u) fired_[of_[first + i]] = true;
  }
  const auto now = clock_();
  catalogue::SectionSet due;
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Watch& entry = watches_[places[i]->section];
    if (!entry.armed || fired_[i] || now - entry.armedAt >= kSafetyInterval || (entry.dueAt && now >= *entry.dueAt))
      due = due.With(places[i]->section);
  }
  return due;
}

std::vector<std::uintptr_t> TSectionWatches::NativeEvents() const {
  std::vector<std::uintptr_t> events;
  for (const Watch& entry : watches_) {
    if (!entry.armed) continue;
    for (const platform::ChangeWatch* watch : {entry.watch.get(), entry.ancestor.get()})
      if (watch && watch->NativeEvent()) events.push_back(watch->NativeEvent());
  }
  return events;
}

bool TSectionWatches::Fired(const catalogue::TPlace& place) {
  // A place that cannot be watched gives no sign either way; reading it once has to do.
  const Watch& entry = watches_[place.section];
  return entry.armed && (entry.watch->Signaled() || (entry.ancestor && entry.ancestor->Signaled()));
}

}  // namespace korvalis::app
