// Task definitions on arbitrary bytes, as a planted file would give them: no crash, no read out
// of bounds, nothing unbounded, and the file conversions undo each other.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "catalogue/TaskDefinition.h"
#include "platform/TaskScheduler.h"

using namespace korvalis;

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckDefinition(const std::string& xml) {
  const auto definition = catalogue::ParseTaskDefinition(xml);
  if (!definition) return;
  Require(xml.size() <= platform::kMaxTaskDefinitionBytes);
  for (const std::string& action : definition->actions) Require(!action.empty());
  const std::string command = catalogue::TaskCommand(*definition);
  Require(command.empty() == definition->actions.empty());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  const std::string text = platform::TaskFileText(bytes);
  // Text decoded from UTF-16 is valid UTF-8, so writing it out and reading it back is lossless.
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) Require(platform::TaskFileText(platform::TaskFileBytes(text)) == text);
  CheckDefinition(text);
  // The same bytes inside a definition's frame reach the deeper readers too.
  CheckDefinition("<Task><Triggers>" + text + "</Triggers><Actions>" + text + "</Actions></Task>");
  return 0;
}
