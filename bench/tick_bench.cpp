// The check tick under Wine against the real registry: the tick as the program runs it, the
// literal tick that reads all six keys, and the floors they are measured against, each timed in
// turn with what it is compared to.
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Timing.h"
#include "app/ChangeMonitor.h"
#include "app/CompareSection.h"
#include "catalogue/Places.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Win32Windows.h"

using namespace korvalis;

namespace {

struct Key {
  HKEY root;
  const char* path;
  catalogue::Section section;
};

const Key kKeys[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 4},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 5},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices", 6},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce", 7},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 8},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 9},
};
const Key& kUserRun = kKeys[4];

using platform::win32::UniqueEvent;
using platform::win32::UniqueKey;

bool PutString(HKEY key, const std::string& name, const std::string& data) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

void Fill(int values) {
  for (const Key& key : kKeys) {
    RegDeleteKeyA(key.root, key.path);
    UniqueKey handle;
    RegCreateKeyExA(key.root, key.path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, handle.put(), nullptr);
    for (int i = 0; i < values; ++i)
      PutString(handle.get(), "Bench" + std::to_string(i),
                "C:\\Program Files\\Bench\\tool" + std::to_string(i) + ".exe /q");
  }
}

// The least a reading of one key can cost: one enumeration call per value, name and data at once.
std::size_t BareRead(const Key& key) {
  UniqueKey handle;
  if (RegOpenKeyExA(key.root, key.path, 0, KEY_READ, handle.put()) != ERROR_SUCCESS) return 0;
  DWORD count = 0, maxName = 0, maxData = 0;
  RegQueryInfoKeyA(handle.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData,
                   nullptr, nullptr);
  std::vector<char> name(maxName + 1);
  std::vector<BYTE> data(maxData + 1);
  std::size_t bytes = 0;
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLength = maxName + 1, dataSize = maxData + 1, type = 0;
    if (RegEnumValueA(handle.get(), i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize) ==
        ERROR_SUCCESS)
      bytes += dataSize;
  }
  return bytes;
}

// The registry and event calls the program's tick makes for one changed key, and nothing else:
// one look at the six notifications, arming the key's notification, reading it, checking the
// notification, and one more look.
struct SameCalls {
  UniqueEvent owned[6];
  HANDLE events[6];
  UniqueKey watched;
  UniqueEvent event;
  SameCalls() {
    for (int i = 0; i < 6; ++i) {
      owned[i].reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
      events[i] = owned[i].get();
    }
  }
  std::size_t Run(const Key& key) {
    WaitForMultipleObjects(6, events, FALSE, 0);
    // The program, too, lets go of the old key and event before arming anew.
    watched.reset();
    event.reset();
    RegOpenKeyExA(key.root, key.path, 0, KEY_READ, watched.put());
    event.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    RegNotifyChangeKeyValue(watched.get(), FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event.get(),
                            TRUE);
    const std::size_t bytes = BareRead(key);
    WaitForSingleObject(event.get(), 0);
    WaitForMultipleObjects(6, events, FALSE, 0);
    return bytes;
  }
};

class SilentHost : public app::MonitorHost {
 public:
  bool AskUser(const app::TChangeQuestion&, bool) override {
    ++asked;
    return true;
  }
  void WriteLog(const std::string&) override {}
  void ReportError(const std::exception&) override {}
  int asked = 0;
};

void Measure(int values, platform::win32::Win32Windows& windows) {
  Fill(values);
  app::TSwitches switches;
  switches.Notification = false;  // every difference allowed: the tick never waits for a person
  SilentHost host;
  app::TChangeMonitor monitor(windows.platform(), switches, host);
  monitor.TakeSnapshot();
  const int rounds = values >= 1000 ? 9 : 41;

  std::size_t sink = 0;
  enum { kBare, kLiteral, kQuiet };
  const bench::Alternation reads(rounds, {[&] {
                                            for (const Key& key : kKeys) sink += BareRead(key);
                                          },
                                          [&] {
                                            for (const Key& key : kKeys) {
                                              catalogue::TStartups fresh(0, windows.platform());
                                              catalogue::ReadProblems problems;
                                              fresh.LoadSections(catalogue::SectionSet::Of(key.section), problems);
                                              sink += app::CompareSection(monitor.Snapshot(), fresh, *catalogue::PlaceOf(key.section), {})
                                                          .differences.size();
                                            }
                                          },
                                          [&] { monitor.CheckAllSections(); }});

  // A tick after one value of the current user's Run key changed: that key alone is read. The
  // floors get the same untimed change before each run.
  int flip = 0;
  const auto change = [&] {
    UniqueKey handle;
    RegOpenKeyExA(kUserRun.root, kUserRun.path, 0, KEY_SET_VALUE, handle.put());
    PutString(handle.get(), "Flip", "C:\\flip" + std::to_string(flip++ % 2) + ".exe");
  };
  SameCalls same;
  enum { kSameCalls, kBareOne, kChanged };
  const bench::Alternation changes(rounds,
                                   {[&] { sink += same.Run(kUserRun); }, [&] { sink += BareRead(kUserRun); },
                                    [&] { monitor.CheckAllSections(); }},
                                   change);

  std::printf(" %5d values in each of the six keys (medians of %d rounds)\n", values, rounds);
  bench::Row("floor: bare enumeration of the six keys", reads.MedianOf(kBare));
  bench::Row("literal tick: read and compare all six keys", reads.MedianOf(kLiteral),
             "literal/floor " + bench::Times(reads.Ratio(kLiteral, kBare)));
  bench::Row("program's tick, nothing changed", reads.MedianOf(kQuiet),
             "literal/quiet " + bench::Times(reads.Ratio(kLiteral, kQuiet)));
  bench::Row("floor: bare enumeration of the changed key", changes.MedianOf(kBareOne));
  bench::Row("floor: the same registry calls as the tick makes", changes.MedianOf(kSameCalls));
  bench::Row("program's tick, one key changed", changes.MedianOf(kChanged),
             "changed/same calls " + bench::Times(changes.Ratio(kChanged, kSameCalls)) + ", changed/enumeration " +
                 bench::Times(changes.Ratio(kChanged, kBareOne)));
  if (sink == 0 && values > 0) std::printf("  (nothing read?)\n");
}

// A quiet tick of the program against the least any quiet tick can cost: zero-timeout waits on
// as many events as the monitor watches, as few as the system allows, timed in turn with it.
void QuietTick(platform::win32::Win32Windows& windows, bool allPlaces) {
  app::TSwitches switches;
  switches.AllPlaces = allPlaces;
  SilentHost host;
  app::TChangeMonitor monitor(windows.platform(), switches, host);
  monitor.TakeSnapshot();
  monitor.CheckAllSections();  // the first look after the snapshot, out of the timing
  const std::size_t watched = monitor.ChangeEvents().size();
  // The places without a watch here: neither their key nor its parent exists, so every tick
  // reads them.
  std::vector<catalogue::Section> sections;
  for (catalogue::Section section = catalogue::kLocalMachineRun; section <= catalogue::kCurrentUserRunOnce; ++section)
    sections.push_back(section);
  if (allPlaces)
    for (const catalogue::Section section : catalogue::FurtherSections())
      if (catalogue::PlaceOf(section)->view != platform::RegistryView::Other || windows.registry.HasOtherView())
        sections.push_back(section);
  std::string unwatched;
  {
    app::TSectionWatches probe(windows.platform());
    for (const catalogue::Section section : sections) {
      const std::size_t before = probe.NativeEvents().size();
      probe.Arm(*catalogue::PlaceOf(section));
      if (probe.NativeEvents().size() == before) unwatched += "\n    " + catalogue::PlaceOf(section)->name;
    }
  }

  std::vector<platform::win32::UniqueEvent> owned;
  std::vector<HANDLE> events;
  for (std::size_t i = 0; i < watched; ++i) {
    owned.emplace_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    events.push_back(owned.back().get());
  }
  // One wait takes at most 64 events: with every place guarded the floor is a wait per 64.
  const auto floor = [&] {
    for (std::size_t at = 0; at < events.size(); at += MAXIMUM_WAIT_OBJECTS) {
      const std::size_t count = std::min<std::size_t>(events.size() - at, MAXIMUM_WAIT_OBJECTS);
      WaitForMultipleObjects(static_cast<DWORD>(count), events.data() + at, FALSE, 0);
    }
  };
  // Within a minute of the snapshot, so no place is due for its safety read.
  const bench::RatioResult quiet = bench::MedianRatio(1001, [&] { monitor.CheckAllSections(); }, floor, nullptr, 5);
  if (host.asked > 0) std::printf("  (a quiet tick asked %d questions?)\n", host.asked);

  const std::string places = allPlaces ? "every place guarded" : "the six registry places";
  std::printf(" %s: %zu places, %zu events watched\n", places.c_str(), sections.size(), watched);
  if (!unwatched.empty()) std::printf("  not watchable here, read at every tick:%s\n", unwatched.c_str());
  bench::Row("floor: zero-timeout waits on " + std::to_string(watched) + " events, 64 a wait", quiet.floor);
  bench::Row("quiet tick, " + places, quiet.subject,
             bench::RatioNote("quiet/floor", quiet.ratio, quiet.rounds));
}

}  // namespace

// tick_bench [quiet]: with "quiet", the quiet ticks only.
int main(int argc, char** argv) {
  CoInitialize(nullptr);
  platform::win32::Win32Windows windows;
  std::printf("Korvalis tick benchmark under Wine (each ratio the median of per-round ratios)\n\n");
  if (argc < 2 || std::string(argv[1]) != "quiet")
    for (int values : {0, 10, 100, 1000}) Measure(values, windows);

  std::printf("\nQuiet ticks at 10 values per key, against a wait on as many events (rounds of 5 ticks)\n");
  Fill(10);
  QuietTick(windows, false);
  QuietTick(windows, true);
  Fill(0);
  CoUninitialize();
  return 0;
}
