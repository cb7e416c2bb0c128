#include <gtest/gtest.h>

#include "shell/ScrambleText.h"

namespace korvalis::shell {

TEST(ScrambleText, WithoutAKeyGivesTheCodesAsLowerCaseHexPairs) {
  EXPECT_EQ(ScrambleText("", "abc"), "616263");
  EXPECT_EQ(ScrambleText("", std::string("\xff\x0a", 2)), "ff0a");
  EXPECT_EQ(ScrambleText("", ""), "");
}

TEST(ScrambleText, TheKeyRepeatsOverTheText) {
  EXPECT_EQ(ScrambleText("ab", "aaa"), "000300");
  EXPECT_EQ(ScrambleText("K", "0"), "7b");
}

TEST(UnscrambleText, ReadsPairsDroppingAnOddLastCharacterAndTakingABadPairAsABlank) {
  EXPECT_EQ(UnscrambleText("", "616263"), "abc");
  EXPECT_EQ(UnscrambleText("", "6162636"), "abc");
  EXPECT_EQ(UnscrambleText("", "61zz62"), "a b");
  EXPECT_EQ(UnscrambleText("", "4A4b"), "JK");
  EXPECT_EQ(UnscrambleText("A", "zz"), "a");
}

TEST(UnscrambleText, UndoesScrambleTextForEveryCharacterCode) {
  std::string all;
  for (int code = 0; code < 256; ++code) all += static_cast<char>(code);
  const std::string key = "KwTrPmZeLoQvHs";
  const std::string scrambled = ScrambleText(key, all);
  EXPECT_EQ(scrambled.size(), 512u);
  EXPECT_EQ(scrambled.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(UnscrambleText(key, scrambled), all);
}

}  // namespace korvalis::shell
