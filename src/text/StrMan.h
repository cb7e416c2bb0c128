#pragma once
// Text search, splitting and replacing on 8-bit text. Positions count from 1; 0 means none.
#include <cstddef>
#include <string>
#include <vector>

namespace korvalis::text {

// Position of the first occurrence of search starting at or after start; 0 when there is
// none, when start lies beyond the end, or when search is empty.
std::size_t PosFrom(std::size_t start, const std::string& text, const std::string& search);

// The text between the first start marker and the next end marker, both excluded.
std::string TextBetween(const std::string& text, const std::string& startMarker, const std::string& endMarker);

// Removes count characters at position and puts newText there.
std::string ReplaceAt(const std::string& text, const std::string& newText, std::size_t position, std::size_t count);

// Replaces every occurrence, never searching the inserted text again.
std::string ReplaceAll(const std::string& text, const std::string& search, const std::string& replacement);

struct Token {
  std::string token;
  std::string rest;
};

// Cuts the first token off at the delimiter; a leading double quote starts a quoted token.
Token NextToken(const std::string& text, char delimiter);

// Appends the trimmed tokens of the text to the list (empty ones included), without clearing it.
void SplitToList(std::vector<std::string>& list, const std::string& text, char delimiter);
// Every part between delimiters, empty ones too, and no trimming: "a\\b" is "a", "", "b".
std::vector<std::string> SplitExactly(const std::string& text, char delimiter);
// Whether a segment of the backslash path climbs out of where it starts ("." or ".."), or is empty.
bool ClimbsOrIsEmpty(const std::string& path);

// Without leading and trailing characters whose code is 32 or less.
std::string TrimControl(const std::string& text);

// Only the letters a to z become A to Z; no locale is consulted.
std::string UpperAscii(const std::string& text);

// Same length and equal after UpperAscii.
bool SameTextAscii(const std::string& a, const std::string& b);

}  // namespace korvalis::text
