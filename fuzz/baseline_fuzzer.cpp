// The stored baseline's decoder on arbitrary bytes: it either refuses them with its own error or
// takes them in, and then a file of the current version is exactly what encoding the result
// for the view it names gives (the format has no slack, so anything else would be bytes it
// ignored); a file of the first version takes the current format on encoding. A baseline made from the input comes back
// equal, and any single changed byte of its file is refused.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Baseline.h"

using namespace korvalis;
using app::TBaseline;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Refused(const std::vector<std::uint8_t>& bytes) {
  try {
    TBaseline::Decode(bytes);
    return false;
  } catch (const app::TBaselineFormatError&) {
    return true;
  }
}

void CheckArbitraryBytes(const std::vector<std::uint8_t>& bytes) {
  try {
    const std::uint8_t view = bytes.size() > 8 ? bytes[8] : 0;
    const TBaseline decoded = TBaseline::Decode(bytes, view == 32 ? 32 : 64);
    if (bytes[4] == TBaseline::kFormatVersion) Require(decoded.Encode(view) == bytes);
    Require(TBaseline::Decode(decoded.Encode()) == decoded);
  } catch (const app::TBaselineFormatError&) {
  }
}

// A section some place has.
catalogue::Section AnySection(FuzzedDataProvider& in) {
  const std::vector<catalogue::Section>& sections = catalogue::ReadOrder(true);
  return sections[in.ConsumeIntegralInRange<std::size_t>(0, sections.size() - 1)];
}

// A file name for a startup folder's section; any name for a registry value.
std::string ValueName(FuzzedDataProvider& in, catalogue::Section section) {
  std::string name = in.ConsumeRandomLengthString(40);
  if (!catalogue::IsFolderSection(section)) return name;
  for (char& c : name)
    if (c == '\\' || c == '/' || c == ':' || c == '.') c = '_';
  return name + ".lnk";
}

std::string Hash(FuzzedDataProvider& in) { return in.ConsumeBool() ? in.ConsumeBytesAsString(32) : std::string(); }

TBaseline Made(FuzzedDataProvider& in) {
  TBaseline baseline;
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) baseline.places = baseline.places.With(AnySection(in));
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) {
    app::TBaselineEntry entry;
    entry.section = AnySection(in);
    entry.name = in.ConsumeRandomLengthString(40);
    entry.valueName = ValueName(in, entry.section);
    entry.command = "c" + in.ConsumeRandomLengthString(80);
    entry.valueType = in.ConsumeIntegral<std::uint32_t>();
    entry.iconIndex = in.ConsumeIntegral<std::int32_t>();
    entry.data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
    entry.contentSize = in.ConsumeIntegral<std::uint64_t>();
    entry.contentHash = Hash(in);
    if (entry.contentHash.size() % 32 != 0) entry.contentHash.clear();
    baseline.entries.push_back(std::move(entry));
  }
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    app::TRefusal refusal;
    refusal.section = AnySection(in);
    refusal.valueName = ValueName(in, refusal.section);
    refusal.command = in.ConsumeRandomLengthString(80);
    refusal.lastReported = in.ConsumeIntegral<std::int64_t>();
    refusal.contentSize = in.ConsumeIntegral<std::uint64_t>();
    refusal.contentHash = Hash(in);
    if (refusal.contentHash.size() % 32 != 0) refusal.contentHash.clear();
    baseline.refusals.push_back(std::move(refusal));
  }
  return baseline;
}

void CheckMadeBaseline(FuzzedDataProvider& in) {
  const TBaseline baseline = Made(in);
  const std::vector<std::uint8_t> bytes = baseline.Encode();
  Require(TBaseline::Decode(bytes) == baseline);
  // The other build reads every place of the other view as its twin, and writes it back so.
  const TBaseline otherBuild = TBaseline::Decode(bytes, catalogue::kNativeViewBits == 64 ? 32 : 64);
  Require(TBaseline::Decode(otherBuild.Encode(catalogue::kNativeViewBits == 64 ? 32 : 64)) == baseline);
  std::vector<std::uint8_t> changed = bytes;
  changed[in.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1)] ^= in.ConsumeIntegralInRange(1, 255);
  Require(Refused(changed));  // a CRC-32 misses no change within 32 bits
  Refused(std::vector<std::uint8_t>(bytes.begin(), bytes.end() - in.ConsumeIntegralInRange<std::size_t>(1, 8)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckArbitraryBytes(std::vector<std::uint8_t>(data, data + size));
  FuzzedDataProvider in(data, size);
  CheckMadeBaseline(in);
  return 0;
}
