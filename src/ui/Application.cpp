#include "ui/Application.h"

#include "platform/Error.h"
#include "ui/Form.h"
#include "ui/Waiters.h"

namespace korvalis::ui {

TApplication& TApplication::Instance() {
  static TApplication application;
  return application;
}

void TApplication::Initialize(HINSTANCE instance) { instance_ = instance; }

namespace {
// The system waits on at most 63 handles beside the message queue; past 62, the last of them is
// the event of the threads that wait on the rest.
constexpr std::size_t kWaitedAtMost = MAXIMUM_WAIT_OBJECTS - 1;
}  // namespace

void TApplication::Run() {
  TWaiters waiters;
  while (!terminated_) {
    std::vector<HANDLE> handles = WaitHandles ? WaitHandles() : std::vector<HANDLE>{};
    if (handles.size() > kWaitedAtMost) {
      waiters.Start(std::vector<HANDLE>(handles.begin() + kWaitedAtMost - 1, handles.end()));
      handles.resize(kWaitedAtMost - 1);
      handles.push_back(waiters.Woken());
    }
    const DWORD count = static_cast<DWORD>(handles.size());
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, handles.empty() ? nullptr : handles.data(), INFINITE,
                                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // The check and the messages may close and renew the watches: no thread may wait on them.
    waiters.Stop();
    if (woken < WAIT_OBJECT_0 + count && OnSignaled) Guarded([this] { OnSignaled(); });
    // Messages are handled after every wake, so a busy registry cannot starve the windows.
    ProcessMessages();
  }
  terminated_ = true;
}

void TApplication::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      NoteQuit(message.wParam);
      return;
    }
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

platform::Status TApplication::WaitFor(HANDLE handle) {
  while (!terminated_) {
    const DWORD woken = MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0) return platform::kSuccess;
    if (woken != WAIT_OBJECT_0 + 1) return static_cast<platform::Status>(GetLastError());
    ProcessMessages();
  }
  return platform::kErrorOperationAborted;
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
}

void TApplication::NoteQuit(WPARAM exitCode) {
  terminated_ = true;
  PostQuitMessage(static_cast<int>(exitCode));  // the outer loops must see it too
}

bool TApplication::PreTranslate(MSG& message) {
  if (modalWindow_ && IsWindow(modalWindow_)) return IsDialogMessageA(modalWindow_, &message);
  // A form shown beside the guard, such as the overview, takes Tab, Enter and Esc as well.
  const HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
  return IsFormWindow(root) && IsWindowVisible(root) && IsDialogMessageA(root, &message);
}

void TApplication::HandleException(const std::exception& error) {
  const std::string text = ErrorReportText(error.what());
  if (OnException) {
    OnException(text);
    return;
  }
  HWND owner = modalWindow_ && IsWindow(modalWindow_) ? modalWindow_ : nullptr;
  MessageBoxA(owner, text.c_str(), Title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace korvalis::ui
