// The comparison of a fresh reading with the snapshot against the plain walk it replaces and
// against reading the section, timed in turn round by round, and the resident set over many quiet
// ticks; all in memory.
#include <cstdio>
#include <fstream>
#include <string>

#include "Timing.h"
#include "app/Baseline.h"
#include "app/ChangeMonitor.h"
#include "app/CompareSection.h"
#include "platform/memory/MemoryWindows.h"
#include "text/StrMan.h"

using namespace korvalis;

namespace {

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The walk: for every fresh entry the snapshot from its start, for every snapshot entry the
// fresh reading from its start.
std::size_t WalkDifferences(const catalogue::TStartups& snapshot, const catalogue::TStartups& fresh,
                            catalogue::Section section) {
  std::size_t differences = 0;
  for (int i = 0; i < fresh.Count(); ++i) {
    const catalogue::TStartup* before = nullptr;
    for (int j = 0; j < snapshot.Count() && !before; ++j)
      if (snapshot.Items(j).GetSection() == section && text::SameTextAscii(snapshot.Items(j).Name(), fresh.Items(i).Name()))
        before = &snapshot.Items(j);
    if (!before || !text::SameTextAscii(before->Command(), fresh.Items(i).Command())) ++differences;
  }
  for (int j = 0; j < snapshot.Count(); ++j) {
    bool found = false;
    for (int i = 0; i < fresh.Count() && !found; ++i)
      found = text::SameTextAscii(snapshot.Items(j).Name(), fresh.Items(i).Name());
    if (!found) ++differences;
  }
  return differences;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

class QuietHost : public app::MonitorHost {
 public:
  bool AskUser(const app::TChangeQuestion&, bool) override {
    ++questions;
    return true;
  }
  int questions = 0;
  void WriteLog(const std::string&) override {}
  void ReportError(const std::exception&) override {}
};

void Comparison() {
  std::printf("\nComparison of one section (in-memory registry; medians)\n");
  for (int entries : {10, 100, 1000, 10000}) {
    platform::memory::MemoryWindows windows;
    for (int i = 0; i < entries; ++i)
      windows.registry.PutString(platform::RootKey::CurrentUser, kRun, "Value" + std::to_string(i),
                                 "C:\\Program Files\\Bench\\tool" + std::to_string(i) + ".exe /q");
    catalogue::TStartups snapshot(0, windows.platform());
    snapshot.LoadSections(catalogue::SectionSet::Of(8));
    catalogue::TStartups fresh(0, windows.platform());
    fresh.LoadSections(catalogue::SectionSet::Of(8));
    std::size_t found = 0;
    // The walk is quadratic: at ten thousand entries a few rounds take seconds already. Small
    // sections are timed in batches, well above the clock's resolution.
    const bench::Alternation rounds(entries >= 10000 ? 5 : 51,
                                    {[&] {
                                       fresh.Clear();
                                       fresh.LoadSections(catalogue::SectionSet::Of(8));
                                     },
                                     [&] { found += app::CompareSection(snapshot, fresh, *catalogue::PlaceOf(8), {}).differences.size(); },
                                     [&] { found += WalkDifferences(snapshot, fresh, 8); }},
                                    nullptr, entries <= 100 ? 1000 / entries : 1);
    enum { kReading, kIndexed, kWalk };
    std::printf(" %6d entries\n", entries);
    bench::Row("reading the section", rounds.MedianOf(kReading));
    bench::Row("comparison (index)", rounds.MedianOf(kIndexed),
               "walk/index " + bench::Times(rounds.Ratio(kWalk, kIndexed)) + ", index/reading " +
                   bench::Times(rounds.Ratio(kIndexed, kReading)) + " (medians of " +
                   std::to_string(rounds.Rounds()) + " rounds)");
    bench::Row("comparison (plain walk)", rounds.MedianOf(kWalk));
    if (found != 0) std::printf("  (unexpected differences: %zu)\n", found);
  }
}

void QuietTicks() {
  platform::memory::MemoryWindows windows;
  for (int i = 0; i < 10; ++i)
    windows.registry.PutString(platform::RootKey::CurrentUser, kRun, "Value" + std::to_string(i), "C:\\v.exe");
  app::TSwitches switches;
  switches.Notification = true;
  QuietHost host;
  app::TChangeMonitor monitor(windows.platform(), switches, host);
  monitor.TakeSnapshot();
  for (int i = 0; i < 1000; ++i) monitor.CheckAllSections();  // settle allocator pools
  const long before = ResidentKiB();
  const double tick = bench::MedianMicros(100000, [&] { monitor.CheckAllSections(); });
  const long after = ResidentKiB();
  std::printf("\nQuiet ticks against the in-memory Windows\n");
  bench::Row("quiet tick (median of 100,000)", tick);
  std::printf("  resident set before %ld KiB, after 100,000 ticks %ld KiB, growth %ld KiB\n", before, after,
              after - before);
}

// A flood of refused values written back at once: every one is found among the standing
// refusals through their index and undone again without a question.
void UndoneAgain() {
  std::printf("\nStanding refusals: one check that undoes every refused value written back\n");
  for (int count : {1000, 10000, 30000}) {
    platform::memory::MemoryWindows windows;
    app::TBaseline stored;
    stored.places = catalogue::SectionSet{8};
    for (int i = 0; i < count; ++i)
      stored.refusals.push_back(app::TRefusal{8, "Nag" + std::to_string(i), "C:\\nag.exe /" + std::to_string(i)});
    app::SaveBaseline(windows.platform(), stored);
    app::TSwitches switches;
    switches.Notification = true;
    QuietHost host;
    app::TChangeMonitor monitor(windows.platform(), switches, host);
    monitor.TakeSnapshot();
    monitor.StartFromBaseline();
    for (int i = 0; i < count; ++i)
      windows.registry.PutString(platform::RootKey::CurrentUser, kRun, "Nag" + std::to_string(i),
                                 "C:\\nag.exe /" + std::to_string(i));
    // The in-memory registry finds a value by walking its key: write-backs refused by the key's
    // rights keep that walk out of the figure, which is the monitor's own.
    windows.registry.SetRights(platform::RootKey::CurrentUser, kRun, {true, false});
    const auto start = std::chrono::steady_clock::now();
    monitor.CheckAllSections();
    const double micros = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    std::printf(" %6d refused values come back\n", count);
    bench::Row("the check that finds them all refused", micros,
               std::to_string(host.questions) + " questions");
  }
}

}  // namespace

int main() {
  std::printf("Korvalis host benchmarks\n");
  Comparison();
  QuietTicks();
  UndoneAgain();
  return 0;
}
