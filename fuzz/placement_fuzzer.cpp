// The stored placement texts on arbitrary bytes: the four numbers read from words separated by
// commas or blanks, the "(%dx%d)" resolution suffix, and the scrambling of stored values. Each
// result is checked against an oracle written from the text format, not from the code.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/PlacementText.h"
#include "shell/ScrambleText.h"

using namespace korvalis::shell;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ',' || c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// A valid integer: an optional sign and decimal digits, within 32 bits.
bool Integer(const std::string& word, std::int32_t& value) {
  std::size_t at = word[0] == '+' || word[0] == '-' ? 1 : 0;
  if (at == word.size()) return false;
  for (std::size_t i = at; i < word.size(); ++i)
    if (word[i] < '0' || word[i] > '9') return false;
  while (at + 1 < word.size() && word[at] == '0') ++at;
  if (word.size() - at > 10) return false;
  long long magnitude = std::stoll(word.substr(at));
  if (word[0] == '-') magnitude = -magnitude;
  if (magnitude < INT32_MIN || magnitude > INT32_MAX) return false;
  value = static_cast<std::int32_t>(magnitude);
  return true;
}

void CheckFourNumbers(const std::string& text, const FourNumbers& defaults) {
  const FourNumbers read = ReadFourNumbers(text, defaults);
  const std::vector<std::string> words = Words(text);
  for (std::size_t i = 0; i < 4; ++i) {
    std::int32_t value = 0;
    Require(read[i] == (i < words.size() && Integer(words[i], value) ? value : defaults[i]));
  }
}

void CheckFormatRoundTrip(const FourNumbers& numbers, const FourNumbers& defaults, const std::string& separator) {
  const std::string text = FormatFourNumbers(numbers);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%d,%d,%d,%d", numbers[0], numbers[1], numbers[2], numbers[3]);
  Require(text == expected);
  Require(ReadFourNumbers(text, defaults) == numbers);
  // Any run of commas and blanks separates the words alike.
  std::string spaced;
  for (char c : text) spaced += c == ',' ? separator : std::string(1, c);
  Require(ReadFourNumbers(separator + spaced + separator, defaults) == numbers);
}

void CheckSuffix(std::int32_t width, std::int32_t height) {
  const std::string suffix = ResolutionSuffix(width, height);
  char expected[32];
  std::snprintf(expected, sizeof expected, "(%dx%d)", width, height);
  Require(suffix == expected);
  int w = 0, h = 0, used = 0;
  Require(std::sscanf(suffix.c_str(), "(%dx%d)%n", &w, &h, &used) == 2 && w == width && h == height &&
          static_cast<std::size_t>(used) == suffix.size());
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

unsigned KeyAt(const std::string& key, std::size_t i) {
  return key.empty() ? 0u : static_cast<unsigned char>(key[i % key.size()]);
}

void CheckScramble(const std::string& key, const std::string& text) {
  const std::string scrambled = ScrambleText(key, text);
  Require(scrambled.size() == 2 * text.size());
  for (char c : scrambled) Require((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
  Require(UnscrambleText(key, scrambled) == text);

  // Any text read back: pairs of hexadecimal digits, 32 for a pair that is not, an odd last
  // character dropped.
  const std::string plain = UnscrambleText(key, text);
  Require(plain.size() == text.size() / 2);
  bool allHex = text.size() % 2 == 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const int high = Hex(text[2 * i]), low = Hex(text[2 * i + 1]);
    const unsigned pair = high < 0 || low < 0 ? 32u : static_cast<unsigned>(high * 16 + low);
    allHex = allHex && high >= 0 && low >= 0;
    Require(static_cast<unsigned char>(plain[i]) == ((pair ^ KeyAt(key, i)) & 0xFFu));
  }
  if (!allHex) return;
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  Require(ScrambleText(key, plain) == lower);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  FourNumbers numbers, defaults;
  for (auto& n : numbers) n = in.ConsumeIntegral<std::int32_t>();
  for (auto& n : defaults) n = in.ConsumeIntegral<std::int32_t>();
  static const char* const separators[] = {" ", ",", ", ", " ,, ", "  "};
  const std::string separator = separators[in.ConsumeIntegralInRange(0, 4)];
  const std::int32_t width = in.ConsumeIntegral<std::int32_t>();
  const std::int32_t height = in.ConsumeIntegral<std::int32_t>();
  const std::string key = in.ConsumeRandomLengthString(24);
  const std::string text = in.ConsumeRemainingBytesAsString();

  CheckFourNumbers(text, defaults);
  CheckFormatRoundTrip(numbers, defaults, separator);
  CheckSuffix(width, height);
  CheckScramble(key, text);
  return 0;
}
