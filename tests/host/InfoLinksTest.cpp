#include <gtest/gtest.h>

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

}  // namespace korvalis::dialogs
