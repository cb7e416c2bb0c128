// The stored baseline's decoder on arbitrary bytes: it either refuses them with its own error or
// takes them in, and then they are exactly what encoding the result gives (the format has no
// slack, so anything else would be bytes it ignored). A baseline made from the input comes back
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
    Require(TBaseline::Decode(bytes).Encode() == bytes);
  } catch (const app::TBaselineFormatError&) {
  }
}

TBaseline Made(FuzzedDataProvider& in) {
  TBaseline baseline;
  for (int n = in.ConsumeIntegralInRange(0, 6); n > 0; --n) {
    app::TBaselineEntry entry;
    entry.section = in.ConsumeIntegralInRange<catalogue::Section>(0, catalogue::kSectionCount - 1);
    entry.name = in.ConsumeRandomLengthString(40);
    entry.valueName = in.ConsumeRandomLengthString(40);
    entry.command = "c" + in.ConsumeRandomLengthString(80);
    entry.valueType = in.ConsumeIntegral<std::uint32_t>();
    entry.iconIndex = in.ConsumeIntegral<std::int32_t>();
    entry.data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
    baseline.entries.push_back(std::move(entry));
  }
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) {
    app::TRefusal refusal;
    refusal.section = in.ConsumeIntegralInRange<catalogue::Section>(0, catalogue::kSectionCount - 1);
    refusal.valueName = in.ConsumeRandomLengthString(40);
    refusal.command = in.ConsumeRandomLengthString(80);
    refusal.lastReported = in.ConsumeIntegral<std::int64_t>();
    baseline.refusals.push_back(std::move(refusal));
  }
  return baseline;
}

void CheckMadeBaseline(FuzzedDataProvider& in) {
  const TBaseline baseline = Made(in);
  const std::vector<std::uint8_t> bytes = baseline.Encode();
  Require(TBaseline::Decode(bytes) == baseline);
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
