#pragma once
// The program files of a question's entries, looked up only once the question is on the screen
// and never on the network: found and read on a worker thread, and handed to the window as they
// come, so that no slow disk or big file holds the question up.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/SearchPath.h"
#include "platform/Platform.h"
#include "ui/Form.h"
#include "ui/Timer.h"

namespace korvalis::dialogs {

struct TProgramFile {
  std::string path;        // as found; the name itself when no file of that name was found
  bool onNetwork = false;  // never touched, not even for its icon
  platform::FileFacts facts;
};

class TProgramLookup {
 public:
  // Made in the form's BuildControls: the timer and the message are the form's.
  TProgramLookup(ui::TForm& form, UINT_PTR timerId, UINT message, const platform::Platform& platform,
                 const catalogue::SearchPath& searchPath);
  ~TProgramLookup();
  TProgramLookup(const TProgramLookup&) = delete;
  TProgramLookup& operator=(const TProgramLookup&) = delete;

  // Looks up the program files once the form has been drawn; what an earlier call found and
  // has not been handed over yet is dropped.
  void Start(std::vector<std::string> programFiles);
  // Waits for the file being read, if any; nothing more is handed over. Called before the
  // window is destroyed.
  void Stop();

  // On the form's thread, once for each program file, in the order given.
  std::function<void(std::size_t index, const TProgramFile& file)> OnFound;

 private:
  struct Found {
    std::size_t index;
    TProgramFile file;
    std::string error;  // what went wrong, for the central report on the form's thread
  };
  void Begin();
  void Work(HWND window);
  TProgramFile LookUp(const std::string& programFile, const catalogue::SearchPath& localFolders);
  void HandOver();

  ui::TForm& form_;
  UINT message_;
  platform::Platform platform_;
  const catalogue::SearchPath& searchPath_;
  ui::TTimer timer_;
  std::vector<std::string> programFiles_;  // read by the worker while it runs, else the form's
  bool errorReported_ = false;
  std::thread worker_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::deque<Found> found_;  // guarded by mutex_
};

}  // namespace korvalis::dialogs
