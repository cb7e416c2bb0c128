#pragma once
// Seeded random value names and data of the kinds that trip registry readers: names that differ
// only in letter case, bytes above 127, names at the registry's length limit, data without a
// terminating NUL, with bytes after it, empty, huge, or of a type that is not a string.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/SystemCodes.h"

namespace korvalis::testing {

// mt19937_64's output is fixed by the standard, and the reductions below are our own, so a seed
// replays the same sequence with every standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(engine_() % n); }
  bool Chance(unsigned percent) { return Below(100) < percent; }
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }
  // An index drawn with the given weights.
  std::size_t Weighted(const std::vector<unsigned>& weights) {
    unsigned total = 0;
    for (unsigned w : weights) total += w;
    std::size_t draw = Below(total);
    for (std::size_t i = 0; i < weights.size(); ++i) {
      if (draw < weights[i]) return i;
      draw -= weights[i];
    }
    return weights.size() - 1;
  }

 private:
  std::mt19937_64 engine_;
};

class RegistryGenerator {
 public:
  explicit RegistryGenerator(Random& random) : random_(random) {}

  // A value name, now and then the empty name of the key's default value; never longer than the
  // registry allows.
  std::string Name() {
    static const std::vector<std::string> pool = {"Agent", "Updater", "Tray", "Sync", "a", "B", "Helper 2", "x.exe",
                                                  "\xE9t\xE9", "\xC9T\xC9", "na\xEFve", "\x80\xFF"};
    switch (random_.Weighted({50, 15, 15, 1, 4})) {
      case 0: return CaseVariant(random_.Pick(pool));
      case 4: return std::string();
      case 1: return Bytes(1 + random_.Below(12), 1, 255);
      case 2: return Bytes(1 + random_.Below(20), 32, 126);
      default: return LongName();
    }
  }

  // Exactly as long as the registry allows; two of them differ only in letter case or in their
  // last character.
  std::string LongName() {
    std::string name(platform::kMaxValueNameChars - 1, random_.Chance(50) ? 'l' : 'L');
    name += random_.Chance(50) ? 'x' : '1';
    return name;
  }

  // The same text with some ASCII letters in the other case.
  std::string CaseVariant(std::string text) {
    for (char& c : text) {
      if (!random_.Chance(40)) continue;
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
  }

  // A command line without NULs.
  std::string Command() {
    static const std::vector<std::string> pool = {"C:\\a.exe", "C:\\a.exe ", "\"C:\\Program Files\\x.exe\" -q",
                                                  "rundll32.exe shell32.dll,Control_RunDLL", "%SystemRoot%\\x.exe",
                                                  "c:\\\xE9.exe", "c:\\\xC9.exe", "notepad.exe", "'odd \"quotes"};
    switch (random_.Weighted({60, 20, 20})) {
      case 0: return CaseVariant(random_.Pick(pool));
      case 1: return Bytes(1 + random_.Below(40), 32, 126);
      default: return Bytes(1 + random_.Below(40), 1, 255);
    }
  }

  // A command of 32 to 96 KiB, blanks and commas among them: a random piece, repeated.
  std::string HugeCommand() {
    std::string piece = Bytes(61 + random_.Below(200), 32, 126);
    for (std::size_t i = 0; i < piece.size(); i += 1 + random_.Below(16)) piece[i] = random_.Chance(70) ? ' ' : ',';
    const std::size_t size = 32 * 1024 + random_.Below(64 * 1024);
    std::string text;
    text.reserve(size + piece.size());
    while (text.size() < size) text += piece;
    text.resize(size);
    return text;
  }

  // String data whose text up to the first NUL is the command.
  std::vector<std::uint8_t> StringData(const std::string& command) {
    std::vector<std::uint8_t> data(command.begin(), command.end());
    switch (random_.Weighted({70, 10, 10, 10})) {
      case 0: data.push_back(0); break;
      case 1: break;  // no terminating NUL
      case 2: {
        data.push_back(0);
        const std::string tail = Bytes(1 + random_.Below(8), 0, 255);
        data.insert(data.end(), tail.begin(), tail.end());
        break;
      }
      default: data.insert(data.end(), {0, 0}); break;
    }
    return data;
  }

  // Data that holds no command: no bytes at all, or a NUL first.
  std::vector<std::uint8_t> EmptyData() {
    switch (random_.Below(3)) {
      case 0: return {};
      case 1: return {0};
      default: {
        const std::string tail = Bytes(1 + random_.Below(6), 0, 255);
        std::vector<std::uint8_t> data{0};
        data.insert(data.end(), tail.begin(), tail.end());
        return data;
      }
    }
  }

  struct Typed {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };

  // A value of a type that is not a string; now and then with no data at all.
  Typed NonString() {
    static const std::vector<std::uint32_t> types = {platform::kRegDword, platform::kRegBinary, platform::kRegQword,
                                                     platform::kRegMultiSz, platform::kRegNone};
    const std::uint32_t type = random_.Pick(types);
    std::size_t size = type == platform::kRegDword ? 4 : type == platform::kRegQword ? 8 : 1 + random_.Below(24);
    if (random_.Chance(10)) size = 0;
    const std::string bytes = Bytes(size, 0, 255);
    return Typed{type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
  }

 private:
  std::string Bytes(std::size_t size, unsigned low, unsigned high) {
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>(low + random_.Below(high - low + 1));
    return text;
  }

  Random& random_;
};

}  // namespace korvalis::testing
