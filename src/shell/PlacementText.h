#pragma once
// The text forms of stored positions: four numbers "%d,%d,%d,%d", and the "(%dx%d)" suffix
// that ties a value name to the screen resolution it was saved at.
#include <array>
#include <cstdint>
#include <string>

namespace korvalis::shell {

using FourNumbers = std::array<std::int32_t, 4>;

std::string ResolutionSuffix(std::int32_t width, std::int32_t height);

std::string FormatFourNumbers(const FourNumbers& numbers);

// Words are separated by commas or blanks; the first four are read as decimal integers, and a
// missing or invalid word keeps its default.
FourNumbers ReadFourNumbers(const std::string& text, const FourNumbers& defaults);

}  // namespace korvalis::shell
