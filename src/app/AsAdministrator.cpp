#include "app/AsAdministrator.h"

#include "app/ElevatedCopy.h"
#include "app/InstallCheck.h"
#include "text/Fileman.h"

namespace korvalis::app {

namespace {
TElevatedRun Failed(const std::string& message) { return TElevatedRun{TElevatedRun::State::Failed, {}, message}; }
}  // namespace

std::string RequestPath(platform::Environment& environment) {
  const std::string local = environment.LocalAppDataFolder();
  // The user's own profile folder, which other users cannot write.
  if (local.empty()) return std::string();
  return text::JoinPath(text::JoinPath(local, "Korvalis"), std::string("elevated") + kRequestExtension);
}

TElevatedRun RunAsAdministrator(const platform::Platform& platform, const TElevatedRequest& request,
                                platform::WindowHandle owner) {
  // Whatever asks: a program file a program running as the user could change never runs elevated.
  const std::vector<std::string> changeable = InstallCheck(platform.security, platform.environment.ProgramPath());
  if (!changeable.empty()) return Failed(UndoNotOfferedText(changeable));
  platform::FileSystem& files = platform.files;
  const std::string requestPath = RequestPath(platform.environment);
  const std::string resultPath = ResultPathOf(requestPath);
  const std::string text = EncodeRequest(request);
  if (requestPath.empty() || !files.CreateFolders(text::FileDir(requestPath)) ||
      (files.IsFile(resultPath) && !files.RemoveFile(resultPath)) ||
      !files.WriteFileAtomically(requestPath, std::vector<std::uint8_t>(text.begin(), text.end())))
    return Failed(FormatText("Cannot write the request for Korvalis as administrator %s", requestPath));
  std::uint32_t exitCode = 0;
  const platform::Status status = platform.elevation.RunElevated(
      platform.environment.ProgramPath(), std::string(kElevatedSwitch) + " \"" + requestPath + "\"", owner, exitCode);
  std::vector<std::uint8_t> answer;
  const bool answered = status == platform::kSuccess && files.ReadFile(resultPath, answer);
  files.RemoveFile(requestPath);
  files.RemoveFile(resultPath);
  if (status == platform::kErrorCancelled) return TElevatedRun{TElevatedRun::State::Declined, {}, {}};
  if (status != platform::kSuccess) return Failed(FormatText("Cannot start Korvalis as administrator (error %d)", status));
  if (!answered) return Failed("Korvalis as administrator gave no answer");
  TElevatedRun run{TElevatedRun::State::Answered, {}, {}};
  std::string refused;
  try {
    run.results = ParseResults(std::string(answer.begin(), answer.end()), refused);
  } catch (const TRequestRefused&) {
    return Failed("Korvalis as administrator gave a damaged answer");
  }
  if (!refused.empty()) return Failed("Korvalis as administrator refused the request: " + refused);
  const std::size_t steps = request.kind == TElevatedRequest::Kind::Undo ? request.undos.size() : 1;
  if (run.results.size() != steps) return Failed("Korvalis as administrator gave a damaged answer");
  return run;
}

}  // namespace korvalis::app
