#include "app/Baseline.h"

#include <array>
#include <limits>
#include <optional>
#include <thread>

#include "catalogue/Startups.h"
#include "catalogue/TaskDefinition.h"
#include "platform/Sha256.h"
#include "text/Fileman.h"

namespace korvalis::app {

// The file: "KVBL", u32 version 2, u8 the writer's native registry view in bits (64 or 32),
// u32 count of the guarded sections and a u8 each (ascending), u32 entry count, the entries,
// u32 refusal count, the refusals, and last a u32 CRC-32 of everything before it. Integers are
// little-endian; texts and bytes are a u32 length and the bytes.
//   entry:   u8 section, u32 value type, i32 icon index, name, value name, command, data,
//            u64 content size, content hash (0 or 32 bytes)
//   refusal: u8 section, i64 last reported, value name, command, u64 content size, content hash
// Version 1 had no view, the guarded sections as u32 bits, and no content fields; it is read
// as written by a build of the reader's own view.
// Every version keeps the magic, the version and the closing checksum where they are, so that
// a file of another version is told apart from a damaged one.

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'V', 'B', 'L'};
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kChecksumSize = 4;
constexpr std::uint32_t kFirstVersion = 1;
constexpr std::uint32_t kContentVersion = 2;  // before the signers were recorded
constexpr std::size_t kMinEntrySize = 1 + 4 + 4 + 4 * 4;
constexpr std::size_t kMinRefusalSize = 1 + 8 + 2 * 4;
constexpr std::size_t kContentSize = 8 + 4;
constexpr std::size_t kHashSize = 32;
constexpr int kMaxSameName = 1000;
constexpr int kReadAttempts = 3;
constexpr std::chrono::milliseconds kReadPause{200};

class Writer {
 public:
  void Bytes(const std::uint8_t* data, std::size_t size) { out_.insert(out_.end(), data, data + size); }
  void U8(std::uint8_t value) { out_.push_back(value); }
  void U32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  void U64(std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) out_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  void Length(std::size_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max()) throw Error("An entry is too large for the stored baseline");
    U32(static_cast<std::uint32_t>(size));
  }
  void Text(const std::string& text) {
    Length(text.size());
    out_.insert(out_.end(), text.begin(), text.end());
  }
  void Data(const std::vector<std::uint8_t>& data) {
    Length(data.size());
    Bytes(data.data(), data.size());
  }
  std::vector<std::uint8_t>& Out() { return out_; }

 private:
  std::vector<std::uint8_t> out_;
};

[[noreturn]] void Damaged() { throw TBaselineFormatError(TBaselineFormatError::Reason::Damaged, 0); }

// Reads within [at, end) only; running past end is damage, never an access.
class Reader {
 public:
  Reader(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t end)
      : bytes_(bytes), at_(at), end_(end) {}
  std::size_t Left() const { return end_ - at_; }
  std::uint8_t U8() {
    Need(1);
    return bytes_[at_++];
  }
  std::uint32_t U32() {
    Need(4);
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= static_cast<std::uint32_t>(bytes_[at_++]) << shift;
    return value;
  }
  std::uint64_t U64() {
    Need(8);
    std::uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 8) value |= static_cast<std::uint64_t>(bytes_[at_++]) << shift;
    return value;
  }
  std::string Text() {
    const std::size_t size = U32();
    Need(size);
    std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                     bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
    at_ += size;
    return text;
  }
  std::vector<std::uint8_t> Data() {
    const std::size_t size = U32();
    Need(size);
    std::vector<std::uint8_t> data(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                                   bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
    at_ += size;
    return data;
  }
  // A count that the bytes left cannot hold is damage, found before anything is made for it.
  std::uint32_t Count(std::size_t minRecordSize) {
    const std::uint32_t count = U32();
    if (count > Left() / minRecordSize) Damaged();
    return count;
  }

 private:
  void Need(std::size_t size) const {
    if (size > Left()) Damaged();
  }
  const std::vector<std::uint8_t>& bytes_;
  std::size_t at_;
  std::size_t end_;
};

catalogue::Section ReadSection(Reader& in) {
  const catalogue::Section section = in.U8();
  if (!catalogue::PlaceOf(section)) Damaged();
  return section;
}

// A startup folder's entry names a file in the folder, never a path out of it.
void CheckFileName(catalogue::Section section, const std::string& fileName) {
  if (!catalogue::IsFolderSection(section)) return;
  const catalogue::TPlace& place = *catalogue::PlaceOf(section);
  if (place.Kind().NameFits(place, fileName) != catalogue::NameFit::Fits) Damaged();
}

void WriteContent(Writer& out, std::uint64_t size, const std::string& hash) {
  out.U64(size);
  out.Text(hash);
}

void ReadContent(Reader& in, std::uint64_t& size, std::string& hash) {
  size = in.U64();
  hash = in.Text();
  if (!hash.empty() && hash.size() != kHashSize) Damaged();
}

// The sections of a file written by a build of the other registry view, as this build numbers them.
class ViewSwap {
 public:
  ViewSwap(std::uint8_t writerBits, std::uint8_t readerBits) : swap_(writerBits != readerBits) {}
  catalogue::Section operator()(catalogue::Section section) const {
    if (!swap_) return section;
    const catalogue::TPlace* place = catalogue::PlaceOf(section);
    return place && place->twin ? *place->twin : section;
  }

 private:
  bool swap_;
};

std::string Pattern(const TBaselineFormatError& error) {
  if (error.GetReason() == TBaselineFormatError::Reason::Damaged) return "The stored baseline %s is damaged";
  return FormatText("The stored baseline %s was written in another format (version %d)",
                    static_cast<long long>(error.Version()));
}

// The file moved to "<path><suffix>", or "<path><suffix>.<n>" when that is taken; empty when
// it could not be moved at all.
std::string MoveAside(platform::FileSystem& files, const std::string& path, const std::string& suffix) {
  for (int n = 1; n <= kMaxSameName; ++n) {
    const std::string target = path + suffix + (n == 1 ? std::string() : "." + std::to_string(n));
    if (files.IsFile(target)) continue;
    return files.MoveFileTo(path, target) ? target : std::string();
  }
  return std::string();
}

}  // namespace

TBaselineFormatError::TBaselineFormatError(Reason reason, std::uint32_t version)
    : Error(reason == Reason::Damaged
                ? "The stored baseline is damaged"
                : FormatText("The stored baseline is of format version %d", static_cast<long long>(version))),
      reason_(reason),
      version_(version) {}

bool TBaselineEntry::operator==(const TBaselineEntry& other) const {
  return catalogue::TEntryRecord::operator==(other) && signer == other.signer;
}

bool TRefusal::operator==(const TRefusal& other) const {
  return section == other.section && valueName == other.valueName && command == other.command &&
         lastReported == other.lastReported && contentSize == other.contentSize &&
         contentHash == other.contentHash;
}

bool TBaseline::operator==(const TBaseline& other) const {
  return places == other.places && entries == other.entries && refusals == other.refusals;
}

std::uint32_t Crc32(const std::vector<std::uint8_t>& bytes, std::size_t count) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> made{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = c & 1u ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      made[i] = c;
    }
    return made;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count && i < bytes.size(); ++i) crc = table[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

TBaseline TBaseline::Of(const catalogue::TStartups& catalogue,
                        const std::function<std::string(const catalogue::TStartup&)>& signerOf) {
  TBaseline baseline;
  for (int i = 0; i < catalogue.Count(); ++i) {
    const catalogue::TStartup& entry = catalogue.Items(i);
    baseline.entries.push_back(TBaselineEntry{entry.Record(), signerOf ? signerOf(entry) : std::string()});
  }
  return baseline;
}

void TBaseline::FillCatalogue(catalogue::TStartups& catalogue) const {
  std::optional<std::string> user;  // asked for the first task
  for (const TBaselineEntry& record : entries) {
    const catalogue::TPlace* place = catalogue::PlaceOf(record.section);
    catalogue::TStartup* entry = nullptr;
    if (place && place->Kind().DefinedByData() && !record.data.empty()) {
      // An earlier build left out as whom a task runs: said now, it is the same task.
      if (!user && !catalogue.Platform().environment.UserName(catalogue::kMaxUserNameChars, user.emplace())) user->clear();
      catalogue::TEntryRecord told = record;
      told.command = catalogue::StoredTaskCommand(record.command, std::string(record.data.begin(), record.data.end()), *user);
      entry = catalogue.AddRecord(told);
    } else {
      entry = catalogue.AddRecord(record);
    }
    if (!entry) continue;  // no command; Decode lets none through
    // Stored without its content fields, a folder entry's data is the file's bytes.
    if (record.contentHash.empty() && catalogue::IsFolderSection(record.section))
      entry->SetContent(record.data.size(), platform::Sha256Of(record.data));
  }
}

namespace {

// One entry as stored, whether it comes from a baseline or straight from the snapshot.
void WriteEntry(Writer& out, const catalogue::TEntryRecord& entry, const std::string& signer) {
  out.U8(entry.section);
  out.U32(entry.valueType);
  out.U32(static_cast<std::uint32_t>(entry.iconIndex));
  out.Text(entry.name);
  out.Text(entry.valueName.Text());
  out.Text(entry.command);
  out.Data(entry.data);
  WriteContent(out, entry.contentSize, entry.contentHash);
  out.Text(signer);
}

std::vector<std::uint8_t> EncodeWith(catalogue::SectionSet places, std::size_t entryCount,
                                     const std::function<void(Writer&)>& writeEntries,
                                     const std::vector<TRefusal>& refusals, std::uint8_t nativeViewBits) {
  Writer out;
  out.Bytes(kMagic.data(), kMagic.size());
  out.U32(TBaseline::kFormatVersion);
  out.U8(nativeViewBits);
  std::vector<catalogue::Section> guarded;
  for (int section = 0; section < catalogue::kSectionCount; ++section)
    if (places.Contains(static_cast<catalogue::Section>(section))) guarded.push_back(static_cast<catalogue::Section>(section));
  out.Length(guarded.size());
  for (const catalogue::Section section : guarded) out.U8(section);
  out.Length(entryCount);
  writeEntries(out);
  out.Length(refusals.size());
  for (const TRefusal& refusal : refusals) {
    out.U8(refusal.section);
    out.U64(static_cast<std::uint64_t>(refusal.lastReported));
    out.Text(refusal.valueName);
    out.Text(refusal.command);
    WriteContent(out, refusal.contentSize, refusal.contentHash);
  }
  std::vector<std::uint8_t>& bytes = out.Out();
  out.U32(Crc32(bytes, bytes.size()));
  return std::move(bytes);
}

}  // namespace

std::vector<std::uint8_t> TBaseline::Encode(std::uint8_t nativeViewBits) const {
  return EncodeWith(
      places, entries.size(),
      [&](Writer& out) {
        for (const TBaselineEntry& entry : entries)
          WriteEntry(out, entry, entry.signer);
      },
      refusals, nativeViewBits);
}

std::vector<std::uint8_t> TBaseline::EncodeSnapshot(const catalogue::TStartups& catalogue,
                                                    const std::function<std::string(const catalogue::TStartup&)>& signerOf,
                                                    catalogue::SectionSet places, const std::vector<TRefusal>& refusals,
                                                    std::uint8_t nativeViewBits) {
  return EncodeWith(
      places, static_cast<std::size_t>(catalogue.Count()),
      [&](Writer& out) {
        for (int i = 0; i < catalogue.Count(); ++i) {
          const catalogue::TStartup& entry = catalogue.Items(i);
          WriteEntry(out, entry.Record(), signerOf ? signerOf(entry) : std::string());
        }
      },
      refusals, nativeViewBits);
}

namespace {

TBaselineEntry ReadEntry(Reader& in, const ViewSwap& swap, bool withContent, bool withSigner) {
  TBaselineEntry entry;
  entry.section = swap(ReadSection(in));
  entry.valueType = in.U32();
  entry.iconIndex = static_cast<std::int32_t>(in.U32());
  entry.name = in.Text();
  const catalogue::TPlace& place = *catalogue::PlaceOf(entry.section);
  entry.valueName = place.Kind().KeyOf(place, in.Text());
  entry.command = in.Text();
  entry.data = in.Data();
  if (withContent) ReadContent(in, entry.contentSize, entry.contentHash);
  if (withSigner) entry.signer = in.Text();
  if (entry.command.empty()) Damaged();
  // With no value name the writer names the file after the entry.
  CheckFileName(entry.section, entry.valueName.empty() ? entry.name : entry.valueName.Text());
  return entry;
}

TRefusal ReadRefusal(Reader& in, const ViewSwap& swap, bool withContent) {
  TRefusal refusal;
  refusal.section = swap(ReadSection(in));
  refusal.lastReported = static_cast<std::int64_t>(in.U64());
  refusal.valueName = in.Text();
  refusal.command = in.Text();
  if (withContent) ReadContent(in, refusal.contentSize, refusal.contentHash);
  CheckFileName(refusal.section, refusal.valueName);
  return refusal;
}

}  // namespace

TBaseline TBaseline::Decode(const std::vector<std::uint8_t>& bytes, std::uint8_t nativeViewBits) {
  if (bytes.size() < kHeaderSize + kChecksumSize) Damaged();
  for (std::size_t i = 0; i < kMagic.size(); ++i)
    if (bytes[i] != kMagic[i]) Damaged();
  const std::size_t end = bytes.size() - kChecksumSize;
  Reader checksum(bytes, end, bytes.size());
  if (checksum.U32() != Crc32(bytes, end)) Damaged();

  Reader in(bytes, kMagic.size(), end);
  const std::uint32_t version = in.U32();
  if (version != kFormatVersion && version != kContentVersion && version != kFirstVersion)
    throw TBaselineFormatError(TBaselineFormatError::Reason::OtherVersion, version);
  const bool withContent = version != kFirstVersion;
  const bool withSigner = version == kFormatVersion;

  TBaseline baseline;
  const std::uint8_t writerBits = withContent ? in.U8() : nativeViewBits;
  if (writerBits != 64 && writerBits != 32) Damaged();
  const ViewSwap swap(writerBits, nativeViewBits);
  if (withContent) {
    int last = -1;
    for (std::uint32_t n = in.Count(1); n > 0; --n) {
      const catalogue::Section section = ReadSection(in);
      if (section <= last) Damaged();  // one way to write a set, so a file has no slack
      last = section;
      baseline.places = baseline.places.With(swap(section));
    }
  } else {
    baseline.places = catalogue::SectionSet::FromBits(in.U32());
  }
  for (std::uint32_t n = in.Count(kMinEntrySize + (withContent ? kContentSize : 0) + (withSigner ? 4 : 0)); n > 0; --n)
    baseline.entries.push_back(ReadEntry(in, swap, withContent, withSigner));
  for (std::uint32_t n = in.Count(kMinRefusalSize + (withContent ? kContentSize : 0)); n > 0; --n)
    baseline.refusals.push_back(ReadRefusal(in, swap, withContent));
  if (in.Left() != 0) Damaged();
  // A first-version file's bits name sections 0 to 31 only: a later place was guarded if it has
  // entries. The current version lists every guarded place itself.
  if (!withContent)
    for (const TBaselineEntry& entry : baseline.entries)
      if (entry.section >= 32) baseline.places = baseline.places.With(entry.section);
  return baseline;
}

std::string BaselinePath(platform::Environment& environment) {
  const std::string base = environment.LocalAppDataFolder();
  return base.empty() ? std::string() : text::JoinPath(text::JoinPath(base, "Korvalis"), "baseline.dat");
}

void SaveBaseline(const platform::Platform& platform, const TBaseline& baseline) {
  SaveEncodedBaseline(platform, baseline.Encode());
}

void SaveEncodedBaseline(const platform::Platform& platform, const std::vector<std::uint8_t>& encoded) {
  const std::string path = BaselinePath(platform.environment);
  const Error failure(FormatText("Cannot save the stored baseline %s", path));
  if (path.empty() || !platform.files.CreateFolders(text::FileDir(path))) throw failure;
  if (!platform.files.WriteFileAtomically(path, encoded)) throw failure;
}

void SleepFor(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

TBaselineLoad LoadBaseline(const platform::Platform& platform, const BaselinePause& pause) {
  TBaselineLoad load;
  const std::string path = BaselinePath(platform.environment);
  if (path.empty() || !platform.files.IsFile(path)) return load;

  std::string what;
  std::string suffix;
  std::vector<std::uint8_t> bytes;
  bool read = platform.files.ReadFile(path, bytes);
  for (int attempt = 1; !read && attempt < kReadAttempts; ++attempt) {
    pause(kReadPause);
    read = platform.files.ReadFile(path, bytes);
  }
  if (!read) {
    what = "The stored baseline %s cannot be read";
    suffix = ".unreadable";
  } else {
    try {
      load.baseline = TBaseline::Decode(bytes);
      load.state = TBaselineLoad::State::Loaded;
      return load;
    } catch (const TBaselineFormatError& error) {
      what = Pattern(error);
      suffix = error.GetReason() == TBaselineFormatError::Reason::Damaged ? ".damaged"
                                                                          : ".v" + std::to_string(error.Version());
    }
  }
  load.state = TBaselineLoad::State::Unusable;
  load.keptAs = MoveAside(platform.files, path, suffix);
  // Two paths in one message: each is put in on its own, so a "%s" in the first stays as it is.
  load.message = FormatText(what, path) +
                 (load.keptAs.empty() ? std::string("; it could not be moved aside and a new one is taken in its place")
                                      : FormatText("; it was kept as %s and a new one is taken", load.keptAs));
  return load;
}

}  // namespace korvalis::app
