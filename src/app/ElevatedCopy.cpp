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

// Checks the section, as read once for the request, holds exactly what the request says
// before writing.
TElevatedResult CarryOut(const platform::Platform& platform, const TUndoOperation& undo,
                         catalogue::TSectionReadings& readings) {
  const TRequestedEntry& target = undo.writeBack;
  const TStartups* read = nullptr;
  try {
    read = &readings.Of(target.section);
  } catch (const std::exception& error) {
    return TElevatedResult{TElevatedOutcome::Failed, error.what()};
  }
  const TStartups& place = *read;
  bool named = false, exact = false;
  for (int i = 0; i < place.Count(); ++i) {
    const TStartup& entry = place.Items(i);
    if (!text::SameTextAscii(entry.ValueName(), target.valueName)) continue;
    named = true;
    exact = exact || (undo.hasNow && Holds(entry, undo.now));
  }
  if (undo.hasNow ? !exact : named) return TElevatedResult{TElevatedOutcome::Stale, {}};
  TStartups writing(kNoWindow, platform);
  TStartup* entry = writing.AddEntry(target.name, target.valueName, std::string(), target.command, target.section, 0);
  if (!entry) return TElevatedResult{TElevatedOutcome::Failed, "Nothing to write"};
  entry->LinkData() = target.data;
  entry->SetValueType(target.valueType);
  entry->SetContent(target.contentSize, target.contentHash);
  entry->SetEnabled(undo.enabled);
  try {
    entry->Apply();
  } catch (const std::exception& error) {
    return TElevatedResult{TElevatedOutcome::Failed, error.what()};
  }
  return TElevatedResult{TElevatedOutcome::Done, {}};
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

bool WriteText(platform::FileSystem& files, const std::string& path, const std::string& text) {
  return files.WriteFileAtomically(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace

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
  const std::string resultPath = ResultPathOf(requestPath);
  // Nothing is read or written beside a request that names no plain file of its kind.
  if (resultPath.empty() || !PlainLocalPath(requestPath)) return kElevatedRefused;
  const auto refuse = [&](const std::string& why) {
    WriteText(platform.files, resultPath, EncodeResults({}, why));
    return kElevatedRefused;
  };
  platform::FileDigest digest;
  // Never held whole when larger than a request may be.
  if (platform.files.DigestFile(requestPath, kMaxRequestBytes, digest) != platform::DigestResult::Read)
    return refuse("the request cannot be read");
  if (!digest.kept) return refuse("the request is too large");
  TElevatedRequest request;
  try {
    request = ParseRequest(std::string(digest.bytes.begin(), digest.bytes.end()));
  } catch (const TRequestRefused& error) {
    return refuse(error.what());
  }
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile && !platform.files.IsFile(request.messageFile))
    return refuse("the program file is not there");
  const std::size_t steps = request.kind == TElevatedRequest::Kind::Undo ? request.undos.size() : 1;
  if (!confirm(DescribeRequest(request))) {
    WriteText(platform.files, resultPath,
              EncodeResults(std::vector<TElevatedResult>(steps, TElevatedResult{TElevatedOutcome::Declined, {}})));
    return kElevatedDeclined;
  }
  std::vector<TElevatedResult> results;
  if (request.kind == TElevatedRequest::Kind::RegisterMessageFile) {
    try {
      eventlog::RegisterMessageFile(platform.registry, kEventSourceName, request.messageFile);
      results.push_back(TElevatedResult{TElevatedOutcome::Done, {}});
    } catch (const std::exception& error) {
      results.push_back(TElevatedResult{TElevatedOutcome::Failed, error.what()});
    }
  } else {
    catalogue::TSectionReadings readings(platform);
    for (const TUndoOperation& undo : request.undos) results.push_back(CarryOut(platform, undo, readings));
  }
  return WriteText(platform.files, resultPath, EncodeResults(results)) ? kElevatedAnswered : kElevatedRefused;
}

}  // namespace korvalis::app
