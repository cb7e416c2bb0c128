#include <gtest/gtest.h>

#include <chrono>

#include "catalogue/CommandLine.h"

namespace korvalis::catalogue {

namespace {

std::string Program(const std::string& command) {
  std::string programFile;
  DeriveProgramFile(command, programFile);
  return programFile;
}

struct Case {
  const char* command;
  const char* programFile;
};

}  // namespace

TEST(ExtractProgram, FindsTheProgramOfEveryKindOfCommandLine) {
  const Case cases[] = {
      {"C:\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\notepad.exe"},
      {"C:\\WINDOWS\\notepad.exe /p readme.txt", "C:\\WINDOWS\\notepad.exe"},
      {"\"C:\\Program Files\\Tool\\tool.exe\" -min", "C:\\Program Files\\Tool\\tool.exe"},
      {"C:\\Program Files\\Tool\\tool.exe -min", "C:\\Program Files\\Tool\\tool.exe"},
      {"C:\\Program Files\\Tool\\tool.exe", "C:\\Program Files\\Tool\\tool.exe"},
      {"rundll32.exe shell32.dll,Control_RunDLL desk.cpl", "shell32.dll"},
      {"C:\\WINDOWS\\rundll32.exe foo.dll,Entry", "C:\\WINDOWS\\rundll32.exe"},
      {"rundll32.exe foo.dll Entry", "rundll32.exe foo.dll Entry"},
      {"rundll32.exe \"C:\\x\\y.dll\",Entry", "rundll32.exe \"C:\\x\\y.dll\",Entry"},
      {"C:\\Tools\\run.bat,now", "C:\\Tools\\run.bat"},
      {"C:\\Tools\\run.cmd /x", "C:\\Tools\\run.cmd /x"},
      {"\"C:\\docs\\readme.txt\"", "\"C:\\docs\\readme.txt\""},
      {"tool.com ", "tool.com"},
      {"C:\\a,b\\x.exe -q", "C:\\a,b\\x.exe"},
      {"'C:\\Tools\\t.exe' /s", "C:\\Tools\\t.exe"},
      {"TOOL.Exe -x", "TOOL.Exe"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Program(c.command), c.programFile) << "command: " << c.command;
}

TEST(ExtractProgram, AnExtensionFollowedByAFolderIsNoExtension) {
  // C:\v1.exe\tool has no program extension: the dot is followed by a backslash.
  EXPECT_EQ(Program("C:\\v1.exe\\tool -x"), "C:\\v1.exe\\tool -x");
}

TEST(ExtractProgram, AnIncomingProgramFileStaysWhenTheTextHoldsNoProgramToken) {
  std::string programFile = "C:\\kept.exe";
  ExtractProgram("shell32.dll", programFile);
  EXPECT_EQ(programFile, "C:\\kept.exe");
  ExtractProgram("a.exe b", programFile);
  EXPECT_EQ(programFile, "a.exe");
}

TEST(ExtractProgram, AnEmptyChosenTokenFallsBackToTheWholeText) {
  std::string programFile;
  ExtractProgram("\"\" x", programFile);  // the empty quoted token has no program extension
  EXPECT_EQ(programFile, "\"\" x");
}

TEST(ExtractProgram, ALongCommandFullOfSeparatorsIsSplitInLinearTime) {
  // Every startup value is split at every tick, on the window thread: a value planted with a
  // quarter of a megabyte of blanks and commas must not stall the guard. Copying the growing
  // token at each separator took seconds here.
  std::string command;
  while (command.size() < 256 * 1024) command += "ab, ";
  const std::string program = command + "C:\\x.exe";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Program(program + " -q"), program);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(CommandProgramAndParams, SplitAShortcutCommandIntoTargetAndArguments) {
  EXPECT_EQ(CommandProgram("C:\\Program Files\\Tool\\tool.exe -min"), "C:\\Program Files\\Tool\\tool.exe");
  EXPECT_EQ(CommandParams("C:\\Program Files\\Tool\\tool.exe -min"), "-min");
  EXPECT_EQ(CommandProgram("\"C:\\a b\\x.exe\" /s"), "C:\\a b\\x.exe");
  EXPECT_EQ(CommandParams("\"C:\\a b\\x.exe\" /s"), " /s");
  EXPECT_EQ(CommandProgram("C:\\WINDOWS\\notepad.exe /p readme.txt"), "C:\\WINDOWS\\notepad.exe /p readme.txt");
  EXPECT_EQ(CommandParams("C:\\WINDOWS\\notepad.exe /p readme.txt"), "");
}

TEST(CommandProgramAndParams, CommandsWithoutAFullStopOrClosingQuoteGiveNothing) {
  for (const char* command : {"tool", "", "\"C:\\unclosed.exe -x", ".hidden"}) {
    EXPECT_EQ(CommandProgram(command), "") << command;
    EXPECT_EQ(CommandParams(command), "") << command;
  }
  EXPECT_EQ(CommandParams("\"\""), "");
  EXPECT_EQ(CommandProgram("'C:\\a b\\x.exe' -q"), "'C:\\a b\\x.exe'");  // single quotes are ordinary characters
}

}  // namespace korvalis::catalogue
