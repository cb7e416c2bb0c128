#include "app/AsAdministrator.h"

#include "app/ElevatedCopy.h"
#include "app/InstallCheck.h"
#include "platform/Sha256.h"
#include "text/Fileman.h"

namespace korvalis::app {

namespace {

TElevatedRun Failed(const std::string& message) { return TElevatedRun{TElevatedRun::State::Failed, message}; }

std::string HexOf(const std::string& bytes, std::size_t count, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < count && i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    hex += std::string{digits[c >> 4], digits[c & 15]};
  }
  return hex;
}

std::vector<std::uint8_t> BytesOf(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

// A name of its own for each request: a file another program holds open (any program may open
// one) can be neither replaced nor removed, and must not stop the next request.
std::string WriteRequestFile(platform::FileSystem& files, const std::string& folder, const std::string& text) {
  constexpr int kTries = 16;
  const std::string stem = "elevated-" + HexOf(platform::Sha256Of(BytesOf(text)), 8, false);
  for (int n = 0; n < kTries; ++n) {
    const std::string path =
        text::JoinPath(folder, stem + (n == 0 ? std::string() : "-" + std::to_string(n)) + kRequestExtension);
    if (!files.IsFile(path) && files.WriteFileAtomically(path, BytesOf(text))) return path;
  }
  return std::string();
}

}  // namespace

std::string RequestFolder(platform::Environment& environment) {
  const std::string local = environment.LocalAppDataFolder();
  // The user's own profile folder, which other users cannot write.
  if (local.empty()) return std::string();
  return text::JoinPath(local, "Korvalis");
}

std::vector<TElevatedRequest> SplitIntoRequests(const std::vector<TUndoOperation>& undos) {
  std::vector<TElevatedRequest> requests;
  std::size_t bytes = 0;
  for (const TUndoOperation& undo : undos) {
    TElevatedRequest one;
    one.undos = {undo};
    const std::size_t size = EncodeRequest(one).size();
    if (requests.empty() || requests.back().undos.size() >= kMaxUndosPerRequest || bytes + size > kMaxRequestBytes) {
      requests.emplace_back();
      bytes = 0;
    }
    requests.back().undos.push_back(undo);
    bytes += size;
  }
  return requests;
}

std::string RequestCode(const std::string& requestText) {
  const std::string hex = HexOf(platform::Sha256Of(BytesOf(requestText)), 4, true);
  return hex.substr(0, 4) + " " + hex.substr(4);
}

TElevatedRun RunAsAdministrator(const platform::Platform& platform, const TElevatedRequest& request,
                                platform::WindowHandle owner) {
  // Whatever asks: a program file a program running as the user could change never runs elevated.
  const std::vector<std::string> changeable = InstallCheck(platform.security, platform.environment.ProgramPath());
  if (!changeable.empty()) return Failed(UndoNotOfferedText(changeable));
  platform::FileSystem& files = platform.files;
  const std::string folder = RequestFolder(platform.environment);
  const std::string requestPath = folder.empty() || !files.CreateFolders(folder)
                                      ? std::string()
                                      : WriteRequestFile(files, folder, EncodeRequest(request));
  if (requestPath.empty())
    return Failed(FormatText("Cannot write the request for Korvalis as administrator in %s", folder));
  std::uint32_t exitCode = 0;
  const platform::Status status = platform.elevation.RunElevated(
      platform.environment.ProgramPath(), std::string(kElevatedSwitch) + " \"" + requestPath + "\"", owner, exitCode);
  files.RemoveFile(requestPath);
  if (status == platform::kErrorCancelled) return TElevatedRun{TElevatedRun::State::Declined, {}};
  if (status == platform::kErrorOperationAborted) return TElevatedRun{TElevatedRun::State::Unanswered, {}};
  if (status != platform::kSuccess) return Failed(FormatText("Cannot start Korvalis as administrator (error %d)", status));
  if (exitCode == static_cast<std::uint32_t>(kElevatedAnswered)) return TElevatedRun{TElevatedRun::State::Answered, {}};
  if (exitCode == static_cast<std::uint32_t>(kElevatedDeclined)) return TElevatedRun{TElevatedRun::State::Cancelled, {}};
  if (exitCode == static_cast<std::uint32_t>(kElevatedRefused)) return Failed("Korvalis as administrator refused the request");
  return Failed(FormatText("Korvalis as administrator ended with code %d", static_cast<long long>(exitCode)));
}

}  // namespace korvalis::app
