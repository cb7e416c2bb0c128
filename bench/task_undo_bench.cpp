// "Undo all" of 2,000 refused scheduled tasks in memory: the resident's write-back of one grouped
// answer, and the elevated copy's and the resident's checks of each place against one reading of
// the tasks rather than a reading per task; with how often the scheduler listed every task.
#include <chrono>
#include <cstdio>
#include <string>

#include "Timing.h"
#include "app/ChangeMonitor.h"
#include "catalogue/SectionReadings.h"
#include "platform/memory/MemoryWindows.h"
#include "text/StrMan.h"

using namespace korvalis;

namespace {

constexpr int kTasks = 2000;
constexpr catalogue::Section kTasksSection = 103;

class RefusingHost : public app::MonitorHost {
 public:
  bool AskUser(const app::TChangeQuestion&, bool) override { return false; }
  void WriteLog(const std::string&) override {}
  void ReportError(const std::exception&) override { ++errors; }
  int errors = 0;
};

std::string TaskXml(int i) {
  return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Task version=\"1.2\" "
         "xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Triggers><LogonTrigger><Enabled>true"
         "</Enabled></LogonTrigger></Triggers><Settings><Enabled>true</Enabled></Settings><Actions Context=\"Author\">"
         "<Exec><Command>C:\\Users\\Public\\agent.exe</Command><Arguments>-n " +
         std::to_string(i) + "</Arguments></Exec></Actions></Task>";
}

std::string PathOf(int i) { return "\\Flood\\Task" + std::to_string(i); }

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void UndoAll() {
  platform::memory::MemoryWindows windows;
  app::TSwitches switches;
  switches.Notification = true;
  switches.AllPlaces = true;
  RefusingHost host;
  app::TChangeMonitor monitor(windows.platform(), switches, host);
  monitor.TakeSnapshot();
  for (int i = 0; i < kTasks; ++i) windows.tasks.AddTask(PathOf(i), TaskXml(i));
  const std::uint64_t listed = windows.tasks.listings;
  const auto start = std::chrono::steady_clock::now();
  monitor.CheckAllSections();
  const double seconds = Seconds(start);
  std::vector<platform::RegisteredTask> left;
  windows.tasks.ListTasks(left);
  std::printf(" %d tasks added, Undo all\n", kTasks);
  bench::Row("the check that asks and undoes them all", seconds * 1e6,
             std::to_string(windows.tasks.listings - 1 - listed) + " listings of every task, " +
                 std::to_string(left.size()) + " left, " + std::to_string(host.errors) + " errors");
}

// Each place checked as the elevated copy and the resident do after it: once against the batch's
// reading, and once against a reading of its own, as before (the latter for a hundredth of the tasks).
void PlaceChecks() {
  platform::memory::MemoryWindows windows;
  for (int i = 0; i < kTasks; ++i) windows.tasks.AddTask(PathOf(i), TaskXml(i));
  const auto find = [](const catalogue::TStartups& place, const std::string& name) {
    for (int i = 0; i < place.Count(); ++i)
      if (text::SameTextAscii(place.Items(i).ValueName(), name)) return true;
    return false;
  };
  std::size_t found = 0;
  auto start = std::chrono::steady_clock::now();
  catalogue::TSectionReadings readings(windows.platform());
  for (int i = 0; i < kTasks; ++i) found += find(readings.Of(kTasksSection), PathOf(i));
  const double batch = Seconds(start);
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kTasks / 100; ++i) {
    catalogue::TStartups place(platform::WindowHandle{}, windows.platform());
    place.LoadSections(catalogue::SectionSet::Of(kTasksSection));
    found += find(place, PathOf(i));
  }
  const double each = Seconds(start) * 100;
  std::printf(" %d places checked\n", kTasks);
  bench::Row("against one reading of the tasks", batch * 1e6, std::to_string(found) + " found in all");
  bench::Row("against a reading per place (a hundredth, times 100)", each * 1e6, bench::Times(each / batch));
}

}  // namespace

int main() {
  std::printf("Scheduled tasks: one undo of many\n");
  UndoAll();
  PlaceChecks();
  return 0;
}
