#include "dialogs/win32/ProgramLookup.h"

#include <utility>

#include "platform/Error.h"
#include "ui/Application.h"

namespace korvalis::dialogs {

namespace {

// Short enough to seem at once, and a timer's tick comes only after the form has been drawn.
constexpr UINT kAfterShowMs = 10;
// Each one handed over costs the form an icon lookup: a few at a time keep it answering the user.
constexpr std::size_t kHandedOverAtOnce = 8;

}  // namespace

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
  programFiles_ = std::move(programFiles);
  errorReported_ = false;
  timer_.SetEnabled(true);
}

void TProgramLookup::Stop() {
  timer_.SetEnabled(false);
  stopping_ = true;
  if (worker_.joinable()) worker_.join();
  stopping_ = false;
  const std::lock_guard<std::mutex> lock(mutex_);
  found_.clear();
}

void TProgramLookup::Begin() {
  timer_.SetEnabled(false);
  const HWND window = form_.Handle();
  worker_ = std::thread([this, window] { Work(window); });
}

// Nothing thrown here may leave the thread: it travels to the form's thread as text.
void TProgramLookup::Work(HWND window) {
  const auto post = [&](Found found) {
    bool wasEmpty = false;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      wasEmpty = found_.empty();
      found_.push_back(std::move(found));
    }
    if (wasEmpty) PostMessageA(window, message_, 0, 0);
  };
  catalogue::SearchPath localFolders;
  std::string error;
  CatchAtBoundary(
      [&] {
        for (const std::string& folder : searchPath_)
          if (!platform_.inspector.IsRemote(catalogue::ExpandSystemRoot(platform_.environment, folder)))
            localFolders.push_back(folder);
      },
      [&](const std::exception& failure) { error = failure.what(); });
  for (std::size_t i = 0; i < programFiles_.size() && !stopping_; ++i) {
    Found found{i, {}, error};
    if (found.error.empty())
      CatchAtBoundary([&] { found.file = LookUp(programFiles_[i], localFolders); },
                      [&](const std::exception& failure) { found.error = failure.what(); });
    if (!found.error.empty()) {
      // Said as it is: the file was not checked, and it is not touched again for its icon.
      found.file = TProgramFile{programFiles_[i], true, {}};
      found.file.facts.lookup = platform::FileLookup::Found;
      found.file.facts.signature = platform::Signature::NotChecked;
    }
    post(std::move(found));
  }
}

TProgramFile TProgramLookup::LookUp(const std::string& programFile, const catalogue::SearchPath& localFolders) {
  TProgramFile file{programFile, false, {}};
  if (platform_.inspector.IsRemote(programFile)) {
    file.onNetwork = true;
    file.facts.lookup = platform::FileLookup::NotLookedUp;
    return file;
  }
  file.path = catalogue::FindProgramFile(platform_.files, platform_.environment, localFolders, programFile);
  file.facts = platform_.inspector.Inspect(file.path);
  file.onNetwork = file.facts.lookup == platform::FileLookup::NotLookedUp;
  return file;
}

void TProgramLookup::HandOver() {
  std::vector<Found> batch;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    while (!found_.empty() && batch.size() < kHandedOverAtOnce) {
      batch.push_back(std::move(found_.front()));
      found_.pop_front();
    }
    if (!found_.empty()) PostMessageA(form_.Handle(), message_, 0, 0);
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
