#pragma once
// The table of certificates a program file's PE header names: where a signature of the file's
// own is kept. A table the header names that does not hold together is a broken signature,
// never none, whatever the verification makes of it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace korvalis::platform {

enum class CertificateTable {
  None,     // no PE file, or one whose header names no table
  Present,  // a table that begins as one of signed data
  Corrupt,  // past the file's end, misaligned, or a first entry of no known form
};

// read(offset, count) gives the file's bytes there, fewer at its end or when it cannot be read.
using ReadAt = std::function<std::vector<std::uint8_t>(std::uint64_t offset, std::size_t count)>;

CertificateTable ReadCertificateTable(std::uint64_t fileSize, const ReadAt& read);

}  // namespace korvalis::platform
