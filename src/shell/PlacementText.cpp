#include "shell/PlacementText.h"

#include <vector>

#include "platform/RegistrySettings.h"

namespace korvalis::shell {

namespace {

bool IsWordSeparator(char c) { return c == ',' || c == ' '; }

// Runs of separators count as one, as when words are extracted from a sentence.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsWordSeparator(text[at])) ++at;
    const std::size_t start = at;
    while (at < text.size() && !IsWordSeparator(text[at])) ++at;
    if (at > start) words.push_back(text.substr(start, at - start));
  }
  return words;
}

}  // namespace

std::string ResolutionSuffix(std::int32_t width, std::int32_t height) {
  return "(" + std::to_string(width) + "x" + std::to_string(height) + ")";
}

std::string FormatFourNumbers(const FourNumbers& numbers) {
  return std::to_string(numbers[0]) + "," + std::to_string(numbers[1]) + "," + std::to_string(numbers[2]) + "," +
         std::to_string(numbers[3]);
}

FourNumbers ReadFourNumbers(const std::string& text, const FourNumbers& defaults) {
  FourNumbers numbers = defaults;
  const std::vector<std::string> words = Words(text);
  for (std::size_t i = 0; i < numbers.size() && i < words.size(); ++i) {
    std::int32_t value = 0;
    if (platform::ParseInteger(words[i], value)) numbers[i] = value;
  }
  return numbers;
}

}  // namespace korvalis::shell
