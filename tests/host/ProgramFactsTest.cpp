// What the change dialogs say about a program file.
#include <gtest/gtest.h>

#include "dialogs/ProgramFacts.h"

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

}  // namespace korvalis::dialogs
