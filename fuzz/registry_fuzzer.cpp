// The registry reader on whatever the startup keys may hold: random value names (empty, up to the
// registry's limit, differing only in letter case), types and bytes (no NUL, odd sizes, huge
// sizes). The strict reading either succeeds or fails with korvalis::Error naming the first value
// that is not a string; the tolerant reading never throws. Both take in exactly the string values
// with a non-empty text, as the bytes up to the first NUL, in enumeration order.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "catalogue/Startups.h"
#include "platform/Error.h"
#include "platform/memory/MemoryWindows.h"

using namespace korvalis;
using catalogue::Section;
using platform::RootKey;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

constexpr Section kReadOrder[] = {7, 6, 5, 4, 9, 8};

struct Location {
  RootKey root;
  const char* path;
};
Location LocationOf(Section section) {
  static const char* const paths[] = {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
                                      "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce"};
  if (section >= 8) return {RootKey::CurrentUser, paths[section - 8]};
  return {RootKey::LocalMachine, paths[section - 4]};
}

bool IsString(std::uint32_t type) { return type == platform::kRegSz || type == platform::kRegExpandSz; }

std::string TextOf(const std::vector<std::uint8_t>& data) {
  if (data.empty()) return {};
  const char* begin = reinterpret_cast<const char*>(data.data());
  const void* nul = std::memchr(begin, 0, data.size());
  return std::string(begin, nul ? static_cast<const char*>(nul) : begin + data.size());
}

std::string Name(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: {
      // The system's value names never hold a NUL.
      std::string name = in.ConsumeRandomLengthString(40);
      for (char& c : name)
        if (c == '\0') c = 'N';
      return name;
    }
    case 1: {
      const auto size = in.ConsumeIntegralInRange<std::size_t>(platform::kMaxValueNameChars - 64,
                                                                platform::kMaxValueNameChars);
      std::string name(size, static_cast<char>(in.ConsumeIntegralInRange(1, 255)));
      name.back() = static_cast<char>(in.ConsumeIntegralInRange(1, 255));
      return name;
    }
    case 2: return std::string();  // the key's default value
    default: {
      static const char* const pool[] = {"Agent", "AGENT", "agent", "\xE9t\xE9", "\xC9T\xC9", "x.exe"};
      return pool[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
    }
  }
}

std::uint32_t Type(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
    case 1: return platform::kRegSz;
    case 2: return platform::kRegExpandSz;
    case 3: return in.ConsumeIntegralInRange<std::uint32_t>(0, 11);  // every type the registry names
    default: return in.ConsumeIntegral<std::uint32_t>();
  }
}

std::vector<std::uint8_t> Data(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: return {};
    case 1: {
      // Up to a megabyte of one byte with blanks between, and perhaps a NUL somewhere.
      const auto size = in.ConsumeIntegralInRange<std::size_t>(64 * 1024, 1024 * 1024);
      std::vector<std::uint8_t> data(size, in.ConsumeIntegralInRange<std::uint8_t>(1, 255));
      const auto stride = in.ConsumeIntegralInRange<std::size_t>(1, 64);
      for (std::size_t i = 0; i < size; i += stride) data[i] = ' ';
      if (in.ConsumeBool()) data[in.ConsumeIntegralInRange<std::size_t>(0, size - 1)] = 0;
      return data;
    }
    default: return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 300));
  }
}

struct Expected {
  std::string valueName;
  std::string command;
  Section section;
};

std::vector<const catalogue::TStartup*> RegistryEntries(const catalogue::TStartups& catalogue) {
  std::vector<const catalogue::TStartup*> entries;
  for (int i = 0; i < catalogue.Count(); ++i)
    if (catalogue::IsRegistrySection(catalogue.Items(i).GetSection())) entries.push_back(&catalogue.Items(i));
  return entries;
}

void RequireEntries(const catalogue::TStartups& catalogue, const std::vector<Expected>& expected, std::size_t count) {
  const auto entries = RegistryEntries(catalogue);
  Require(entries.size() == count);
  for (std::size_t i = 0; i < count; ++i) {
    Require(entries[i]->ValueName() == expected[i].valueName);
    Require(entries[i]->Command() == expected[i].command);
    Require(entries[i]->GetSection() == expected[i].section);
    Require(!entries[i]->Name().empty() || expected[i].valueName.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  platform::memory::MemoryWindows windows;
  for (int n = in.ConsumeIntegralInRange(0, 10); n > 0; --n) {
    const Location at = LocationOf(static_cast<Section>(in.ConsumeIntegralInRange(4, 9)));
    const std::string name = Name(in);
    const std::uint32_t type = Type(in);
    windows.registry.Put(at.root, at.path, name, type, Data(in));
  }
  const catalogue::SectionSet sections =
      in.ConsumeBool() ? catalogue::AllSections() : catalogue::SectionSet::FromBits(in.ConsumeIntegral<std::uint16_t>());

  // What both readings must take in, and the first value the strict one must stop at.
  std::vector<Expected> expected;
  std::vector<std::string> problems;
  std::size_t beforeFirstProblem = 0;
  for (Section section : kReadOrder) {
    if (!sections.Contains(section)) continue;
    const Location at = LocationOf(section);
    for (const auto& value : windows.registry.Values(at.root, at.path)) {
      if (value.data.empty()) continue;
      if (!IsString(value.type)) {
        if (problems.empty()) beforeFirstProblem = expected.size();
        problems.push_back(FormatText("Invalid data type for '%s'", value.name));
        continue;
      }
      const std::string text = TextOf(value.data);
      if (!text.empty()) expected.push_back(Expected{value.name, text, section});
    }
  }

  catalogue::TStartups strict(0, windows.platform());
  try {
    strict.LoadSections(sections);
    Require(problems.empty());
    RequireEntries(strict, expected, expected.size());
  } catch (const Error& error) {
    Require(!problems.empty() && problems.front() == error.what());
    RequireEntries(strict, expected, beforeFirstProblem);
  }

  catalogue::TStartups tolerant(0, windows.platform());
  catalogue::ReadProblems found;
  try {
    tolerant.LoadSections(sections, found);
  } catch (...) {
    std::abort();
  }
  Require(found.messages == problems);
  Require(found.unreadableNames.empty());
  RequireEntries(tolerant, expected, expected.size());
  // Each entry, looked up on its own, is the value's bytes up to the first NUL.
  for (const catalogue::TStartup* entry : RegistryEntries(tolerant)) {
    const Location at = LocationOf(entry->GetSection());
    const auto value = windows.registry.Get(at.root, at.path, entry->ValueName());
    Require(value.has_value() && IsString(value->type));
    Require(!entry->Command().empty() && entry->Command() == TextOf(value->data));
  }
  return 0;
}
