#include "platform/CertificateTable.h"

namespace korvalis::platform {

namespace {

constexpr std::uint16_t kPe32 = 0x10B, kPe32Plus = 0x20B;
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::uint16_t kSignedData = 2;  // WIN_CERT_TYPE_PKCS_SIGNED_DATA

std::uint32_t Little(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes[at + i];
  return value;
}

// The security entry of the data directories: its file offset and size; false when the file is
// no PE file or its header has no such entry.
bool SecurityEntry(const ReadAt& read, std::uint32_t& offset, std::uint32_t& size) {
  const std::vector<std::uint8_t> dos = read(0, 64);
  if (dos.size() < 64 || dos[0] != 'M' || dos[1] != 'Z') return false;
  const std::uint32_t pe = Little(dos, 0x3C, 4);
  // The signature, the file header and the optional header up to its last data directory.
  const std::vector<std::uint8_t> header = read(pe, 24 + 240);
  if (header.size() < 26 || Little(header, 0, 4) != 0x00004550) return false;
  const std::uint32_t optionalSize = Little(header, 20, 2), magic = Little(header, 24, 2);
  if (magic != kPe32 && magic != kPe32Plus) return false;
  const std::size_t count = magic == kPe32 ? 92 : 108, entry = count + 4 + 8 * kSecurityDirectory;
  if (optionalSize < entry + 8 || header.size() < 24 + entry + 8 || Little(header, 24 + count, 4) <= kSecurityDirectory)
    return false;
  offset = Little(header, 24 + entry, 4);
  size = Little(header, 24 + entry + 4, 4);
  return true;
}

}  // namespace

CertificateTable ReadCertificateTable(std::uint64_t fileSize, const ReadAt& read) {
  std::uint32_t offset = 0, size = 0;
  if (!SecurityEntry(read, offset, size) || (offset == 0 && size == 0)) return CertificateTable::None;
  if (offset == 0 || size < 8 || offset % 8 != 0 || std::uint64_t{offset} + size > fileSize)
    return CertificateTable::Corrupt;
  // The first WIN_CERTIFICATE: its length, revision and type.
  const std::vector<std::uint8_t> first = read(offset, 8);
  if (first.size() < 8) return CertificateTable::Corrupt;
  const std::uint32_t length = Little(first, 0, 4), revision = Little(first, 4, 2), type = Little(first, 6, 2);
  if (length < 8 || length > size || (revision != 0x0100 && revision != 0x0200) || type != kSignedData)
    return CertificateTable::Corrupt;
  return CertificateTable::Present;
}

}  // namespace korvalis::platform
