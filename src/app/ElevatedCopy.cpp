#include "app/ElevatedCopy.h"

#include "app/InstallCheck.h"
#include "catalogue/SectionReadings.h"
#include "catalogue/Startups.h"
#include "eventlog/zelEventLog.h"
#include "text/StrMan.h"
#include "text/VisibleText.h"

namespace korvalis::app {

using catalogue::TStartup;
using catalogue::TStartups;

namespace {

constexpr platform::WindowHandle kNoWindow = 0;

bool Holds(const TStartup& entry, const TRequestedEntry& expected) {
  // A startup folder's file is compared by its content, whose bytes the request need not carry.
  const bool folder = catalogue::IsFolderSection(expected.section);
  return entry.Name() == expected.name && entry.ValueName() == expected.valueName &&
         entry.Command() == expected.command && entry.ValueType() == expected.valueType &&
         (folder || entry.LinkData() == expected.data) && entry.ContentSize() == expected.contentSize &&
         entry.ContentHash() == expected.contentHash;
}

// What fails here is not said: the resident reads each place afterwards and names what stays.
void CarryOut(const platform::Platform& platform, const TUndoOperation& undo, catalogue::TSectionReadings& readings) {
  if (!PlaceHoldsNow(undo, readings)) return;
  const TRequestedEntry& target = undo.writeBack;
  TStartups writing(kNoWindow, platform);
  TStartup* entry = writing.AddEntry(target.name, target.valueName, std::string(), target.command, target.section, 0);
  if (!entry) return;
  entry->LinkData() = target.data;
  entry->SetValueType(target.valueType);
  entry->SetContent(target.contentSize, target.contentHash);
  entry->SetEnabled(undo.enabled);
  try {
    entry->Apply();
  } catch (const std::exception&) {
  }
}

bool PlainLocalPath(const std::string& path) {
  if (path.size() < 4 || path[1] != ':' || path[2] != '\\') return false;
  for (std::size_t start = 3; start <= path.size();) {
    const auto cut = path.find('\\', start);
    const std::string segment = path.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    if (cut == std::string::npos) break;
    start = cut + 1;
  }
  return true;
}

bool IsRequestFile(const std::string& path) {
  const std::string extension = kRequestExtension;
  return path.size() > extension.size() && PlainLocalPath(path) &&
         text::SameTextAscii(path.substr(path.size() - extension.size()), extension);
}

// The request as it is in its file, read once and closed: nothing else of its folder is touched.
bool ReadRequest(platform::FileSystem& files, const std::string& path, TElevatedRequest& request) {
  std::vector<std::uint8_t> bytes;
  if (files.ReadOwnFile(path, kMaxRequestBytes, bytes) != platform::OwnFileResult::Read) return false;
  try {
    request = ParseRequest(std::string(bytes.begin(), bytes.end()));
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
    if (!text::SameTextAscii(entry.ValueName(), undo.writeBack.valueName)) continue;
    named = true;
    exact = exact || (undo.hasNow && Holds(entry, undo.now));
  }
  return undo.hasNow ? exact : !named;
}

std::vector<std::string> DescribeRequest(const TElevatedRequest& request) {
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile)
    return {"Register " + text::VisibleText(request.messageFile) + " as the message file of Korvalis's event records"};
  std::vector<std::string> steps;
  for (const TUndoOperation& undo : request.undos) {
    const TRequestedEntry& entry = undo.writeBack;
    const std::string where = std::string(" in ") + catalogue::SectionName(entry.section);
    steps.push_back((undo.enabled ? "Write back " : "Delete ") + text::VisibleText(entry.name) + " (" +
                    text::VisibleText(entry.command) + ")" + where);
  }
  return steps;
}

int RunElevatedRequest(const platform::Platform& platform, const std::string& requestPath, const ConfirmSteps& confirm) {
  // This very file may have been put here by a program running as the user: then it does nothing.
  if (!InstallCheck(platform.security, platform.environment.ProgramPath()).empty()) return kElevatedRefused;
  TElevatedRequest request;
  if (!IsRequestFile(requestPath) || !ReadRequest(platform.files, requestPath, request)) return kElevatedRefused;
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile && !platform.files.IsFile(request.messageFile))
    return kElevatedRefused;
  if (!confirm(DescribeRequest(request))) return kElevatedDeclined;
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile) {
    // The registry says whether it took; the resident reads it there.
    try {
      eventlog::RegisterMessageFile(platform.registry, kEventSourceName, request.messageFile);
    } catch (const std::exception&) {
    }
    return kElevatedAnswered;
  }
  catalogue::TSectionReadings readings(platform);
  for (const TUndoOperation& undo : request.undos) CarryOut(platform, undo, readings);
  return kElevatedAnswered;
}

}  // namespace korvalis::app
