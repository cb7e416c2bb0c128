#include <gtest/gtest.h>

#include "app/ElevatedCopy.h"
#include "app/ElevatedRequest.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::app {

namespace {

TRequestedEntry Entry(catalogue::Section section, const std::string& valueName, const std::string& command) {
  return TRequestedEntry{section, valueName, valueName, command, platform::kRegSz, 0, {}, 0, {}};
}

TElevatedRequest Undo(std::vector<TUndoOperation> undos) {
  TElevatedRequest request;
  request.undos = std::move(undos);
  return request;
}

std::string Refusal(const std::string& text) {
  try {
    ParseRequest(text);
  } catch (const TRequestRefused& error) {
    return error.what();
  }
  return "accepted";
}

}  // namespace

TEST(ElevatedRequestTest, OnlyAWholeRequestOfUndosAtMachinePlacesOfTheTableIsAccepted) {
  // Names and commands of any bytes survive the round trip, and so does data.
  TRequestedEntry winlogon = Entry(catalogue::kLocalMachineWinlogon, "Shell", "explorer.exe");
  winlogon.data = {'e', 0, '\n', ' '};
  const TElevatedRequest request =
      Undo({TUndoOperation{Entry(catalogue::kLocalMachineRun, std::string("Od\0d \n", 6), "C:\\p.exe /q"), false, true,
                           Entry(catalogue::kLocalMachineRun, std::string("Od\0d \n", 6), "C:\\p.exe /q")},
            TUndoOperation{winlogon, true, true, Entry(catalogue::kLocalMachineWinlogon, "Shell", "evil.exe")},
            TUndoOperation{Entry(catalogue::kLocalMachineRunOnceEx, "0001\\Depend\\x", "C:\\x.exe"), true, false, {}}});
  const std::string text = EncodeRequest(request);
  const TElevatedRequest parsed = ParseRequest(text);
  ASSERT_EQ(parsed.undos.size(), 3u);
  EXPECT_EQ(parsed.undos[0].writeBack, request.undos[0].writeBack);
  EXPECT_FALSE(parsed.undos[0].enabled);
  EXPECT_EQ(parsed.undos[1].writeBack, winlogon);
  EXPECT_EQ(parsed.undos[1].now, request.undos[1].now);
  EXPECT_FALSE(parsed.undos[2].hasNow);

  // Truncated anywhere.
  for (std::size_t size = 0; size < text.size(); ++size) EXPECT_NE(Refusal(text.substr(0, size)), "accepted") << size;
  // Oversized, in bytes or in entries.
  EXPECT_EQ(Refusal(text + std::string(kMaxRequestBytes, 'x')), "the request is too large");
  EXPECT_EQ(Refusal(EncodeRequest(Undo(std::vector<TUndoOperation>(kMaxUndosPerRequest + 1, request.undos[0])))),
            "the request holds too many entries");

  const auto undoOf = [](const TUndoOperation& undo) { return EncodeRequest(Undo({undo})); };
  const auto deletion = [&](catalogue::Section section, const std::string& valueName) {
    return undoOf(TUndoOperation{Entry(section, valueName, "C:\\p.exe"), false, true, Entry(section, valueName, "C:\\p.exe")});
  };
  const std::string place = "a place is not one an administrator may undo";
  EXPECT_EQ(Refusal(deletion(200, "x")), place);                                   // outside the table
  EXPECT_EQ(Refusal(deletion(catalogue::kCurrentUserRun, "x")), place);             // HKCU
  // The machine's Startup folder: a file by its name and content, never the user's folder, nor a path.
  TRequestedEntry file = Entry(catalogue::kLocalMachineStartupFolder, "x.lnk", "C:\\x.exe");
  file.contentSize = 5000000000u;
  file.contentHash = std::string(32, '\xab');
  const std::string files = undoOf(TUndoOperation{file, false, true, file});
  EXPECT_EQ(ParseRequest(files).undos[0].writeBack, file);
  EXPECT_EQ(Refusal(deletion(catalogue::kCurrentUserStartupFolder, "x.lnk")), place);
  for (const char* name : {"..\\x.lnk", "a\\x.lnk", "a/x.lnk", "C:x.lnk", "..x.lnk"})
    EXPECT_EQ(Refusal(deletion(catalogue::kLocalMachineStartupFolder, name)), "a value name climbs out of its place") << name;
  file.contentHash.pop_back();
  EXPECT_EQ(Refusal(undoOf(TUndoOperation{file, false, true, file})), "a file's content is malformed");
  std::string withContent = deletion(catalogue::kLocalMachineRun, "x");
  withContent.insert(withContent.find("\nend\n"), " 0 -");
  EXPECT_EQ(Refusal(withContent), "a deletion is malformed");  // a registry value carries no file content
  EXPECT_EQ(Refusal(deletion(catalogue::kLocalMachineRunOnceEx, "0001\\..\\..\\x")), "a value name climbs out of its place");
  std::string crafted = deletion(catalogue::kLocalMachineRun, "x");
  crafted.replace(crafted.find("delete 4"), 8, "delete 04");
  EXPECT_EQ(Refusal(crafted), "a number is malformed");
  EXPECT_EQ(Refusal(undoOf(TUndoOperation{Entry(4, "Run", "a.exe"), true, true, Entry(4, "Other", "b.exe")})),
            "a write-back names two values");

  // A value the row counts, on its own levels and named keys; a default value and ".." too.
  const std::string counts = "a value is not one its place counts";
  for (const char* name : {"Debugger", "a\\b\\Debugger", "a.exe\\Notify"})
    EXPECT_EQ(Refusal(deletion(40, name)), counts) << name;
  EXPECT_EQ(Refusal(deletion(catalogue::kLocalMachineWinlogon, "Notify")), counts);
  EXPECT_EQ(Refusal(deletion(78, "other\\shell\\open\\command\\")), counts);
  for (const auto& [section, name] : std::vector<std::pair<catalogue::Section, std::string>>{
           {catalogue::kLocalMachineRun, ".."}, {78, "exefile\\shell\\open\\command\\"},
           {40, "sethc.exe\\Debugger"}, {103, "\\Folder\\Task"},
           {102, "Evil"}, {102, "Shared\\Parameters\\ServiceDll"}}) {
    TRequestedEntry entry = Entry(section, name, "C:\\p.exe");
    entry.valueType = platform::kServiceAutoStart;
    EXPECT_EQ(Refusal(undoOf(TUndoOperation{entry, false, true, entry})), "accepted") << name;
  }
  for (const char* task : {"Task", "\\..\\Task", "\\Folder\\"})
    EXPECT_EQ(Refusal(deletion(103, task)), "a value name climbs out of its place") << task;
  EXPECT_EQ(Refusal(deletion(102, "Boot")), "a boot or system driver is not disabled as administrator");

  // Earlier data is written back only where what the place names starts with no more rights
  // than the user's: never a forged hijack, a service's binary, a file or a task.
  const std::string writes = "a write-back as administrator is not allowed at this place";
  for (const auto& [section, name] : std::vector<std::pair<catalogue::Section, std::string>>{
           {40, "sethc.exe\\Debugger"}, {102, "Evil"},
           {catalogue::kLocalMachineStartupFolder, "x.bat"}, {103, "\\Task"}, {65, "Security Packages"}}) {
    TRequestedEntry entry = Entry(section, name, "C:\\evil.exe");
    if (catalogue::IsFolderSection(section)) entry.contentHash = std::string(32, 'h');
    EXPECT_EQ(Refusal(undoOf(TUndoOperation{entry, true, false, {}})), writes) << name;
  }
  EXPECT_EQ(Refusal(undoOf(TUndoOperation{Entry(catalogue::kLocalMachineRun, "Old", "C:\\old.exe"), true, false, {}})),
            "accepted");

  // One verb only, and only the known ones.
  TElevatedRequest registration;
  registration.kind = TElevatedRequest::Kind::RegisterMessageFile;
  registration.messageFile = "C:\\Program Files\\Korvalis\\korvalis.exe";
  const std::string registers = EncodeRequest(registration);
  EXPECT_EQ(ParseRequest(registers).messageFile, registration.messageFile);
  const std::string registerLine = registers.substr(registers.find('\n') + 1, registers.find("end\n") - registers.find('\n') - 1);
  std::string twoVerbs = text;
  twoVerbs.insert(twoVerbs.find("end\n"), registerLine);
  EXPECT_EQ(Refusal(twoVerbs), "the request holds more than one verb");
  std::string twoVerbsTheOtherWay = registers;
  twoVerbsTheOtherWay.insert(twoVerbsTheOtherWay.find("end\n"), "undo\n");
  EXPECT_EQ(Refusal(twoVerbsTheOtherWay), "the request holds more than one verb");
  std::string otherVerb = text;
  otherVerb.replace(otherVerb.find("\nundo\n"), 6, "\nsettings\n");
  EXPECT_EQ(Refusal(otherVerb), "the request's verb is unknown");
  for (const char* file : {"C:\\Program Files\\..\\Windows\\evil.exe", "\\\\server\\share\\korvalis.exe", "C:\\k.dll"}) {
    registration.messageFile = file;
    EXPECT_NE(Refusal(EncodeRequest(registration)), "accepted") << file;
  }
  std::string withCr = text;
  withCr.insert(withCr.find('\n'), "\r");
  EXPECT_EQ(Refusal(withCr), "a line is malformed");

  // The elevated copy reads nothing from a path that climbs, nor through a junction, and answers
  // a refusal by its exit code alone, writing nothing beside the request.
  platform::memory::MemoryWindows windows;
  windows.files.AddFolder("C:\\Requests");
  windows.files.AddTextFile("C:\\Requests\\bad.request", twoVerbs);
  windows.files.AddTextFile("C:\\Requests\\Sub.request", text);
  windows.files.AddJunction("C:\\Linked", "C:\\Requests");
  int asked = 0;
  const ConfirmSteps confirm = [&](const std::vector<std::string>&, const std::string&) { return ++asked > 0; };
  for (const char* path : {"C:\\Requests\\..\\Requests\\Sub.request", "C:\\Requests\\bad.request",
                           "C:\\Linked\\Sub.request", "C:\\Requests\\Sub.txt"})
    EXPECT_EQ(RunElevatedRequest(windows.platform(), path, confirm), kElevatedRefused) << path;
  EXPECT_FALSE(windows.files.Exists("C:\\Requests\\bad.result"));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(RunElevatedRequest(windows.platform(), "C:\\Requests\\Sub.request", confirm), kElevatedAnswered);
  EXPECT_EQ(asked, 1);
}

}  // namespace korvalis::app
