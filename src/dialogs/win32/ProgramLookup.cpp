#include "dialogs/win32/ProgramLookup.h"

#include <shellapi.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

#include "dialogs/win32/ProgramIcon.h"
#include "platform/Error.h"
#include "platform/win32/ComScope.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

namespace {

// Short enough to seem at once, and a timer's tick comes only after the form has been drawn.
constexpr UINT kAfterShowMs = 10;
// Each one handed over costs the form a label and a row: a few at a time keep it answering the user.
constexpr std::size_t kHandedOverAtOnce = 8;
// What an answer waits at most for the file being read, and how often its read is cancelled
// meanwhile: a cancel that came before the read began reaches nothing.
constexpr ULONGLONG kLongestWaitMs = 100;
constexpr DWORD kCancelEveryMs = 10;

struct Found {
  std::size_t index;
  TProgramFile file;
  std::string error;  // what went wrong, for the central report on the form's thread
};

}  // namespace

// Everything the worker touches is its own or the program's, so a worker left to end on its
// own after its question has gone touches nothing freed.
struct TProgramLookup::Work {
  Work(const platform::Platform& platform, catalogue::SearchPath searchPath, std::vector<std::string> programFiles,
       HWND window, UINT message)
      : platform(platform),
        searchPath(std::move(searchPath)),
        programFiles(std::move(programFiles)),
        window(window),
        message(message) {}

  static DWORD WINAPI ThreadMain(void* parameter);
  void Run();
  TProgramFile LookUp(const std::string& programFile, const catalogue::SearchPath& localFolders);
  void Post(Found found);

  const platform::Platform platform;
  const catalogue::SearchPath searchPath;
  const std::vector<std::string> programFiles;
  const HWND window;
  const UINT message;
  std::atomic<bool> stopped{false};
  std::mutex mutex;
  std::deque<Found> found;  // guarded by mutex
};

DWORD WINAPI TProgramLookup::Work::ThreadMain(void* parameter) {
  const std::unique_ptr<std::shared_ptr<Work>> work(static_cast<std::shared_ptr<Work>*>(parameter));
  (*work)->Run();
  return 0;
}

// Nothing thrown here may leave the thread: it travels to the form's thread as text.
void TProgramLookup::Work::Run() {
  const platform::win32::ComScope com;  // for the shell's icons, for the worker's life
  catalogue::SearchPath localFolders;
  std::string error;
  CatchAtBoundary(
      [&] { localFolders = catalogue::LocalFolders(platform.inspector, platform.environment, searchPath); },
      [&](const std::exception& failure) { error = failure.what(); });
  for (std::size_t i = 0; i < programFiles.size() && !stopped; ++i) {
    Found next{i, {}, error};
    if (next.error.empty())
      CatchAtBoundary([&] { next.file = LookUp(programFiles[i], localFolders); },
                      [&](const std::exception& failure) { next.error = failure.what(); });
    if (next.error.empty()) {
      next.file.iconIndex = FileIconIndex(next.file, SHGFI_SMALLICON);
    } else {
      // Said as it is: the file was not checked, and it is not touched again for its icon.
      next.file = TProgramFile{programFiles[i], true, {}, -1};
      next.file.facts.lookup = platform::FileLookup::Found;
      next.file.facts.signature = platform::Signature::NotChecked;
    }
    Post(std::move(next));
  }
}

TProgramFile TProgramLookup::Work::LookUp(const std::string& programFile, const catalogue::SearchPath& localFolders) {
  TProgramFile file{programFile, false, {}, -1};
  if (platform.inspector.IsRemote(programFile)) {
    file.neverTouched = true;
    file.facts.lookup = platform::UntouchedLookup(programFile);
    return file;
  }
  file.path = catalogue::FindProgramFile(platform.files, platform.environment, localFolders, programFile);
  file.facts = platform.inspector.Inspect(file.path);
  file.neverTouched =
      file.facts.lookup != platform::FileLookup::Found && file.facts.lookup != platform::FileLookup::NotFound;
  return file;
}

void TProgramLookup::Work::Post(Found next) {
  const std::lock_guard<std::mutex> lock(mutex);
  // Once stopped, the window may be gone and its handle another window's.
  if (stopped) return;
  const bool wasEmpty = found.empty();
  found.push_back(std::move(next));
  if (wasEmpty) PostMessageA(window, message, 0, 0);
}

TProgramLookup::TProgramLookup(ui::TForm& form, UINT_PTR timerId, UINT message, const platform::Platform& platform,
                               const catalogue::SearchPath& searchPath)
    : form_(form),
      message_(message),
      platform_(platform),
      searchPath_(searchPath),
      timer_(form.Handle(), timerId, kAfterShowMs) {
  timer_.OnTimer = [this] { Begin(); };
  form.AddTimer(timer_);
  form.OnMessage(message, [this] { HandOver(); });
}

TProgramLookup::~TProgramLookup() { Stop(); }

void TProgramLookup::Start(std::vector<std::string> programFiles) {
  Stop();
  work_ = std::make_shared<Work>(platform_, searchPath_, std::move(programFiles), form_.Handle(), message_);
  errorReported_ = false;
  timer_.SetEnabled(true);
}

void TProgramLookup::Stop() {
  timer_.SetEnabled(false);
  if (work_) {
    const std::lock_guard<std::mutex> lock(work_->mutex);
    work_->stopped = true;
    work_->found.clear();
  }
  if (worker_) {
    // A read stuck on a pipe, a device, an oplock or a slow drive is cancelled; a worker that
    // does not end even so keeps its share of the work and ends on its own.
    const ULONGLONG deadline = GetTickCount64() + kLongestWaitMs;
    while (WaitForSingleObject(worker_.get(), 0) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
      CancelSynchronousIo(worker_.get());
      WaitForSingleObject(worker_.get(), kCancelEveryMs);
    }
  }
  worker_.reset();
  work_.reset();
}

void TProgramLookup::Begin() {
  timer_.SetEnabled(false);
  if (!work_ || worker_) return;
  auto shared = std::make_unique<std::shared_ptr<Work>>(work_);
  worker_.reset(CreateThread(nullptr, 0, &Work::ThreadMain, shared.get(), 0, nullptr));
  if (worker_)
    static_cast<void>(shared.release());  // the thread's now
  else
    ui::Application().HandleException(Error("Cannot start looking up the program files"));
}

void TProgramLookup::HandOver() {
  if (!work_) return;
  std::vector<Found> batch;
  {
    const std::lock_guard<std::mutex> lock(work_->mutex);
    while (!work_->found.empty() && batch.size() < kHandedOverAtOnce) {
      batch.push_back(std::move(work_->found.front()));
      work_->found.pop_front();
    }
    if (!work_->found.empty()) PostMessageA(form_.Handle(), message_, 0, 0);
  }
  for (const Found& found : batch) {
    // One report for the whole question: the same failure would otherwise come once a file.
    if (!found.error.empty() && !errorReported_) {
      errorReported_ = true;
      ui::Application().HandleException(Error(found.error));
    }
    if (OnFound) OnFound(found.index, found.file);
  }
}

}  // namespace korvalis::dialogs
