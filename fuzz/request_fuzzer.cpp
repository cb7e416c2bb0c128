// The elevated copy against requests of any bytes, and against well-formed requests made of
// fuzzed choices over a machine that holds real entries. Whatever it is asked, it may only
// remove, disable a service, or write data where the row lets an administrator write back; all
// of it at places of the table under HKEY_LOCAL_MACHINE, never at a user's.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ElevatedCopy.h"
#include "app/ElevatedRequest.h"
#include "catalogue/Places.h"
#include "platform/memory/MemoryWindows.h"
#include "text/StrMan.h"

using namespace korvalis;
using platform::RootKey;
using platform::memory::RegistryOperation;

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kWinlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char* const kHijacks = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char* const kServices = "SYSTEM\\CurrentControlSet\\Services";

void Seed(platform::memory::MemoryRegistry& registry) {
  registry.PutString(RootKey::LocalMachine, kRun, "Updater", "C:\\Tools\\upd.exe");
  registry.PutString(RootKey::LocalMachine, kWinlogon, "Shell", "C:\\evil.exe");
  registry.PutString(RootKey::LocalMachine, std::string(kHijacks) + "\\notepad.exe", "Debugger", "C:\\evil.exe");
  const std::string service = std::string(kServices) + "\\Svc";
  registry.PutString(RootKey::LocalMachine, service, "ImagePath", "C:\\svc.exe", platform::kRegExpandSz);
  registry.PutDword(RootKey::LocalMachine, service, "Start", 2);
  registry.PutDword(RootKey::LocalMachine, service, "Type", 16);
  registry.PutString(RootKey::CurrentUser, kRun, "Mine", "C:\\mine.exe");
}

bool Below(const std::string& path, const std::string& top) {
  return path.size() >= top.size() && text::SameTextAscii(path.substr(0, top.size()), top) &&
         (path.size() == top.size() || path[top.size()] == '\\');
}

// The machine place of the table the key is at or below, where an administrator may undo.
const catalogue::TPlace* PlaceHolding(std::string path) {
  // The 32-bit view of a machine key is its Wow6432Node twin.
  const std::string twin = "Software\\Wow6432Node\\";
  if (Below(path, twin.substr(0, twin.size() - 1))) path = "Software\\" + path.substr(twin.size());
  for (const catalogue::Section section : catalogue::ReadOrder(true)) {
    const catalogue::TPlace* place = catalogue::PlaceOf(section);
    if (place && place->root == RootKey::LocalMachine && !place->path.empty() && Below(path, place->path) &&
        app::ElevatedUndoAllowed(*place))
      return place;
  }
  return nullptr;
}

bool Writes(RegistryOperation::Kind kind) {
  return kind == RegistryOperation::Kind::SetValue || kind == RegistryOperation::Kind::DeleteValue ||
         kind == RegistryOperation::Kind::DeleteTree || kind == RegistryOperation::Kind::Create;
}

// Removing a value that is not there changes nothing, and opening a key to write is no write
// yet; a value is only written where the row allows it or as a service's start type.
bool Allowed(const RegistryOperation& op) {
  if (op.root != RootKey::LocalMachine) return false;
  const catalogue::TPlace* place = PlaceHolding(op.path);
  if (!place) return false;
  if (op.kind != RegistryOperation::Kind::SetValue) return true;
  if (place->kind == catalogue::PlaceKind::Service) return text::SameTextAscii(op.name, "Start");
  return app::ElevatedWriteAllowed(*place, place->BelowKey() ? "key\\" + op.name : op.name);
}

void CheckWrite(const RegistryOperation& op) {
  if (Allowed(op)) return;
  std::fprintf(stderr, "write %d at %d:%s value '%s'\n", static_cast<int>(op.kind), static_cast<int>(op.root),
               op.path.c_str(), op.name.c_str());
  std::abort();
}

int CarryOut(const std::string& text) {
  platform::memory::MemoryWindows windows;
  Seed(windows.registry);
  windows.registry.SetHook([&](const RegistryOperation& op) {
    if (Writes(op.kind)) CheckWrite(op);
    return platform::kSuccess;
  });
  windows.files.AddTextFile("C:\\Requests\\fuzz.request", text);
  const int code = app::RunElevatedRequest(windows.platform(), "C:\\Requests\\fuzz.request",
                                           [](const std::vector<std::string>&, const std::string&) { return true; });
  Require(code == app::kElevatedAnswered || code == app::kElevatedRefused);
  Require(windows.registry.GetString(RootKey::CurrentUser, kRun, "Mine").has_value());
  return code;
}

// Takes the fuzzer's bytes one choice at a time.
class Choices {
 public:
  Choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Left() const { return at_ < size_; }
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  template <std::size_t N>
  std::string Of(const char* const (&options)[N]) { return options[Next() % N]; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

const char* const kNames[] = {"Updater", "Shell", "Userinit", "notepad.exe\\Debugger", "Svc", "Svc\\ImagePath",
                              "Mine", "..", "", "notepad.exe\\", "\\Updater", "\\Task", "Updater.lnk"};
const char* const kCommands[] = {"C:\\Tools\\upd.exe", "C:\\evil.exe", "C:\\svc.exe", "explorer.exe", ""};

app::TRequestedEntry EntryFrom(Choices& choices) {
  const std::vector<catalogue::Section>& sections = catalogue::ReadOrder(true);
  app::TRequestedEntry entry;
  entry.section = sections[choices.Next() % sections.size()];
  entry.valueName = choices.Of(kNames);
  entry.name = entry.valueName.Text();
  entry.command = choices.Of(kCommands);
  entry.valueType = choices.Next() % 8;
  if (choices.Next() & 1) entry.data.assign(entry.command.begin(), entry.command.end());
  return entry;
}

std::string RequestFrom(Choices& choices) {
  app::TElevatedRequest request;
  while (choices.Left() && request.undos.size() < 8) {
    app::TUndoOperation undo;
    const std::uint8_t flags = choices.Next();
    undo.writeBack = EntryFrom(choices);
    undo.enabled = flags & 1;
    undo.hasNow = flags & 2;
    if (undo.hasNow) undo.now = (flags & 4) ? undo.writeBack : EntryFrom(choices);
    request.undos.push_back(undo);
  }
  return app::EncodeRequest(request);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    Choices choices(data + 1, size - 1);
    CarryOut(RequestFrom(choices));
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    const app::TElevatedRequest request = app::ParseRequest(text);
    // The format has no slack: anything else would be bytes the parser ignored.
    Require(app::EncodeRequest(request) == text);
    for (const app::TUndoOperation& undo : request.undos)
      Require(app::ElevatedUndoAllowed(*catalogue::PlaceOf(undo.writeBack.section)));
  } catch (const app::TRequestRefused&) {
  }
  CarryOut(text);
  return 0;
}
