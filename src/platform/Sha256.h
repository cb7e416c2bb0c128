#pragma once
// SHA-256 for the in-memory world and for stored bytes, fed in pieces so that no whole file
// needs to be held; the real system hashes with its own provider.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvalis::platform {

class Sha256 {
 public:
  Sha256();
  void Add(const std::uint8_t* data, std::size_t size);
  // The 32 raw bytes of the digest; the object is spent afterwards.
  std::string Finish();

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t total_ = 0;
};

std::string Sha256Of(const std::vector<std::uint8_t>& bytes);

}  // namespace korvalis::platform
