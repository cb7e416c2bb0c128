#pragma once
// Text that may hold control characters, made fit to show and to log: a registry value's name
// can carry a NUL, which a window caption or a log line would otherwise cut or keep raw, and a
// direction mark can make "exe.txt" of "txt.exe" on screen.
#include <cstddef>
#include <string>

namespace korvalis::text {

// Each NUL becomes the two characters \0, every other character below 32 becomes \xNN (two
// upper-case hex digits), and each direction mark (U+061C, U+200E, U+200F, U+202A to U+202E,
// U+2066 to U+2069) becomes \uNNNN; everything else, other bytes above 127 included, is kept.
std::string VisibleText(const std::string& text);

// The bytes of the UTF-8 character at the position: as many as its first byte says, of those
// that continue it; a byte that begins none stands alone.
std::size_t CharacterLength(const std::string& text, std::size_t at);

}  // namespace korvalis::text
