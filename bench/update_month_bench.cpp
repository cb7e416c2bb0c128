// A month of ordinary maintenance, in memory: a browser, an updater task, an antivirus platform
// service and a Startup file, each updated by its own signed installer the way such installers
// do it, checked as the resident program would (a tick after each write the watches report).
// Prints how many questions the month brought, and which.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ChangeMonitor.h"
#include "platform/memory/MemoryWindows.h"

using namespace korvalis;

namespace {

class CountingHost : public app::MonitorHost {
 public:
  bool AskUser(const app::TChangeQuestion& question, bool) override {
    asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(question.kind)]) + " " +
                    question.entry->Name());
    return true;
  }
  void Notify(const std::string& text) override { told.push_back(text); }
  void WriteLog(const std::string&) override {}
  void ReportError(const std::exception& error) override { std::printf("  error: %s\n", error.what()); }
  std::vector<std::string> asked, told;
};

const char* const kBrowser = "C:\\Program Files\\Acme\\Browser\\";
const char* const kUpdater = "C:\\Program Files\\Acme\\Update\\";
const char* const kPlatform = "C:\\ProgramData\\Microsoft\\Windows Defender\\Platform\\";

std::string TaskXml(const std::string& version) {
  return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Task version=\"1.2\" "
         "xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Triggers><LogonTrigger><Enabled>true"
         "</Enabled></LogonTrigger></Triggers><Settings><Enabled>true</Enabled></Settings><Actions Context=\"Author\">"
         "<Exec><Command>" + std::string(kUpdater) + version + "\\updater.exe</Command><Arguments>/ua</Arguments></Exec>"
         "</Actions></Task>";
}

class Month {
 public:
  Month() {
    switches.Notification = true;
    switches.AllPlaces = true;
    Install(kBrowser, "1.2.0", {"browser.exe", "engine.dll"}, "Acme Software Ltd");
    Install(kUpdater, "1.3.36.1", {"updater.exe"}, "Acme Software Ltd");
    Install(kPlatform, "4.18.1", {"MsMpEng.exe", "mpsvc.dll"}, "Microsoft Corporation");
    Browser("1.2.0");
    windows.tasks.AddTask("\\AcmeUpdateTaskUser", TaskXml("1.3.36.1"));
    windows.services.Add("WinDefend", 2, "\"" + std::string(kPlatform) + "4.18.1\\MsMpEng.exe\"");
    windows.files.AddFile(startup + "\\Sync.cmd", Bytes("@start \"\" \"C:\\Program Files\\Acme\\Sync\\sync.exe\"\r\n"));
    monitor.StartFromBaseline();
    monitor.TakeSnapshot();
  }
  void Install(const std::string& app, const std::string& version, const std::vector<std::string>& files,
               const std::string& signer) {
    for (const std::string& file : files) {
      const std::string path = app + version + "\\" + file;
      windows.files.AddFile(path, Bytes("MZ"));
      windows.inspector.Describe(path, platform::memory::InspectedFile{platform::Signature::Valid, signer, "", "", 2});
    }
  }
  void Browser(const std::string& version) {
    windows.registry.PutString(platform::RootKey::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                               "Browser", "\"" + std::string(kBrowser) + version + "\\browser.exe\" --background");
  }
  // A tick after each write, as the watches bring one; time goes on by the step given.
  void Tick(std::chrono::milliseconds step) {
    now += step;
    monitor.CheckAllSections();
  }
  static std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

  platform::memory::MemoryWindows windows;
  app::TSwitches switches;
  CountingHost host;
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  app::TChangeMonitor monitor{windows.platform(), switches, host, [this] { return now; }, app::kSettling};
  std::string startup = windows.shell.SpecialFolderPath(platform::kCsidlStartup, 0);
};

}  // namespace

int main() {
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  Month month;
  const milliseconds settle{3000};
  const std::string sync = month.startup + "\\Sync.cmd";
  const auto syncBytes = Month::Bytes("@start \"\" \"C:\\Program Files\\Acme\\Sync\\sync.exe\"\r\n");
  const auto week = [&](const std::string& browser, const std::string& updater, const std::string& platform) {
    if (!browser.empty()) {
      month.Install(kBrowser, browser, {"browser.exe", "engine.dll"}, "Acme Software Ltd");
      month.Browser(browser);
      month.Tick(settle);
    }
    if (!updater.empty()) {
      // Registered anew: the old task deleted, the new one made a moment later.
      month.Install(kUpdater, updater, {"updater.exe"}, "Acme Software Ltd");
      month.windows.tasks.DeleteTask("\\AcmeUpdateTaskUser");
      month.Tick(milliseconds(200));
      month.windows.tasks.AddTask("\\AcmeUpdateTaskUser", TaskXml(updater));
      month.Tick(settle);
    }
    if (!platform.empty()) {
      month.Install(kPlatform, platform, {"MsMpEng.exe", "mpsvc.dll"}, "Microsoft Corporation");
      month.windows.services.SetImagePath("WinDefend", "\"" + std::string(kPlatform) + platform + "\\MsMpEng.exe\"");
      month.Tick(settle);
    }
    // The Startup file written again with the same bytes: removed, then back within a second.
    month.windows.files.RemoveFile(sync);
    month.Tick(milliseconds(300));
    month.windows.files.AddFile(sync, syncBytes);
    month.Tick(settle);
    month.Tick(seconds(60));
  };
  week("1.3.0", "1.3.36.2", "");
  week("", "", "4.18.2");
  week("1.4.0", "1.3.36.3", "");
  std::printf("A month of ordinary updates (3 browser or task updates, 1 platform service update, 3 Startup file "
              "rewrites): %zu questions, %zu updates told\n",
              month.host.asked.size(), month.host.told.size());
  for (const std::string& question : month.host.asked) std::printf("  asked: %s\n", question.c_str());
  for (const std::string& told : month.host.told) std::printf("  told: %s\n", told.c_str());
  return 0;
}
