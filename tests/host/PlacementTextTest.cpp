#include <gtest/gtest.h>

#include "shell/PlacementText.h"

namespace korvalis::shell {

TEST(PlacementText, FormatsTheResolutionSuffixAndFourNumbers) {
  EXPECT_EQ("NormPos" + ResolutionSuffix(1024, 768), "NormPos(1024x768)");
  EXPECT_EQ(FormatFourNumbers({-4, 0, 1280, 1024}), "-4,0,1280,1024");
}

TEST(PlacementText, ReadsWordsSeparatedByCommasOrBlanksKeepingDefaultsForMissingOrBadOnes) {
  const FourNumbers defaults{-1, -2, -3, -4};
  EXPECT_EQ(ReadFourNumbers("1,2,3,4", defaults), (FourNumbers{1, 2, 3, 4}));
  EXPECT_EQ(ReadFourNumbers(" 1 2,,3 , 4,5", defaults), (FourNumbers{1, 2, 3, 4}));
  EXPECT_EQ(ReadFourNumbers("7,8", defaults), (FourNumbers{7, 8, -3, -4}));
  EXPECT_EQ(ReadFourNumbers("x,8,1.5,9", defaults), (FourNumbers{-1, 8, -3, 9}));
  EXPECT_EQ(ReadFourNumbers("", defaults), defaults);
}

}  // namespace korvalis::shell
