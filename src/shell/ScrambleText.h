#pragma once
// Stored values are kept unreadable at a glance: each character, combined with a repeating
// key by exclusive-or, becomes two lower-case hexadecimal digits.
#include <string>

namespace korvalis::shell {

std::string ScrambleText(const std::string& key, const std::string& text);

// Reads the text back in pairs; an odd last character is dropped and a pair that is not
// hexadecimal counts as 32.
std::string UnscrambleText(const std::string& key, const std::string& text);

}  // namespace korvalis::shell
