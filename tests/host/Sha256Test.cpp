#include <gtest/gtest.h>

#include "platform/Sha256.h"
#include "support/Hex.h"

namespace korvalis::platform {

namespace {
using test::Hex;
std::string Of(const std::string& text) { return Hex(Sha256Of(std::vector<std::uint8_t>(text.begin(), text.end()))); }
}  // namespace

TEST(Sha256, TheStandardTestVectorsComeOutWhateverTheSizeOfThePiecesFed) {
  EXPECT_EQ(Of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // 56 bytes: the length no longer fits the first block.
  EXPECT_EQ(Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  Sha256 million;
  const std::vector<std::uint8_t> piece(1024, 'a');
  std::size_t fed = 0;
  for (std::size_t size = 1; fed < 1000000; size = size % 997 + 13) {
    const std::size_t take = std::min(size, 1000000 - fed);
    million.Add(piece.data(), take);
    fed += take;
  }
  EXPECT_EQ(Hex(million.Finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace korvalis::platform
