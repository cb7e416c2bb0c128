#pragma once
// The accepted state of every guarded place, kept in a file between runs, so that what changed
// while the program was not running can still be put to the user at the next start.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/EntryRecord.h"
#include "catalogue/Places.h"
#include "platform/Error.h"
#include "platform/Platform.h"

namespace korvalis::catalogue {
class TStartup;
class TStartups;
}

namespace korvalis::app {

// One accepted entry, and the signer of its program file when accepted (empty when not known).
struct TBaselineEntry : catalogue::TEntryRecord {
  std::string signer = {};

  bool operator==(const TBaselineEntry& other) const;
};

// An entry the user refused; if it comes back unchanged it is undone without asking again.
struct TRefusal {
  catalogue::Section section = 0;
  std::string valueName;
  std::string command;
  std::int64_t lastReported = 0;  // seconds
  // A refused file is the same only with the same content; empty for a registry value.
  std::uint64_t contentSize = 0;
  std::string contentHash = {};

  bool operator==(const TRefusal& other) const;
};

// Why bytes are no baseline of this program.
class TBaselineFormatError : public Error {
 public:
  enum class Reason { Damaged, OtherVersion };
  TBaselineFormatError(Reason reason, std::uint32_t version);
  Reason GetReason() const { return reason_; }
  // The version the file names; meaningful for OtherVersion.
  std::uint32_t Version() const { return version_; }

 private:
  Reason reason_;
  std::uint32_t version_;
};

struct TBaseline {
  static constexpr std::uint32_t kFormatVersion = 3;

  // The sections guarded when it was taken: a place guarded only now has nothing to compare with.
  catalogue::SectionSet places;
  std::vector<TBaselineEntry> entries;
  std::vector<TRefusal> refusals;

  // The catalogue's entries in its order; no refusals.
  // signerOf: the recorded signer of an entry's program file, if any.
  static TBaseline Of(const catalogue::TStartups& catalogue,
                      const std::function<std::string(const catalogue::TStartup&)>& signerOf = {});
  // Adds the entries to the catalogue, after those it holds.
  void FillCatalogue(catalogue::TStartups& catalogue) const;

  // The file names the registry view of the build that wrote it (in bits), so that a build of
  // the other view reads each place of the other view as its own twin.
  std::vector<std::uint8_t> Encode(std::uint8_t nativeViewBits = catalogue::kNativeViewBits) const;
  // The same bytes as Of(catalogue, signerOf) with these places and refusals, encoded, but
  // written from the catalogue's entries themselves: no second copy of every task definition.
  static std::vector<std::uint8_t> EncodeSnapshot(const catalogue::TStartups& catalogue,
                                                  const std::function<std::string(const catalogue::TStartup&)>& signerOf,
                                                  catalogue::SectionSet places, const std::vector<TRefusal>& refusals,
                                                  std::uint8_t nativeViewBits = catalogue::kNativeViewBits);
  // Fails with TBaselineFormatError; never trusts a length, a count or a file name it reads.
  static TBaseline Decode(const std::vector<std::uint8_t>& bytes,
                          std::uint8_t nativeViewBits = catalogue::kNativeViewBits);

  bool operator==(const TBaseline& other) const;
};

// CRC-32 (the reflected polynomial 0xEDB88320) of the first count bytes.
std::uint32_t Crc32(const std::vector<std::uint8_t>& bytes, std::size_t count);

// %LOCALAPPDATA%\Korvalis\baseline.dat; empty when there is no such folder.
std::string BaselinePath(platform::Environment& environment);

// Replaces the file whole, creating its folder. Fails with "Cannot save the stored baseline %s".
void SaveBaseline(const platform::Platform& platform, const TBaseline& baseline);
// The same, for a baseline encoded already (TBaseline::Encode).
void SaveEncodedBaseline(const platform::Platform& platform, const std::vector<std::uint8_t>& encoded);

struct TBaselineLoad {
  enum class State {
    None,      // no file: a first start, nothing to ask
    Loaded,    // baseline holds what the file says
    Unusable,  // message says why and where the file was put; a new baseline is to be taken
  };
  State state = State::None;
  TBaseline baseline;
  std::string message;
  std::string keptAs;  // where an unusable file was moved; empty when it could not be
};

// Waits between two attempts to read the file.
using BaselinePause = std::function<void(std::chrono::milliseconds)>;
void SleepFor(std::chrono::milliseconds duration);

// Never fails: an unusable file is moved aside (a taken name gets a number) and described in
// the result, for the caller to report once. A file that cannot be read is tried a few times
// first: at logon another program may hold it for a moment.
TBaselineLoad LoadBaseline(const platform::Platform& platform, const BaselinePause& pause = SleepFor);

}  // namespace korvalis::app
