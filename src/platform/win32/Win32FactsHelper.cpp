#include "platform/win32/Win32FactsHelper.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/TextConversion.h"

namespace korvalis::platform::win32 {

namespace {

using UniquePipe = UniqueHandle<NullTraits<HANDLE, CloseKernelHandle>>;

bool WriteAll(HANDLE pipe, const std::string& text) {
  for (std::size_t at = 0; at < text.size();) {
    DWORD written = 0;
    if (!WriteFile(pipe, text.data() + at, static_cast<DWORD>(text.size() - at), &written, nullptr) || written == 0)
      return false;
    at += written;
  }
  return true;
}

// A path's line: the longest path the system takes, in hex, and its line end.
constexpr std::size_t kLongestPathLine = 2 * 3 * 32768 + 1;

}  // namespace

int ServeInspections(FileInspector& inspector) {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!in || in == INVALID_HANDLE_VALUE || !out || out == INVALID_HANDLE_VALUE) return 1;
  std::string pending;
  std::vector<char> chunk(4096);
  for (;;) {
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::optional<std::string> path = PathOfLine(pending.substr(0, end));
      pending.erase(0, end + 1);
      if (!path) return 1;
      FileFacts facts;
      try {
        facts = inspector.Inspect(*path);
      } catch (...) {
        // A file that cannot be read says nothing.
      }
      if (!WriteAll(out, FactsLine(facts) + "\n")) return 1;
    }
    if (pending.size() > kLongestPathLine) return 1;
    DWORD got = 0;
    if (!ReadFile(in, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) || got == 0) return 0;
    pending.append(chunk.data(), got);
  }
}

namespace {

struct Helper {
  UniqueProcess process;
  UniquePipe input;   // its standard input, written here
  UniquePipe output;  // its standard output, read here
  std::string pending;  // read past the last answer
};

// The helper's next answer, waited for in slices: one that takes too long over a file, or
// answers too much, is ended rather than waited for.
std::optional<std::string> ReadAnswer(Helper& helper, DWORD withinMs) {
  const ULONGLONG deadline = GetTickCount64() + withinMs;
  std::vector<char> chunk(4096);
  for (;;) {
    if (const auto end = helper.pending.find('\n'); end != std::string::npos) {
      std::string line = helper.pending.substr(0, end);
      helper.pending.erase(0, end + 1);
      return line;
    }
    if (helper.pending.size() > kLongestFactsLine) return std::nullopt;
    DWORD available = 0;
    if (!PeekNamedPipe(helper.output.get(), nullptr, 0, nullptr, &available, nullptr)) return std::nullopt;
    if (available == 0) {
      if (GetTickCount64() >= deadline) return std::nullopt;
      WaitForSingleObject(helper.process.get(), 10);  // at once when it ends
      continue;
    }
    DWORD got = 0;
    const DWORD want = std::min<DWORD>(available, static_cast<DWORD>(chunk.size()));
    if (!ReadFile(helper.output.get(), chunk.data(), want, &got, nullptr) || got == 0) return std::nullopt;
    helper.pending.append(chunk.data(), got);
  }
}

std::unique_ptr<Helper> StartHelper(const std::wstring& program, HANDLE job) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!CreatePipe(&read, &write, &inherited, 0)) return nullptr;
  UniquePipe helperInput(read), input(write);
  if (!CreatePipe(&read, &write, &inherited, 0)) return nullptr;
  UniquePipe output(read), helperOutput(write);
  // Only the helper's own ends go to it.
  if (!SetHandleInformation(input.get(), HANDLE_FLAG_INHERIT, 0) ||
      !SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0))
    return nullptr;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = helperInput.get();
  startup.hStdOutput = helperOutput.get();
  std::wstring commandLine = L"\"" + program + L"\" " + AnsiToWide(kInspectSwitch);
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &started))
    return nullptr;
  auto helper = std::make_unique<Helper>();
  helper->process.reset(started.hProcess);
  const UniqueProcess thread(started.hThread);
  // Ended with this process, however that ends; where jobs do not nest (Windows 7 inside a job
  // of its own) it still ends once its input does.
  if (job) AssignProcessToJobObject(job, helper->process.get());
  ResumeThread(thread.get());
  helper->input = std::move(input);
  helper->output = std::move(output);
  return helper;
}

}  // namespace

struct Win32HelperInspector::Shared {
  std::wstring program;
  UniqueProcess job;  // ends every helper when it closes, with this process at the latest
  std::mutex mutex;
  std::vector<std::unique_ptr<Helper>> idle;
  // One helper started at a time: another must not inherit the pipe ends made for this one.
  std::mutex starting;
};

Win32HelperInspector::Win32HelperInspector(std::wstring program) : shared_(std::make_shared<Shared>()) {
  shared_->program = std::move(program);
  shared_->job.reset(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (shared_->job &&
      !SetInformationJobObject(shared_->job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
    shared_->job.reset();
}

Win32HelperInspector::~Win32HelperInspector() { Rest(); }

void Win32HelperInspector::Rest() {
  std::vector<std::unique_ptr<Helper>> ending;
  {
    const std::lock_guard<std::mutex> lock(shared_->mutex);
    ending.swap(shared_->idle);
  }
  // Its input closed, each ends by itself.
}

FileFacts Win32HelperInspector::Inspect(const std::string& path) {
  if (path.empty()) return {};
  const std::shared_ptr<Shared> shared = shared_;
  std::unique_ptr<Helper> helper;
  {
    const std::lock_guard<std::mutex> lock(shared->mutex);
    if (!shared->idle.empty()) {
      helper = std::move(shared->idle.back());
      shared->idle.pop_back();
    }
  }
  if (!helper) {
    const std::lock_guard<std::mutex> lock(shared->starting);
    helper = StartHelper(shared->program, shared->job.get());
  }
  if (!helper) return {};
  const bool asked = WriteAll(helper->input.get(), PathLine(path) + "\n");
  const std::optional<std::string> line = asked ? ReadAnswer(*helper, kAnswerWithinMs) : std::nullopt;
  const std::optional<FileFacts> facts = line ? FactsOfLine(*line) : std::nullopt;
  if (!facts) {
    TerminateProcess(helper->process.get(), 1);
    return {};
  }
  const std::lock_guard<std::mutex> lock(shared->mutex);
  shared->idle.push_back(std::move(helper));
  return *facts;
}

}  // namespace korvalis::platform::win32
