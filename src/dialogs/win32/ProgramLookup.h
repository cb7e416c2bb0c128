#pragma once
// The program files of a question's entries, looked up only once the question is on the screen
// and never on the network nor in the device namespace: found, read and given their icons on a
// worker thread, and handed to the window as they come, so that no slow disk, big file, pipe or
// file held under an oplock holds the question up, nor its answer.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/SearchPath.h"
#include "platform/Platform.h"
#include "ui/Form.h"
#include "ui/GdiHandles.h"
#include "ui/Timer.h"

namespace korvalis::dialogs {

struct TProgramFile {
  std::string path;           // as found; the name itself when no file of that name was found
  bool neverTouched = false;  // on the network, a pipe or a device: not even touched for its icon
  platform::FileFacts facts;
  int iconIndex = -1;  // the file's own icon in the system image list (large and small alike), or -1
};

class TProgramLookup {
 public:
  // Made in the form's BuildControls: the timer and the message are the form's. The platform
  // is the program's and outlives every lookup, even one left to end on its own.
  TProgramLookup(ui::TForm& form, UINT_PTR timerId, UINT message, const platform::Platform& platform,
                 const catalogue::SearchPath& searchPath);
  ~TProgramLookup();
  TProgramLookup(const TProgramLookup&) = delete;
  TProgramLookup& operator=(const TProgramLookup&) = delete;

  // Looks up the program files once the form has been drawn; what an earlier call found and
  // has not been handed over yet is dropped.
  void Start(std::vector<std::string> programFiles);
  // Nothing more is handed over. The file being read gets about 100 ms, its read cancelled; a
  // worker stuck even so is left to end on its own, and touches neither the window nor this
  // object. Called once the question is answered and before the window is destroyed.
  void Stop();

  // On the form's thread, once for each program file, in the order given.
  std::function<void(std::size_t index, const TProgramFile& file)> OnFound;

 private:
  struct Work;  // what the worker uses, owned by it and by this object together
  static void CloseThread(HANDLE thread) { CloseHandle(thread); }
  using UniqueThread = ui::UniqueHandle<ui::NullTraits<HANDLE, CloseThread>>;

  void Begin();
  void HandOver();

  ui::TForm& form_;
  UINT message_;
  platform::Platform platform_;
  const catalogue::SearchPath& searchPath_;
  ui::TTimer timer_;
  bool errorReported_ = false;
  std::shared_ptr<Work> work_;  // the lookup under way, started or waiting for the timer
  UniqueThread worker_;
};

}  // namespace korvalis::dialogs
