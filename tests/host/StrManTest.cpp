#include <gtest/gtest.h>

#include "platform/Error.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"

namespace korvalis::text {

TEST(PosFrom, FindsFromTheStartPositionOnAndCountsInTheWholeText) {
  EXPECT_EQ(PosFrom(1, "abcabc", "bc"), 2u);
  EXPECT_EQ(PosFrom(3, "abcabc", "bc"), 5u);
  EXPECT_EQ(PosFrom(6, "abcabc", "bc"), 0u);
  EXPECT_EQ(PosFrom(7, "abcabc", "c"), 0u);  // beyond the end
  EXPECT_EQ(PosFrom(1, "abc", ""), 0u);
  EXPECT_EQ(PosFrom(1, "ABC", "b"), 0u);  // letter case counts
}

TEST(TextBetween, TakesTheTextBetweenTheMarkersWithoutThem) {
  EXPECT_EQ(TextBetween("C:\\x.exe /a /b", " ", ""), "/a /b");
  EXPECT_EQ(TextBetween(".exe /a", "", " "), ".exe");
  EXPECT_EQ(TextBetween("abc", "", ""), "abc");
  EXPECT_EQ(TextBetween("[a]b]", "[", "]"), "a");
}

TEST(TextBetween, AMissingStartMarkerGivesNothingAndAMissingEndMarkerRunsToTheEnd) {
  EXPECT_EQ(TextBetween("abc", "x", "c"), "");
  EXPECT_EQ(TextBetween("abc", "x", ""), "");
  EXPECT_EQ(TextBetween("a:bc", ":", "x"), "bc");
  // The end marker is searched only behind the start marker.
  EXPECT_EQ(TextBetween("\"a\"", "\"", "\""), "a");
  EXPECT_EQ(TextBetween("ab", "b", ""), "");
}

TEST(ReplaceAll, ReplacesEveryOccurrenceWithoutRescanningInsertedText) {
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(ReplaceAll("a,b,,c", ",", " "), "a b  c");
  EXPECT_EQ(ReplaceAll("abab", "ab", ""), "");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(ReplaceAll, IsCaseSensitive) {
  EXPECT_EQ(ReplaceAll("%systemroot%\\x", "%SystemRoot%", "C:\\W"), "%systemroot%\\x");
  EXPECT_EQ(ReplaceAll("%SystemRoot%\\x", "%SystemRoot%", "C:\\W"), "C:\\W\\x");
}

TEST(ReplaceAt, RemovesCountCharactersAndInsertsAtTheSamePlace) {
  EXPECT_EQ(ReplaceAt("abcdef", "XY", 2, 3), "aXYef");
  EXPECT_EQ(ReplaceAt("abc", "d", 4, 0), "abcd");
}

TEST(NextToken, CutsAtTheDelimiterAndConsumesIt) {
  Token t = NextToken("abc;def", ';');
  EXPECT_EQ(t.token, "abc");
  EXPECT_EQ(t.rest, "def");
  t = NextToken("a;", ';');
  EXPECT_EQ(t.token, "a");
  EXPECT_EQ(t.rest, "");
  t = NextToken("plain", ';');
  EXPECT_EQ(t.token, "plain");
  EXPECT_EQ(t.rest, "");
}

TEST(NextToken, ALeadingQuoteEndsTheTokenAtTheClosingQuoteOnly) {
  Token t = NextToken("\"C:\\A\";x", ';');
  EXPECT_EQ(t.token, "C:\\A");
  EXPECT_EQ(t.rest, ";x");
  t = NextToken(t.rest, ';');
  EXPECT_EQ(t.token, "");
  EXPECT_EQ(t.rest, "x");
  // Quotes do not protect delimiters, and an empty pair yields nothing.
  t = NextToken("\"a;b\"", ';');
  EXPECT_EQ(t.token, "a");
  t = NextToken("\"\"ab", ';');
  EXPECT_EQ(t.token, "ab");
}

TEST(NextToken, QuotesNotAtTheStartAreDropped) {
  const Token t = NextToken("a\"b\"c;d", ';');
  EXPECT_EQ(t.token, "abc");
  EXPECT_EQ(t.rest, "d");
}

TEST(SplitToList, AppendsTrimmedPiecesIncludingEmptyOnesWithoutClearing) {
  std::vector<std::string> list{"kept"};
  SplitToList(list, "a;;b", ';');
  EXPECT_EQ(list, (std::vector<std::string>{"kept", "a", "", "b"}));
  list.clear();
  SplitToList(list, "a;", ';');
  EXPECT_EQ(list, (std::vector<std::string>{"a"}));
  list.clear();
  SplitToList(list, ";a", ';');
  EXPECT_EQ(list, (std::vector<std::string>{"", "a"}));
  list.clear();
  SplitToList(list, "", ';');
  EXPECT_TRUE(list.empty());
  SplitToList(list, "  C:\\A \t;\"C:\\Program Files\"", ';');
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\A", "C:\\Program Files"}));
}

TEST(AsciiCase, OnlyTheLettersAToZAreFolded) {
  EXPECT_EQ(UpperAscii("agent.exe /q"), "AGENT.EXE /Q");
  EXPECT_EQ(UpperAscii("\xe9t\xe9"), "\xe9T\xe9");
  EXPECT_TRUE(SameTextAscii("Updater", "UPDATER"));
  EXPECT_FALSE(SameTextAscii("\xe9", "\xc9"));  // no locale folding above 127
  EXPECT_FALSE(SameTextAscii("a", "a "));
}

TEST(VisibleText, ANulAndOtherControlCharactersAreSpelledOutAndOrdinaryTextIsKept) {
  EXPECT_EQ(VisibleText(std::string("Hidden\0Payload", 14)), "Hidden\\0Payload");
  EXPECT_EQ(VisibleText(std::string("\0\0", 2)), "\\0\\0");
  EXPECT_EQ(VisibleText("a\tb\r\n\x1f"), "a\\x09b\\x0D\\x0A\\x1F");
  // A direction mark would show "Update\u202Etxt.exe" as "Updateexe.txt".
  EXPECT_EQ(VisibleText("Update\xE2\x80\xAEtxt.exe"), "Update\\u202Etxt.exe");
  EXPECT_EQ(VisibleText("\xE2\x81\xA6\xE2\x80\x8F\xD8\x9C"), "\\u2066\\u200F\\u061C");
  const std::string ordinary = "C:\\Tools\\upd.exe /q \"\xe9t\xe9\" ~\x7f";
  EXPECT_EQ(VisibleText(ordinary), ordinary);
  // Messages name the value the same way, whole.
  EXPECT_EQ(FormatText("Failed to delete value '%s'", std::string("Hidden\0Payload", 14)),
            "Failed to delete value 'Hidden\\0Payload'");
}

}  // namespace korvalis::text

#include "platform/Error.h"

namespace korvalis {

TEST(ErrorReportText, AddsAFullStopOnlyAfterACharacterThatSortsAfterIt) {
  EXPECT_EQ(ErrorReportText("Invalid data type for 'Logs'"), "Invalid data type for 'Logs'");  // ' sorts before .
  EXPECT_EQ(ErrorReportText("Unable to create .lnk file"), "Unable to create .lnk file.");
  EXPECT_EQ(ErrorReportText("Done."), "Done.");
  EXPECT_EQ(ErrorReportText("Really?"), "Really?.");  // '?' sorts after '.'
  EXPECT_EQ(ErrorReportText("Stop!"), "Stop!");       // '!' sorts before '.'
  EXPECT_EQ(ErrorReportText("Path C:\\x-"), "Path C:\\x-");  // '-' sorts before '.'
  EXPECT_EQ(ErrorReportText(""), "");
}

}  // namespace korvalis
