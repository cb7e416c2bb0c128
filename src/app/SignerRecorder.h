#pragma once
// The signers of accepted entries' program files, read on a thread of its own so that no
// question waits for a signature. A file a program holds up is given up after a while, and the
// rest are read by a thread of their own; after a few such files nothing more is read.
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/FileFacts.h"
#include "platform/FileSystem.h"

namespace korvalis::app {

class TSignerRecorder {
 public:
  TSignerRecorder(platform::FileSystem& files, platform::FileInspector& inspector);
  // Tells the reading to stop and waits for it a bounded time: what a program holds is left.
  ~TSignerRecorder();
  TSignerRecorder(const TSignerRecorder&) = delete;
  TSignerRecorder& operator=(const TSignerRecorder&) = delete;

  // Queues the program files given by a local absolute path that were neither read nor queued.
  void Want(const std::vector<std::string>& programFiles);
  // The valid signatures' signers read since the last call, by program file as queued.
  std::vector<std::pair<std::string, std::string>> TakeFound();

  static constexpr std::chrono::seconds kStuckAfter{10};
  static constexpr int kStuckFilesAtMost = 3;
  static constexpr std::size_t kKnownAtMost = 20000;  // read again after that many, rather than grow

 private:
  struct State;
  static void ReadQueued(std::shared_ptr<State> state, platform::FileSystem& files, platform::FileInspector& inspector);
  void Start();
  void GiveUpStuck();

  platform::FileSystem& files_;
  platform::FileInspector& inspector_;
  std::shared_ptr<State> state_;  // of the thread reading now; a stuck one keeps its own
  std::unordered_set<std::string> known_;  // queued or read, folded
  int stuck_ = 0;
};

}  // namespace korvalis::app
