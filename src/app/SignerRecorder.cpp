#include "app/SignerRecorder.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/UpdateRule.h"
#include "text/StrMan.h"

namespace korvalis::app {

struct TSignerRecorder::State {
  std::mutex mutex;
  std::condition_variable ended;
  std::deque<std::string> queue;
  std::vector<std::pair<std::string, std::string>> found;
  std::string reading;  // the file being read now
  std::chrono::steady_clock::time_point readSince;
  bool running = false;
  bool stop = false;
};

namespace {

constexpr std::chrono::seconds kEndWait{1};

}  // namespace

TSignerRecorder::TSignerRecorder(platform::FileSystem& files, platform::FileInspector& inspector)
    : files_(files), inspector_(inspector), state_(std::make_shared<State>()) {}

TSignerRecorder::~TSignerRecorder() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->stop = true;
  state_->queue.clear();
  state_->ended.wait_for(lock, kEndWait, [&] { return !state_->running; });
}

void TSignerRecorder::Want(const std::vector<std::string>& programFiles) {
  if (stuck_ >= kStuckFilesAtMost) return;
  GiveUpStuck();
  if (known_.size() > kKnownAtMost) known_.clear();
  std::vector<std::string> wanted;
  for (const std::string& program : programFiles)
    if (InspectablePath(program) && known_.insert(text::UpperAscii(program)).second) wanted.push_back(program);
  if (wanted.empty()) return;
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->queue.insert(state_->queue.end(), wanted.begin(), wanted.end());
    if (state_->running) return;
  }
  Start();
}

std::vector<std::pair<std::string, std::string>> TSignerRecorder::TakeFound() {
  GiveUpStuck();
  std::vector<std::pair<std::string, std::string>> found;
  const std::lock_guard<std::mutex> lock(state_->mutex);
  found.swap(state_->found);
  return found;
}

void TSignerRecorder::Start() {
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->running = true;
  }
  try {
    std::thread(&TSignerRecorder::ReadQueued, state_, std::ref(files_), std::ref(inspector_)).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the signers are read at the change, as when none was recorded.
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->running = false;
    state_->queue.clear();
  }
}

void TSignerRecorder::GiveUpStuck() {
  // Looked at every tick: nothing is allocated unless a file is stuck.
  std::shared_ptr<State> fresh;
  {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->running || state_->reading.empty() ||
        std::chrono::steady_clock::now() - state_->readSince < kStuckAfter)
      return;
    fresh = std::make_shared<State>();
    // The stuck thread keeps its own state and ends once its file answers, recording nothing.
    state_->stop = true;
    fresh->found = std::move(state_->found);
    if (++stuck_ < kStuckFilesAtMost) fresh->queue = std::move(state_->queue);
  }
  state_ = fresh;
  if (!state_->queue.empty()) Start();
}

void TSignerRecorder::ReadQueued(std::shared_ptr<State> state, platform::FileSystem& files,
                                 platform::FileInspector& inspector) {
  std::unique_lock<std::mutex> lock(state->mutex);
  while (!state->stop && !state->queue.empty()) {
    std::string program = std::move(state->queue.front());
    state->queue.pop_front();
    state->reading = program;
    state->readSince = std::chrono::steady_clock::now();
    lock.unlock();
    platform::FileFacts facts;
    try {
      // Never a drive mapped to a share: a look there sends the user's credentials to its server.
      // A file not there has no signer to record, and is not worth a look at its signature.
      if (!inspector.IsRemote(program) && files.IsFile(program)) facts = inspector.Inspect(program);
    } catch (...) {
      // Nothing escapes a thread: a file that cannot be read has no signer recorded.
    }
    lock.lock();
    state->reading.clear();
    if (!state->stop && facts.lookup == platform::FileLookup::Found &&
        facts.signature == platform::Signature::Valid && !facts.signer.empty())
      state->found.emplace_back(std::move(program), std::move(facts.signer));
  }
  lock.unlock();
  inspector.Rest();
  lock.lock();
  state->running = false;
  state->ended.notify_all();
}

}  // namespace korvalis::app
