#pragma once
// The application: its title, main form, message loop and the central error report.
#include <windows.h>

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/SystemCodes.h"

namespace korvalis::ui {

class TForm;

class TApplication {
 public:
  static TApplication& Instance();

  void Initialize(HINSTANCE instance);
  HINSTANCE Handle() const { return instance_; }

  std::string Title;

  void SetMainForm(TForm* form) { mainForm_ = form; }
  TForm* MainForm() const { return mainForm_; }

  // Dispatches messages until the application is told to end. Between messages it sleeps on
  // WaitHandles as well, and runs OnSignaled as soon as one of them is set.
  void Run();
  std::function<std::vector<HANDLE>()> WaitHandles;
  std::function<void()> OnSignaled;
  // Handles every message waiting now, then returns.
  void ProcessMessages();
  // Waits for the handle while the windows, the tray and the timers go on: kSuccess once it is
  // set, kErrorOperationAborted when the application is told to end first.
  platform::Status WaitFor(HANDLE handle);
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Seen by a modal loop that received the request to end: it ends, and so does every later one.
  void NoteQuit(WPARAM exitCode);

  // Shows an error that escaped an event handler: its text, the title as caption, an error icon.
  void HandleException(const std::exception& error);
  // Replaces the message box, for tests that must not block on one.
  std::function<void(const std::string& text)> OnException;

  // Keyboard handling of the active modal form (Tab, Enter, Esc) in any message loop.
  bool PreTranslate(MSG& message);
  void SetModalWindow(HWND window) { modalWindow_ = window; }
  HWND ModalWindow() const { return modalWindow_; }

 private:
  TApplication() = default;
  HINSTANCE instance_ = nullptr;
  TForm* mainForm_ = nullptr;
  HWND modalWindow_ = nullptr;
  bool terminated_ = false;
};

inline TApplication& Application() { return TApplication::Instance(); }

// Runs an event handler, handing any error to the central report: no exception ever leaves a
// window procedure or a callback of the system.
template <typename Handler>
void Guarded(Handler&& handler) {
  CatchAtBoundary(handler, [](const std::exception& error) { Application().HandleException(error); });
}

}  // namespace korvalis::ui
