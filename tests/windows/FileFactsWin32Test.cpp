// Signatures and version information of real program files: copies of the probe signed at
// build time, under a root this test makes the machine trust and under one nobody trusts.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "dialogs/ProgramFacts.h"
#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"
#include "platform/win32/Win32FactsHelper.h"
#include "platform/win32/Win32Windows.h"
#include "support/SignedSamples.h"

namespace korvalis::platform {

namespace {

using testing::FileBytes;
using testing::TestProgramFolder;

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Little(const std::vector<char>& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

// Where the PE header names the certificate table: its offset, then its size.
std::size_t SecurityEntry(const std::vector<char>& bytes) {
  const std::size_t optional = Little(bytes, 0x3C, 4) + 24;
  return optional + (Little(bytes, optional, 2) == 0x20B ? 144 : 128);
}

class FileFactsWin32 : public ::testing::Test {
 protected:
  // The machine's own store of trusted roots, as a user's machine holds its authorities.
  static void SetUpTestSuite() {
    ASSERT_TRUE(testing::TrustSamplesRoot()) << "the signed samples are made at build time";
  }
  void TearDown() override {
    for (const auto& path : made_) DeleteFileA(path.c_str());
  }
  std::string Made(const std::string& name) {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    made_.push_back(std::string(temp) + "korvalis-" + std::to_string(GetCurrentProcessId()) + "-" + name);
    return made_.back();
  }
  FileFacts Inspect(const std::string& path) { return windows_.inspector.Inspect(path); }

  win32::Win32Windows windows_;
  const std::string samples_ = TestProgramFolder() + "\\signatures\\";

 private:
  std::vector<std::string> made_;
};

}  // namespace

TEST_F(FileFactsWin32, ASignedProgramNamesItsPublisherAndItsVersionInformation) {
  const FileFacts facts = Inspect(samples_ + "trusted.exe");
  EXPECT_EQ(facts.lookup, FileLookup::Found);
  EXPECT_EQ(facts.signature, Signature::Valid);
  EXPECT_EQ(dialogs::ProgramFactLines(facts),
            (std::vector<std::string>{"Signed by Korvalis Test Publisher, revocation not checked",
                                      "Company: Korvalis Test Works", "Product: Korvalis Probe"}));
}

// The resident's background reads go to a process of its own: it reads what this one reads,
// and after a rest a new one starts.
TEST_F(FileFactsWin32, AHelperProcessReadsWhatThisProcessReads) {
  std::string program = KORVALIS_PROGRAM_FILE;
  std::replace(program.begin(), program.end(), '/', '\\');
  win32::Win32HelperInspector helper(win32::AnsiToWide(program));
  const FileFacts signed_ = helper.Inspect(samples_ + "trusted.exe");
  EXPECT_EQ(signed_.signature, Signature::Valid);
  EXPECT_EQ(signed_.signer, "Korvalis Test Publisher");
  for (const std::string& path : {samples_ + "trusted.exe", samples_ + "untrusted.exe", testing::UnsignedSample(),
                                  samples_ + "missing.exe"}) {
    EXPECT_EQ(FactsLine(helper.Inspect(path)), FactsLine(Inspect(path))) << path;
    helper.Rest();
  }
  EXPECT_EQ(helper.Inspect(std::string()).lookup, FileLookup::NotFound);
}

TEST_F(FileFactsWin32, AnAlteredCopyAndAnUntrustedRootAreNotValid) {
  std::vector<char> bytes = FileBytes(samples_ + "trusted.exe");
  ASSERT_GT(bytes.size(), 0x2000u);
  bytes[0x1800] = static_cast<char>(bytes[0x1800] ^ 0x5A);  // in the code, which the signature's hash covers
  const std::string altered = Made("altered.exe");
  WriteBytes(altered, bytes);
  for (const std::string& path : {altered, samples_ + "untrusted.exe"}) {
    const FileFacts facts = Inspect(path);
    EXPECT_EQ(facts.signature, Signature::NotValid) << path;
    EXPECT_TRUE(facts.signer.empty()) << path;
    EXPECT_EQ(dialogs::SignatureLine(facts), "Signature not valid") << path;
  }
}

TEST_F(FileFactsWin32, ACopyWhoseCertificateTableIsBrokenIsNotValid) {
  const std::vector<char> original = FileBytes(samples_ + "trusted.exe");
  ASSERT_GT(original.size(), 0x400u);
  const std::size_t entry = SecurityEntry(original);
  const std::uint32_t table = Little(original, entry, 4), size = Little(original, entry + 4, 4);
  ASSERT_GT(size, 16u);
  ASSERT_LE(std::size_t{table} + size, original.size());
  const std::pair<const char*, std::size_t> flipped[] = {
      {"beyond.exe", entry + 7},     // the table's size, now past the file's end
      {"type.exe", table + 6},       // the first entry's type
      {"content.exe", table + 8},    // the signed data's first byte
  };
  for (const auto& [name, at] : flipped) {
    std::vector<char> bytes = original;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    const std::string copy = Made(name);
    WriteBytes(copy, bytes);
    EXPECT_EQ(dialogs::SignatureLine(Inspect(copy)), "Signature not valid") << name;
  }
}

TEST_F(FileFactsWin32, AnUnsignedAMissingAndAHugeProgram) {
  const FileFacts unsigned_ = Inspect(TestProgramFolder() + "\\korvalis_probe.exe");
  EXPECT_EQ(dialogs::ProgramFactLines(unsigned_),
            (std::vector<std::string>{"Not signed", "Company: Korvalis Test Works", "Product: Korvalis Probe"}));
  EXPECT_EQ(dialogs::SignatureLine(Inspect(samples_ + "absent.exe")), "Program file not found");

  // Sparse: its size is past the limit without the disk holding it.
  const std::string huge = Made("huge.exe");
  {
    win32::UniqueFile file(CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(kLargestFileChecked + 1);
    ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  }
  const FileFacts facts = Inspect(huge);
  EXPECT_EQ(facts.lookup, FileLookup::Found);
  EXPECT_EQ(facts.signature, Signature::NotChecked);
}

}  // namespace korvalis::platform
