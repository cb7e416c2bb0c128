// The command-line splitters, the hosts' payloads and text helpers on arbitrary bytes: no crash,
// no read out of bounds, and what they return is what they promise.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalogue/CommandLine.h"
#include "catalogue/HostPayload.h"
#include "dialogs/CommandText.h"
#include "text/StrMan.h"

using namespace korvalis;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::size_t Count(const std::string& text, const std::string& search) {
  std::size_t count = 0;
  for (std::size_t at = text.find(search); !search.empty() && at != std::string::npos;
       at = text.find(search, at + search.size()))
    ++count;
  return count;
}

void CheckExtractProgram(const std::string& command) {
  std::string program;
  catalogue::ExtractProgram(command, program);
  // The program is a piece of the command, or the whole command.
  Require(program == command || command.find(program) != std::string::npos);
  std::string derived;
  catalogue::DeriveProgramFile(command, derived);
  const std::string blanked = text::ReplaceAll(command, ",", " ");
  Require(derived == command || command.find(derived) != std::string::npos ||
          blanked.find(derived) != std::string::npos);
  // An incoming program file is kept exactly when no program token is found.
  std::string kept = "kept.exe";
  catalogue::ExtractProgram(command, kept);
  Require(kept == "kept.exe" || command.find(kept) != std::string::npos);
}

void CheckCommandSplit(const std::string& command) {
  const std::string program = catalogue::CommandProgram(command);
  const std::string params = catalogue::CommandParams(command);
  Require(command.find(program) != std::string::npos || program.empty());
  Require(params.empty() || command.compare(command.size() - params.size(), params.size(), params) == 0);
  if (!command.empty() && command[0] == '"' && command.find('"', 1) != std::string::npos)
    Require("\"" + program + "\"" + params == command);
}

void CheckTokens(const std::string& text, char delimiter) {
  const text::Token token = text::NextToken(text, delimiter);
  Require(token.token.find(delimiter) == std::string::npos);
  Require(token.rest.size() < text.size() || text.empty());
  Require(text.compare(text.size() - token.rest.size(), token.rest.size(), token.rest) == 0);
  std::vector<std::string> list;
  text::SplitToList(list, text, delimiter);
  Require(list.size() <= text.size());
  for (const auto& piece : list) Require(piece == text::TrimControl(piece));
}

void CheckReplaceAll(const std::string& text, const std::string& search, const std::string& replacement) {
  const std::string replaced = text::ReplaceAll(text, search, replacement);
  if (search.empty()) {
    Require(replaced == text);
    return;
  }
  // Occurrences never overlap and inserted text is never searched again.
  const std::size_t n = Count(text, search);
  Require(replaced.size() == text.size() - n * search.size() + n * replacement.size());
  if (replacement.find(search) == std::string::npos && search.find(replacement) == std::string::npos &&
      !replacement.empty())
    Require(Count(replaced, replacement) >= n);
}

void CheckTextBetween(const std::string& text, const std::string& start, const std::string& end) {
  const std::string between = text::TextBetween(text, start, end);
  Require(between.empty() || text.find(between) != std::string::npos);
  if (!start.empty() && text.find(start) == std::string::npos) Require(between.empty());
}

// A payload is bounded, names a file only for what runs or loads one, and its shown form holds
// no control character and no mark that turns the text's direction.
void CheckHostPayload(const std::string& command) {
  const catalogue::THostPayload payload = catalogue::FindHostPayload(command);
  Require(payload.what.size() <= catalogue::kPayloadTextAtMost + 3);
  if (payload.kind == catalogue::PayloadKind::None) Require(payload.what.empty() && payload.file.empty());
  if (!payload.file.empty()) Require(payload.kind != catalogue::PayloadKind::Download);
  const std::string shown = dialogs::ShownText(payload.what.empty() ? command : payload.what, 160);
  Require(shown.size() <= 163);
  for (const char c : shown) Require(static_cast<unsigned char>(c) >= 32);
  Require(shown.find("\xE2\x80\xAE") == std::string::npos && shown.find("\xE2\x81\xA6") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  CheckExtractProgram(input);
  CheckCommandSplit(input);
  CheckHostPayload(input);
  CheckHostPayload("powershell -enc " + input);
  CheckHostPayload("cmd /c " + input);
  const char delimiter = size > 0 ? static_cast<char>(data[0]) : ';';
  CheckTokens(input, ';');
  CheckTokens(input, delimiter);
  // Three pieces separated by the first byte: a text, a search text and a replacement.
  const std::size_t cut1 = input.find(delimiter, 1);
  const std::size_t cut2 = cut1 == std::string::npos ? std::string::npos : input.find(delimiter, cut1 + 1);
  if (cut2 != std::string::npos && size > 0) {
    const std::string text = input.substr(1, cut1 - 1);
    const std::string search = input.substr(cut1 + 1, cut2 - cut1 - 1);
    const std::string replacement = input.substr(cut2 + 1);
    CheckReplaceAll(text, search.substr(0, 8), replacement.substr(0, 8));
    CheckTextBetween(text, search, replacement);
  }
  return 0;
}
