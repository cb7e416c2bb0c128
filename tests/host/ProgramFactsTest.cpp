// What the change dialogs say about a program file.
#include <gtest/gtest.h>

#include <optional>

#include "dialogs/CommandText.h"
#include "dialogs/ProgramFacts.h"
#include "catalogue/Startups.h"
#include "platform/memory/MemoryWindows.h"

namespace korvalis::dialogs {

using platform::FileFacts;
using platform::FileLookup;
using platform::Signature;

TEST(ProgramFacts, EachAnswerReadsInTheDialogsWords) {
  struct Case {
    FileFacts facts;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{FileLookup::Found, Signature::Valid, "Brenmoor Ltd", "Brenmoor", "Korvalis", true},
       {"Signed by Brenmoor Ltd", "Company: Brenmoor", "Product: Korvalis"}},
      // The cache held no revocation list for its chain, and none was fetched.
      {{FileLookup::Found, Signature::Valid, "Brenmoor Ltd", "", "", false},
       {"Signed by Brenmoor Ltd, revocation not checked"}},
      {{FileLookup::Found, Signature::None, "", "", "Agent"}, {"Not signed", "Product: Agent"}},
      {{FileLookup::Found, Signature::NotValid, "", "Brenmoor", ""}, {"Signature not valid", "Company: Brenmoor"}},
      {{FileLookup::Found, Signature::NotChecked, "", "", ""}, {"Signature not checked"}},
      // Whatever else the facts hold, a file that is not there has nothing more to say.
      {{FileLookup::NotFound, Signature::Valid, "Brenmoor Ltd", "Brenmoor", ""}, {"Program file not found"}},
      {{FileLookup::NotLookedUp, Signature::None, "", "", ""}, {"Program file on the network: not looked up"}},
      {{FileLookup::LocalPipe, Signature::None, "", "", ""}, {"Program file is a local pipe: not looked up"}},
      {{FileLookup::Device, Signature::None, "", "", ""}, {"Program file in the device namespace: not looked up"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramFactLines(c.facts), c.lines) << c.lines[0];
    EXPECT_EQ(SignatureLine(c.facts), c.lines[0]);
  }
}

TEST(ProgramFacts, ANameTheFileChoseCannotBreakIntoALineOfOurs) {
  const FileFacts facts{FileLookup::Found, Signature::None, "", "Tools\r\nSigned by Brenmoor", "Agent"};
  EXPECT_EQ(ProgramFactLines(facts),
            (std::vector<std::string>{"Not signed", "Company: Tools\\x0D\\x0ASigned by Brenmoor", "Product: Agent"}));
}

TEST(ProgramFacts, AHostsPayloadComesFirstThenItsFileThenTheHost) {
  using catalogue::PayloadKind;
  using catalogue::THostPayload;
  const FileFacts microsoft{FileLookup::Found, Signature::Valid, "Microsoft Windows", "Microsoft Corporation", "", true};
  const FileFacts notSigned{FileLookup::Found, Signature::None, "", "Updater Ltd", ""};
  const FileFacts gone{FileLookup::NotFound, Signature::NotChecked, "", "", ""};
  const FileFacts onShare{FileLookup::NotLookedUp, Signature::NotChecked, "", "", ""};
  const THostPayload script{PayloadKind::Script, "powershell.exe", "C:\\u\\a.ps1 (PowerShell)", "C:\\u\\a.ps1"};
  const THostPayload library{PayloadKind::Library, "rundll32.exe", "\\\\srv\\a.dll, entry point Start", "\\\\srv\\a.dll"};
  const THostPayload package{PayloadKind::Package, "msiexec.exe", "C:\\t\\a.msi (msiexec)", "C:\\t\\a.msi"};
  const THostPayload download{PayloadKind::Download, "certutil.exe", "http://x/a to C:\\a (certutil)", ""};
  EXPECT_EQ(PayloadFactLines(script, &notSigned, &microsoft),
            (std::vector<std::string>{"Runs a script: C:\\u\\a.ps1 (PowerShell)", "Script: Not signed",
                                      "Company: Updater Ltd", "Host: Signed by Microsoft Windows"}));
  EXPECT_EQ(PayloadFactLines(script, nullptr, nullptr),
            (std::vector<std::string>{"Runs a script: C:\\u\\a.ps1 (PowerShell)", "Script: Checking ...",
                                      "Host: Checking ..."}));
  EXPECT_EQ(PayloadFactLines(library, &onShare, &gone),
            (std::vector<std::string>{"Loads the library \\\\srv\\a.dll, entry point Start",
                                      "Library file on the network: not looked up", "Host: Program file not found"}));
  EXPECT_EQ(PayloadFactLines(package, &gone, &microsoft)[1], "Package file not found");
  EXPECT_EQ(PayloadFactLines(download, nullptr, &microsoft),
            (std::vector<std::string>{"Downloads http://x/a to C:\\a (certutil)", "Host: Signed by Microsoft Windows"}));
}

TEST(ProgramFacts, APayloadsTextIsShownVisibleAndCut) {
  // A decoded command can hold line breaks and a mark that shows the rest of the line reversed.
  const catalogue::THostPayload payload{catalogue::PayloadKind::Script, "powershell.exe",
                                        "PowerShell command: a\r\n\xE2\x80\xAEgpj.exe" + std::string(1000, 'x'), ""};
  const std::string line = PayloadLine(payload);
  EXPECT_EQ(line.rfind("Runs a script: PowerShell command: a\\x0D\\x0A\\u202Egpj.exe", 0), 0u) << line;
  EXPECT_EQ(line.size(), std::string("Runs a script: ").size() + kShownPayloadAtMost + 3);
  EXPECT_EQ(line.substr(line.size() - 3), "...");
  // A stray byte before the mark does not hide it inside a longer character.
  EXPECT_EQ(ShownText("\x98\xE2\x80\xAE\x98", 20), "\x98\\u202E\x98");
}

TEST(ProgramFacts, AChangesEarlierCommandIsShownVisibleWithItsFilesFactsAndPayloadWhereTheyDiffer) {
  using catalogue::PayloadKind;
  using catalogue::THostPayload;
  platform::memory::MemoryWindows windows;
  catalogue::TStartups entries{0, windows.platform()};
  const catalogue::TStartup& before =
      *entries.Add("Agent", "", "C:\\a.exe /x\r\n\xE2\x80\xAEgpj.exe", catalogue::kCurrentUserRun, 0);
  const FileFacts acme{FileLookup::Found, Signature::Valid, "Acme Ltd", "Acme", "", true};
  const FileFacts notSigned{FileLookup::Found, Signature::None, "", "", ""};
  const FileFacts gone{FileLookup::NotFound, Signature::NotChecked, "", "", ""};
  const THostPayload none{};
  const std::string shown = "Before: C:\\a.exe /x\\x0D\\x0A\\u202Egpj.exe";
  using Lines = std::vector<std::string>;
  EXPECT_EQ(BeforeLines(before, none, none, &acme, &acme), Lines{shown});
  EXPECT_EQ(BeforeLines(before, none, none, &acme, nullptr), Lines{shown});  // the new file not looked at yet
  EXPECT_EQ(BeforeLines(before, none, none, &acme, &notSigned),
            (Lines{shown, "Earlier program file: Signed by Acme Ltd; Company: Acme"}));
  const THostPayload script{PayloadKind::Script, "powershell.exe", "C:\\u\\a.ps1 (PowerShell)", "C:\\u\\a.ps1"};
  const THostPayload other{PayloadKind::Script, "powershell.exe", "C:\\u\\b.ps1 (PowerShell)", "C:\\u\\b.ps1"};
  EXPECT_EQ(BeforeLines(before, script, other, &gone, &notSigned),
            (Lines{shown, "Earlier: Runs a script: C:\\u\\a.ps1 (PowerShell)", "Earlier script file not found"}));
  EXPECT_EQ(BeforeLines(before, script, script, nullptr, nullptr), Lines{shown});
  EXPECT_EQ(FactsFile(before, script), "C:\\u\\a.ps1");
  EXPECT_EQ(FactsFile(before, none), "C:\\a.exe");
}

// The helper's answer comes back as it was read, whatever bytes the file's names hold, and a
// line that is not one of its answers is none.
TEST(ProgramFacts, FactsGoThroughTheHelpersLineAsTheyWereReadAndNothingElseIsTakenForThem) {
  FileFacts facts;
  facts.lookup = FileLookup::Found;
  facts.signature = Signature::Valid;
  facts.revocationChecked = true;
  facts.signer = "Contoso \n\r\n 1 2";
  facts.signer += '\0';
  facts.company = "Works";
  const std::string line = platform::FactsLine(facts);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  const std::optional<FileFacts> back = platform::FactsOfLine(line);
  ASSERT_TRUE(back);
  EXPECT_EQ(platform::FactsLine(*back), line);
  EXPECT_EQ(back->signer, facts.signer);
  EXPECT_TRUE(back->product.empty());
  const std::string path = "C:\\A B\n\xC3\xA9.exe";
  EXPECT_EQ(platform::PathLine(path).find_first_of(" \n"), std::string::npos);
  EXPECT_EQ(platform::PathOfLine(platform::PathLine(path)), path);
  EXPECT_FALSE(platform::PathOfLine("C:\\x.exe"));
  for (const std::string& bad : {std::string(), std::string("4 2 1 - - -x"), std::string("5 2 1 - - -"),
                                 std::string("4 4 1 - - -"), std::string("4 2 2 - - -"), std::string("4 2 1 - -"),
                                 std::string("4 2 1 4A - -"), std::string("4 2 1 4 - -"), "4 2 1 " + std::string(70000, 'a') + " - -"})
    EXPECT_FALSE(platform::FactsOfLine(bad)) << bad.substr(0, 20);
}

}  // namespace korvalis::dialogs
