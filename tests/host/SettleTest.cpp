// Removals and changes wait for their place to be quiet: one that undoes itself asks nothing.
#include <gtest/gtest.h>

#include "app/ChangeMonitor.h"
#include "platform/memory/MemoryWindows.h"
#include "support/Keys.h"
#include "support/ScriptedHost.h"

namespace korvalis::app {

using platform::RootKey;
using namespace korvalis::testing;
using namespace std::chrono_literals;

namespace {

constexpr const char* kUserStartup = "C:\\users\\alice\\Start Menu\\Programs\\Startup";
constexpr const char* kTask =
    "<?xml version=\"1.0\"?><Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Triggers>"
    "<LogonTrigger/></Triggers><Actions><Exec><Command>C:\\Updater\\update.exe</Command></Exec></Actions></Task>";

class SettleTest : public ::testing::Test {
 protected:
  SettleTest() {
    switches.Notification = true;
    switches.Logs = true;
    switches.AllPlaces = true;
  }
  void Put(const std::string& name, const std::string& command) {
    windows.registry.PutString(RootKey::CurrentUser, kRunKey, name, command);
  }
  // A tick the given time after the last one; what it asked, and nothing of it kept for the next.
  std::vector<std::string> TickAfter(std::chrono::milliseconds wait) {
    now += wait;
    monitor.CheckAllSections();
    std::vector<std::string> asked;
    for (const Question& q : host.questions)
      asked.push_back(std::string(catalogue::ChangeKindNames[static_cast<int>(q.kind)]) + " " + q.name + " " + q.command);
    host.questions.clear();
    return asked;
  }
  bool Accepted(const std::string& name) const {
    const catalogue::TStartups& snapshot = monitor.Snapshot();
    for (int i = 0; i < snapshot.Count(); ++i)
      if (snapshot.Items(i).Name() == name) return true;
    return false;
  }

  platform::memory::MemoryWindows windows;
  TSwitches switches;
  ScriptedHost host;
  std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
  TChangeMonitor monitor{windows.platform(), switches, host, [this] { return now; }, kSettling};
};

}  // namespace

TEST_F(SettleTest, AChangeThatUndoesItselfAsksNothingAndOneThatStaysIsAskedOnceThePlaceIsQuiet) {
  using Asked = std::vector<std::string>;
  const std::string file = std::string(kUserStartup) + "\\run.bat";
  const std::vector<std::uint8_t> script = {'e', 'c', 'h', 'o'};
  for (const char* name : {"Back", "Gone", "Moved", "Busy"}) Put(name, std::string("C:\\") + name + ".exe");
  windows.files.AddFile(file, script);
  windows.tasks.AddTask("\\Updater", kTask);
  monitor.TakeSnapshot();

  // Deleted and written again with the same data within a second: nothing asked, nothing logged.
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Back");
  EXPECT_EQ(TickAfter(0ms), Asked{});
  EXPECT_EQ(monitor.SettleWait(), kSettling.quiet);
  EXPECT_TRUE(Accepted("Back"));  // the removal is not taken while it waits
  Put("Back", "C:\\Back.exe");
  EXPECT_EQ(TickAfter(1s), Asked{});
  EXPECT_FALSE(monitor.Settling());
  EXPECT_EQ(TickAfter(kSettling.quiet), Asked{});
  // A file replaced by its copy, as a shortcut rewritten with the same target.
  windows.files.RemoveFile(file);
  EXPECT_EQ(TickAfter(0ms), Asked{});
  windows.files.AddFile(file, script);
  EXPECT_EQ(TickAfter(kSettling.quiet), Asked{});
  // A task registered anew: its removal, taken unasked, waits too, so the task made again is no addition.
  windows.tasks.DeleteTask("\\Updater");
  EXPECT_EQ(TickAfter(200ms), Asked{});
  windows.tasks.AddTask("\\Updater", kTask);
  EXPECT_EQ(TickAfter(kSettling.quiet), Asked{});
  EXPECT_TRUE(host.log.empty());

  // A removal and a change that stay are asked once the place has been quiet for the settling time.
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Gone");
  Put("Moved", "C:\\Temp\\m.exe");
  EXPECT_EQ(TickAfter(0ms), Asked{});
  EXPECT_EQ(TickAfter(kSettling.quiet - 1ms), Asked{});
  EXPECT_EQ(TickAfter(1ms), (Asked{"Change Moved C:\\Temp\\m.exe", "Remove Gone C:\\Gone.exe"}));
  EXPECT_EQ(host.log, (Asked{"Change: Moved C:\\Temp\\m.exe", "Remove: Gone C:\\Gone.exe"}));

  // An addition is asked at once, and a removal read with it too.
  Put("New", "C:\\n.exe");
  windows.registry.Remove(RootKey::CurrentUser, kRunKey, "Moved");
  EXPECT_EQ(TickAfter(0ms), (Asked{"Add New C:\\n.exe", "Remove Moved C:\\Temp\\m.exe"}));
  EXPECT_FALSE(monitor.Settling());

  // A place that keeps changing is asked by the longest wait, with what it holds then.
  std::chrono::milliseconds waited{0};
  Asked asked;
  for (int round = 1; asked.empty() && waited < 2 * kSettling.longest; ++round) {
    Put("Busy", "C:\\Busy" + std::to_string(round) + ".exe");
    waited += 1s;
    asked = TickAfter(1s);
  }
  EXPECT_EQ(waited, kSettling.longest + 1s);  // the first change was read a second after the quiet tick
  EXPECT_EQ(asked, Asked{"Change Busy C:\\Busy11.exe"});

  // Nor does one undone for a moment now and then start its wait anew each time.
  const auto first = now + 1s;
  Asked flipped;
  for (int round = 0; flipped.empty() && round < 20; ++round) {
    Put("Busy", "C:\\Temp\\evil.exe");
    flipped = TickAfter(1s);
    if (!flipped.empty()) break;
    Put("Busy", "C:\\Busy11.exe");
    EXPECT_EQ(TickAfter(500ms), Asked{});
  }
  EXPECT_EQ(flipped, Asked{"Change Busy C:\\Temp\\evil.exe"});
  EXPECT_LE(now - first, kSettling.longest + 1s);
}

}  // namespace korvalis::app
