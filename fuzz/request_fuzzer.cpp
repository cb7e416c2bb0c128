// The elevated copy's request on arbitrary bytes: the parser refuses them with its own error or
// takes them in, and then they are exactly the encoding of what it took (the format has no
// slack, so anything else would be bytes it ignored), every place is one an administrator may
// undo, and carrying the request out never writes anywhere under HKEY_CURRENT_USER. The result
// reader takes the same bytes without a fault.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/ElevatedCopy.h"
#include "app/ElevatedRequest.h"
#include "platform/memory/MemoryWindows.h"

using namespace korvalis;
using platform::memory::RegistryOperation;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Writes(RegistryOperation::Kind kind) {
  return kind == RegistryOperation::Kind::SetValue || kind == RegistryOperation::Kind::DeleteValue ||
         kind == RegistryOperation::Kind::DeleteTree || kind == RegistryOperation::Kind::Create;
}

void CarryOut(const std::string& text) {
  platform::memory::MemoryWindows windows;
  windows.registry.SetHook([](const RegistryOperation& op) {
    Require(!(op.root == platform::RootKey::CurrentUser && Writes(op.kind)));
    return platform::kSuccess;
  });
  windows.files.AddTextFile("C:\\Requests\\fuzz.request", text);
  const int code = app::RunElevatedRequest(windows.platform(), "C:\\Requests\\fuzz.request",
                                           [](const std::vector<std::string>&, const std::string&) { return true; });
  Require(code == app::kElevatedAnswered || code == app::kElevatedRefused);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An odd first byte stands for the header line, so most inputs reach past it.
  std::string text(reinterpret_cast<const char*>(data), size);
  if (size > 0 && (data[0] & 1)) text = "Korvalis elevated request 1\nundo\n" + text.substr(1);
  try {
    const app::TElevatedRequest request = app::ParseRequest(text);
    Require(app::EncodeRequest(request) == text);
    for (const app::TUndoOperation& undo : request.undos)
      Require(app::ElevatedUndoAllowed(*catalogue::PlaceOf(undo.writeBack.section)));
  } catch (const app::TRequestRefused&) {
  }
  CarryOut(text);
  return 0;
}
