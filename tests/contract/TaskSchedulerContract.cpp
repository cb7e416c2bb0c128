// The scheduled tasks as both worlds must answer: registered, listed with their definition,
// watched and deleted by path.
#include <algorithm>

#include "contract/Worlds.h"

namespace korvalis::contract {

using namespace platform;

namespace {
class TaskSchedulerContract : public ContractTest {};

const RegisteredTask* Listed(const std::vector<RegisteredTask>& tasks, const std::string& path) {
  const auto found = std::find_if(tasks.begin(), tasks.end(), [&](const RegisteredTask& task) { return task.path == path; });
  return found == tasks.end() ? nullptr : &*found;
}
}  // namespace

TEST_P(TaskSchedulerContract, ARegisteredTaskIsListedAndReadWholeByItsOwnNameUntilDeletedAndItsRegistrationIsNoticed) {
  TaskScheduler& tasks = platform().tasks;
  // In the root folder: Wine's notification on the Tasks folder misses what changes in a
  // subfolder that already exists. Named outside any ANSI code page, so a name that went
  // through one would come back as another.
  const std::string path = "\\KorvalisContract" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                           " \xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0 \xE2\x9C\x93";
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
      "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
      "<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>"
      "<Settings><Enabled>true</Enabled></Settings>"
      "<Actions Context=\"Author\"><Exec><Command>C:\\contract\\agent.exe</Command><Arguments>-q</Arguments></Exec></Actions>"
      "</Task>";
  std::unique_ptr<ChangeWatch> watch = tasks.Watch();
  ASSERT_TRUE(watch);
  EXPECT_FALSE(watch->Signaled());
  ASSERT_EQ(tasks.RegisterTask(path, xml), kSuccess);
  std::vector<RegisteredTask> listed;
  ASSERT_EQ(tasks.ListTasks(listed), kSuccess);
  const RegisteredTask* task = Listed(listed, path);
  ASSERT_NE(task, nullptr);
  // The definition comes back with what runs and when, whatever the system adds to it.
  EXPECT_NE(task->xml.find("<Command>C:\\contract\\agent.exe</Command>"), std::string::npos) << task->xml;
  EXPECT_NE(task->xml.find("LogonTrigger"), std::string::npos) << task->xml;
  EXPECT_TRUE(SignalsSoon(*watch));
  std::string read;
  ASSERT_EQ(tasks.ReadTask(path, read), kSuccess);
  EXPECT_NE(read.find("<Command>C:\\contract\\agent.exe</Command>"), std::string::npos) << read;

  EXPECT_EQ(tasks.DeleteTask(path), kSuccess);
  ASSERT_EQ(tasks.ListTasks(listed), kSuccess);
  EXPECT_EQ(Listed(listed, path), nullptr);
  EXPECT_EQ(tasks.DeleteTask(path), kErrorFileNotFound);
  EXPECT_EQ(tasks.ReadTask(path, read), kErrorFileNotFound);
}

KORVALIS_INSTANTIATE_CONTRACT(TaskSchedulerContract);

}  // namespace korvalis::contract
