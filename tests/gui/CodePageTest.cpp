// The window tests carry the program's own resources, its manifest among them, so they run in the
// code page the program runs in.
#include <windows.h>

#include <gtest/gtest.h>

TEST(ProgramCodePage, TheManifestMakesUtf8TheAnsiCodePageSoEveryNameFitsTheAFunctions) {
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
}
