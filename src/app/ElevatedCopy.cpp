#include "app/ElevatedCopy.h"

#include <algorithm>
#include <optional>

#include "app/AsAdministrator.h"
#include "app/InstallCheck.h"
#include "catalogue/Quarantine.h"
#include "catalogue/SectionReadings.h"
#include "catalogue/Startups.h"
#include "eventlog/zelEventLog.h"
#include "platform/Files.h"
#include "platform/RegistryValues.h"
#include "platform/Services.h"
#include "text/Fileman.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"

namespace korvalis::app {

using catalogue::TStartup;
using catalogue::TStartups;

namespace {

constexpr platform::WindowHandle kNoWindow = 0;

// The place an undo names: the request was refused on reading for a number no place has.
const catalogue::TPlace& PlaceOfUndo(const TUndoOperation& undo) {
  return *catalogue::PlaceOf(undo.writeBack.section);
}

bool Holds(const TStartup& entry, const TRequestedEntry& expected) {
  // A startup folder's file is compared by its content, whose bytes the request need not carry.
  const bool folder = catalogue::IsFolderSection(expected.section);
  return entry.Name() == expected.name && entry.Key() == expected.valueName &&
         entry.Command() == expected.command && entry.ValueType() == expected.valueType &&
         (folder || entry.LinkData() == expected.data) && entry.ContentSize() == expected.contentSize &&
         entry.ContentHash() == expected.contentHash;
}

// The start type the service's key holds now, as this copy reads it; none when unreadable.
std::optional<std::uint32_t> StartTypeOf(platform::Registry& registry, const catalogue::TEntryKey& at) {
  const std::string service(at.TopKey());
  platform::OpenedKey key = registry.OpenKey(platform::RootKey::LocalMachine, std::string(platform::kServicesKey) + "\\" + service,
                                             platform::KeyAccess::Read);
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  if (!key || platform::ReadValueBytes(*key.key, "Start", type, bytes) != platform::kSuccess ||
      type != platform::kRegDword || bytes.size() != 4)
    return std::nullopt;
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
}

// A boot or system driver is never disabled here, whatever the request and the reading say.
bool MayActOn(const platform::Platform& platform, const TUndoOperation& undo) {
  if (!PlaceOfUndo(undo).Kind().HoldsDrivers()) return true;
  const std::optional<std::uint32_t> start = StartTypeOf(platform.registry, undo.writeBack.valueName);
  return start && *start >= platform::kServiceAutoStart;
}

// What fails here is not said: the resident reads each place afterwards and names what stays.
void CarryOut(const platform::Platform& platform, const TUndoOperation& undo, catalogue::TSectionReadings& readings,
              const std::string& quarantine) {
  if (!PlaceHoldsNow(undo, readings) || !MayActOn(platform, undo)) return;
  const TRequestedEntry& target = undo.writeBack;
  TStartups writing(kNoWindow, platform);
  writing.QuarantineIn(quarantine);
  TStartup* entry = writing.AddRecord(target);
  if (!entry) return;
  entry->SetEnabled(undo.enabled);
  try {
    entry->Apply();
  } catch (const std::exception&) {
  }
}

bool PlainLocalPath(const std::string& path) {
  return path.size() >= 4 && path[1] == ':' && path[2] == '\\' && !text::ClimbsOrIsEmpty(path.substr(3));
}

bool IsRequestFile(const std::string& path) {
  const std::string extension = kRequestExtension;
  return path.size() > extension.size() && PlainLocalPath(path) &&
         text::SameTextAscii(path.substr(path.size() - extension.size()), extension);
}

// Data the row fixes, as this copy spells it: at a place whose entries start with more rights
// a write carries exactly that, and nothing the request made up.
bool WritesOnlyFixedData(const platform::Platform& platform, const TUndoOperation& undo) {
  const catalogue::TPlace& place = PlaceOfUndo(undo);
  if (!undo.enabled || !place.privileged) return true;
  const std::string* kept = place.KeptData(undo.writeBack.valueName.Text());
  if (!kept) return false;
  std::string data = *kept;
  const std::string system = "%system%";
  if (const auto at = data.find(system); at != std::string::npos) data.replace(at, system.size(), platform::SystemDir(platform.environment));
  return undo.writeBack.data.empty() && undo.writeBack.command == data;
}

bool NeedsQuarantine(const TElevatedRequest& request) {
  return std::any_of(request.undos.begin(), request.undos.end(), [](const TUndoOperation& undo) {
    return catalogue::RefusalsHeldInQuarantine(PlaceOfUndo(undo));
  });
}

// The request as it is in its file, read once and closed: nothing else of its folder is touched.
bool ReadRequest(platform::FileSystem& files, const std::string& path, TElevatedRequest& request, std::string& text) {
  std::vector<std::uint8_t> bytes;
  if (files.ReadOwnFile(path, kMaxRequestBytes, bytes) != platform::OwnFileResult::Read) return false;
  text.assign(bytes.begin(), bytes.end());
  try {
    request = ParseRequest(text);
  } catch (const TRequestRefused&) {
    return false;
  }
  return true;
}

}  // namespace

bool PlaceHoldsNow(const TUndoOperation& undo, catalogue::TSectionReadings& readings) {
  const TStartups* read = nullptr;
  try {
    read = &readings.Of(undo.writeBack.section);
  } catch (const std::exception&) {
    return false;
  }
  bool named = false, exact = false;
  for (int i = 0; i < read->Count(); ++i) {
    const TStartup& entry = read->Items(i);
    if (!text::SameTextAscii(entry.ValueName(), undo.writeBack.valueName.Text())) continue;
    named = true;
    exact = exact || (undo.hasNow && Holds(entry, undo.now));
  }
  return undo.hasNow ? exact : !named;
}

namespace {

const char* TypeName(std::uint32_t type) {
  switch (type) {
    case platform::kRegSz: return "REG_SZ";
    case platform::kRegExpandSz: return "REG_EXPAND_SZ";
    case platform::kRegMultiSz: return "REG_MULTI_SZ";
    case platform::kRegDword: return "REG_DWORD";
    case platform::kRegQword: return "REG_QWORD";
    case platform::kRegBinary: return "REG_BINARY";
    default: return "text";  // the six sections write their command as text
  }
}

std::string Quoted(const std::string& text) { return "\"" + text::VisibleText(text) + "\""; }

std::string ViewName(const catalogue::TPlace& place) {
  const int bits = place.view == platform::RegistryView::Native ? catalogue::kNativeViewBits : 96 - catalogue::kNativeViewBits;
  return std::to_string(bits) + "-bit view";
}

// The full key, its view, the value's name and type and its data, as the request names them.
std::string RegistryStep(const catalogue::TPlace& place, const TUndoOperation& undo) {
  const TRequestedEntry& target = undo.writeBack;
  std::string key = "HKEY_LOCAL_MACHINE\\" + place.path;
  if (target.valueName.BelowSubkey()) key += "\\" + std::string(target.valueName.Subkey());
  const std::string value(target.valueName.Name());
  const std::string name = value.empty() ? std::string("(Default)") : Quoted(value);
  const auto data = [](const TRequestedEntry& entry) {
    return std::string(TypeName(entry.data.empty() ? 0 : entry.valueType)) + " " + Quoted(entry.command);
  };
  const std::string where = " of " + text::VisibleText(key) + " (" + ViewName(place) + ")";
  if (!undo.enabled) return "Delete value " + name + where + ": " + data(target);
  return "WRITE value " + name + where + ": " + data(target) + ", over " + (undo.hasNow ? data(undo.now) : "nothing");
}

std::string StartTypeName(std::optional<std::uint32_t> start) {
  static const char* names[] = {"boot", "system", "automatic", "manual", "disabled"};
  return start && *start < 5 ? names[*start] : "unknown";
}

std::string ServiceStep(const platform::Platform& platform, const TUndoOperation& undo) {
  const catalogue::TEntryKey& at = undo.writeBack.valueName;
  const std::string service(at.TopKey());
  std::string account;
  if (platform::OpenedKey key = platform.registry.OpenKey(platform::RootKey::LocalMachine,
                                                           std::string(platform::kServicesKey) + "\\" + service,
                                                           platform::KeyAccess::Read)) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    if (platform::ReadValueBytes(*key.key, "ObjectName", type, bytes) == platform::kSuccess)
      account = platform::TextOfBytes(bytes);
  }
  const bool library = at.BelowSubkey();
  return "Disable and stop service " + Quoted(service) + (library ? ", whose library is " : ", binary ") +
         Quoted(undo.writeBack.command) + ", start type " + StartTypeName(StartTypeOf(platform.registry, at)) +
         ", account " + (account.empty() ? std::string("LocalSystem") : text::VisibleText(account));
}

// The first bytes as text where they are text, in hex where they are not.
std::string FirstBytes(const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kShown = 16;
  const std::size_t count = std::min(bytes.size(), kShown);
  const bool visible = std::all_of(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count),
                                   [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; });
  if (visible) return Quoted(std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)));
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (std::size_t i = 0; i < count; ++i) hex += std::string(i ? " " : "") + digits[bytes[i] >> 4] + digits[bytes[i] & 15];
  return hex;
}

std::string FileStep(const platform::Platform& platform, const TUndoOperation& undo) {
  const std::string folder = platform.shell.SpecialFolderPath(platform::kCsidlCommonStartup, 0);
  const std::string path = text::JoinPath(folder, undo.writeBack.valueName.Text());
  platform::FileDigest digest;
  constexpr std::size_t kRead = 64 * 1024;
  const bool read = !folder.empty() && platform.files.DigestFile(path, kRead, digest) == platform::DigestResult::Read;
  return "Quarantine file " + Quoted(path) + ", " + std::to_string(undo.writeBack.contentSize) + " bytes" +
         (read && digest.kept ? ", beginning " + FirstBytes(digest.bytes) : std::string());
}

std::string Step(const platform::Platform& platform, const TUndoOperation& undo) {
  const catalogue::TPlace& place = PlaceOfUndo(undo);
  struct Stepping final : catalogue::TPlaceVisitor {
    const platform::Platform& platform;
    const TUndoOperation& undo;
    std::string step;
    Stepping(const platform::Platform& p, const TUndoOperation& u) : platform(p), undo(u) {}
    void Service(const catalogue::TPlace&) override { step = ServiceStep(platform, undo); }
    void Task(const catalogue::TPlace&) override {
      step = "Delete task " + Quoted(undo.writeBack.valueName.Text()) + ": " + text::VisibleText(undo.writeBack.command);
    }
    void Folder(const catalogue::TPlace&) override { step = FileStep(platform, undo); }
    void Registry(const catalogue::TPlace& at) override { step = RegistryStep(at, undo); }
  } stepping(platform, undo);
  place.Kind().Accept(stepping, place);
  return stepping.step;
}

}  // namespace

std::vector<std::string> DescribeRequest(const platform::Platform& platform, const TElevatedRequest& request) {
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile)
    return {"Register " + text::VisibleText(request.messageFile) + " as the message file of Korvalis's event records"};
  std::vector<std::string> steps;
  for (const TUndoOperation& undo : request.undos) steps.push_back(Step(platform, undo));
  return steps;
}

int RunElevatedRequest(const platform::Platform& platform, const std::string& requestPath, const ConfirmSteps& confirm) {
  // This very file may have been put here by a program running as the user: then it does nothing.
  if (!InstallCheck(platform.security, platform.environment.ProgramPath()).empty()) return kElevatedRefused;
  TElevatedRequest request;
  std::string text;
  if (!IsRequestFile(requestPath) || !ReadRequest(platform.files, requestPath, request, text)) return kElevatedRefused;
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile && !platform.files.IsFile(request.messageFile))
    return kElevatedRefused;
  for (const TUndoOperation& undo : request.undos)
    if (!WritesOnlyFixedData(platform, undo)) return kElevatedRefused;
  if (!confirm(DescribeRequest(platform, request), RequestCode(text))) return kElevatedDeclined;
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile) {
    // The registry says whether it took; the resident reads it there.
    try {
      eventlog::RegisterMessageFile(platform.registry, kEventSourceName, request.messageFile);
    } catch (const std::exception&) {
    }
    return kElevatedAnswered;
  }
  // Files and task definitions go where no user's program can reach them, or nowhere.
  const std::string quarantine = NeedsQuarantine(request) ? catalogue::MachineQuarantineFolder(platform) : std::string();
  catalogue::TSectionReadings readings(platform);
  for (const TUndoOperation& undo : request.undos) CarryOut(platform, undo, readings, quarantine);
  return kElevatedAnswered;
}

}  // namespace korvalis::app
