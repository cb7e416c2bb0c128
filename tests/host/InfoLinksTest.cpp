#include <gtest/gtest.h>

#include "dialogs/CommandText.h"
#include "dialogs/InfoLinks.h"

namespace korvalis::dialogs {

TEST(OnlineInfoAddress, PutsTheFilePartAndTheNameIntoTheSearchAddress) {
  EXPECT_EQ(OnlineInfoAddress("C:\\WINDOWS\\notepad.exe", "Notepad"),
            std::string(kOnlineInfoBase) + "search.php?filename=notepad.exe&title=Notepad");
}

TEST(OnlineInfoAddress, EncodesBlanksQuotesAndSeparatorsSoNothingBreaksOut) {
  EXPECT_EQ(OnlineInfoAddress("C:\\Tools\\tool.exe /x", "My Tool"),
            std::string(kOnlineInfoBase) + "search.php?filename=tool.exe%20%2Fx&title=My%20Tool");
  EXPECT_EQ(OnlineInfoAddress("\"C:\\Program Files\\Tool\\tool.exe\" -min", "A&B#c"),
            std::string(kOnlineInfoBase) + "search.php?filename=tool.exe%22%20-min&title=A%26B%23c");
}

TEST(PercentEncode, KeepsOnlyUnreservedCharacters) {
  EXPECT_EQ(PercentEncode("aZ09-._~"), "aZ09-._~");
  EXPECT_EQ(PercentEncode("\xe9\x01%+"), "%E9%01%25%2B");
  EXPECT_EQ(PercentEncode(""), "");
}

TEST(LocateFolderArgument, QuotesTheFolderOfTheCommandLine) {
  EXPECT_EQ(LocateFolderArgument("C:\\WINDOWS\\notepad.exe /p"), "\"C:\\WINDOWS\"");
  EXPECT_EQ(LocateFolderArgument("\"C:\\Program Files\\Tool\\tool.exe\" -min"), "\"C:\\Program Files\\Tool\"");
  EXPECT_EQ(LocateFolderArgument("C:\\tool.exe"), "\"C:\\\"");
  EXPECT_EQ(LocateFolderArgument("rundll32.exe shell32.dll,Control_RunDLL"), "");
}

TEST(LocateFolderArgument, ACommandLineCannotAddExplorerSwitches) {
  const std::string argument = LocateFolderArgument("x.exe /e,/root,\"\\\\server\\share\\y.exe");
  EXPECT_EQ(argument.front(), '"');
  EXPECT_EQ(argument.back(), '"');
  EXPECT_EQ(argument.find('"', 1), argument.size() - 1);  // one quoted argument, whatever it holds
}

TEST(ShownCommand, ALongCommandIsCutToWhatTheLabelHoldsNeverInsideACharacterOrAnEscape) {
  const std::string fits(kShownCommandAtMost, 'a');
  EXPECT_EQ(ShownCommand(fits), fits);
  EXPECT_FALSE(CommandIsCut(fits));
  const std::string huge = "C:\\x.exe " + std::string(1000000, 'b');
  EXPECT_EQ(ShownCommand(huge), huge.substr(0, kShownCommandAtMost) + "...");
  EXPECT_TRUE(CommandIsCut(huge));
  // A two-byte character across the limit goes whole; so does a control character's escape.
  const std::string accented = std::string(kShownCommandAtMost - 1, 'a') + "\xc3\xa9" + "tail";
  EXPECT_EQ(ShownCommand(accented), std::string(kShownCommandAtMost - 1, 'a') + "...");
  const std::string control = std::string(kShownCommandAtMost - 2, 'a') + '\n' + "tail";
  EXPECT_EQ(ShownCommand(control), std::string(kShownCommandAtMost - 2, 'a') + "...");
  EXPECT_EQ(ShownCommand(std::string("a\0b", 3)), "a\\0b");
}

}  // namespace korvalis::dialogs
