#include "ui/Application.h"

#include <algorithm>

#include "platform/Error.h"
#include "ui/Form.h"

namespace korvalis::ui {

TApplication& TApplication::Instance() {
  static TApplication application;
  return application;
}

void TApplication::Initialize(HINSTANCE instance) { instance_ = instance; }

namespace {

// The system waits on at most 63 handles beside the message queue; those past that are looked
// at this often instead. A look never resets a handle: every watch is a manual-reset handle.
constexpr DWORD kWaitedAtMost = MAXIMUM_WAIT_OBJECTS - 1;
constexpr DWORD kLookAtTheRestMs = 1000;

bool AnySignaled(const std::vector<HANDLE>& handles) {
  for (std::size_t at = 0; at < handles.size(); at += MAXIMUM_WAIT_OBJECTS) {
    const DWORD count = static_cast<DWORD>(std::min<std::size_t>(handles.size() - at, MAXIMUM_WAIT_OBJECTS));
    if (WaitForMultipleObjects(count, handles.data() + at, FALSE, 0) < WAIT_OBJECT_0 + count) return true;
  }
  return false;
}

}  // namespace

void TApplication::Run() {
  while (!terminated_) {
    std::vector<HANDLE> handles = WaitHandles ? WaitHandles() : std::vector<HANDLE>{};
    std::vector<HANDLE> rest;
    if (handles.size() > kWaitedAtMost) {
      rest.assign(handles.begin() + kWaitedAtMost, handles.end());
      handles.resize(kWaitedAtMost);
    }
    const DWORD count = static_cast<DWORD>(handles.size());
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, handles.empty() ? nullptr : handles.data(),
                                                    rest.empty() ? INFINITE : kLookAtTheRestMs, QS_ALLINPUT,
                                                    MWMO_INPUTAVAILABLE);
    const bool signaled = woken < WAIT_OBJECT_0 + count || (woken == WAIT_TIMEOUT && AnySignaled(rest));
    if (signaled && OnSignaled) Guarded([this] { OnSignaled(); });
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

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
}

void TApplication::NoteQuit(WPARAM exitCode) {
  terminated_ = true;
  PostQuitMessage(static_cast<int>(exitCode));  // the outer loops must see it too
}

bool TApplication::PreTranslate(MSG& message) {
  return modalWindow_ && IsWindow(modalWindow_) && IsDialogMessageA(modalWindow_, &message);
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
