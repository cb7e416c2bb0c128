// The check tick under Wine against the real registry: the tick as the program runs it, the
// literal tick that reads all six keys, and the floors they are measured against.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Timing.h"
#include "app/ChangeMonitor.h"
#include "app/CompareSection.h"
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

void Fill(int values) {
  for (const Key& key : kKeys) {
    RegDeleteKeyA(key.root, key.path);
    HKEY handle = nullptr;
    RegCreateKeyExA(key.root, key.path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    for (int i = 0; i < values; ++i) {
      const std::string name = "Bench" + std::to_string(i);
      const std::string data = "C:\\Program Files\\Bench\\tool" + std::to_string(i) + ".exe /q";
      RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
    }
    RegCloseKey(handle);
  }
}

// The least a reading of one key can cost: one enumeration call per value, name and data at once.
std::size_t BareRead(const Key& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExA(key.root, key.path, 0, KEY_READ, &handle) != ERROR_SUCCESS) return 0;
  DWORD count = 0, maxName = 0, maxData = 0;
  RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData, nullptr,
                   nullptr);
  std::vector<char> name(maxName + 1);
  std::vector<BYTE> data(maxData + 1);
  std::size_t bytes = 0;
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLength = maxName + 1, dataSize = maxData + 1, type = 0;
    if (RegEnumValueA(handle, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize) == ERROR_SUCCESS)
      bytes += dataSize;
  }
  RegCloseKey(handle);
  return bytes;
}

// The registry and event calls the program's tick makes for one changed key, and nothing else:
// one look at the six notifications, arming the key's notification, reading it, checking the
// notification, and one more look.
struct SameCalls {
  HANDLE events[6];
  HKEY watched = nullptr;
  HANDLE event = nullptr;
  SameCalls() {
    for (HANDLE& e : events) e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~SameCalls() {
    for (HANDLE e : events) CloseHandle(e);
    if (watched) RegCloseKey(watched);
    if (event) CloseHandle(event);
  }
  std::size_t Run(const Key& key) {
    WaitForMultipleObjects(6, events, FALSE, 0);
    if (watched) RegCloseKey(watched);
    if (event) CloseHandle(event);
    RegOpenKeyExA(key.root, key.path, 0, KEY_READ, &watched);
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RegNotifyChangeKeyValue(watched, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
    const std::size_t bytes = BareRead(key);
    WaitForSingleObject(event, 0);
    WaitForMultipleObjects(6, events, FALSE, 0);
    return bytes;
  }
};

class SilentHost : public app::MonitorHost {
 public:
  bool AskUser(const catalogue::TStartup&, catalogue::ChangeKind, bool) override {
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
  app::TChangeMonitor monitor(0, windows.platform(), switches, host);
  monitor.TakeSnapshot();
  const int repetitions = values >= 1000 ? 9 : 41;

  std::size_t sink = 0;
  const double bare = bench::MedianMicros(repetitions, [&] {
    for (const Key& key : kKeys) sink += BareRead(key);
  });
  const double literal = bench::MedianMicros(repetitions, [&] {
    for (const Key& key : kKeys) {
      catalogue::TStartups fresh(0, windows.platform());
      catalogue::ReadProblems problems;
      fresh.LoadSections(catalogue::SectionSet::Of(key.section), problems);
      sink += app::CompareSection(monitor.Snapshot(), fresh, key.section, {}).differences.size();
    }
  });
  const double quiet = bench::MedianMicros(repetitions * 5, [&] { monitor.CheckAllSections(); });

  // A tick after one value of the current user's Run key changed: that key alone is read. The
  // floors get the same untimed change before each run.
  int flip = 0;
  const auto change = [&] {
    HKEY handle = nullptr;
    RegOpenKeyExA(kUserRun.root, kUserRun.path, 0, KEY_SET_VALUE, &handle);
    const std::string data = "C:\\flip" + std::to_string(flip++ % 2) + ".exe";
    RegSetValueExA(handle, "Flip", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(handle);
  };
  const double changed = bench::MedianMicros(repetitions, [&] { monitor.CheckAllSections(); }, change);
  const double bareOne = bench::MedianMicros(repetitions, [&] { sink += BareRead(kUserRun); }, change);
  SameCalls same;
  const double sameCalls = bench::MedianMicros(repetitions, [&] { sink += same.Run(kUserRun); }, change);

  std::printf(" %5d values in each of the six keys\n", values);
  bench::Row("floor: bare enumeration of the six keys", bare);
  bench::Row("literal tick: read and compare all six keys", literal, "literal/floor " + bench::Ratio(literal, bare));
  bench::Row("program's tick, nothing changed", quiet, "literal/quiet " + bench::Ratio(literal, quiet));
  bench::Row("floor: bare enumeration of the changed key", bareOne);
  bench::Row("floor: the same registry calls as the tick makes", sameCalls);
  bench::Row("program's tick, one key changed", changed,
             "changed/same calls " + bench::Ratio(changed, sameCalls) + ", changed/enumeration " +
                 bench::Ratio(changed, bareOne));
  if (sink == 0 && values > 0) std::printf("  (nothing read?)\n");
}

double SixEventFloor() {
  HANDLE events[6];
  for (HANDLE& event : events) event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const double floor = bench::MedianMicros(2001, [&] { WaitForMultipleObjects(6, events, FALSE, 0); });
  for (HANDLE event : events) CloseHandle(event);
  return floor;
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  platform::win32::Win32Windows windows;
  std::printf("Korvalis tick benchmark under Wine (medians)\n\n");
  const double eventFloor = SixEventFloor();
  bench::Row("floor: one zero-timeout wait on six events", eventFloor);
  for (int values : {0, 10, 100, 1000}) Measure(values, windows);

  // The quiet tick at ten values, against the six-event floor.
  Fill(10);
  app::TSwitches switches;
  SilentHost host;
  app::TChangeMonitor monitor(0, windows.platform(), switches, host);
  monitor.TakeSnapshot();
  const double quiet = bench::MedianMicros(2001, [&] { monitor.CheckAllSections(); });
  std::printf("\n");
  bench::Row("quiet tick at 10 values per key", quiet, "quiet/six-event floor " + bench::Ratio(quiet, eventFloor));
  Fill(0);
  CoUninitialize();
  return 0;
}
