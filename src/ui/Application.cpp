#include "ui/Application.h"

#include "platform/Error.h"
#include "ui/Form.h"

namespace korvalis::ui {

TApplication& TApplication::Instance() {
  static TApplication application;
  return application;
}

void TApplication::Initialize(HINSTANCE instance) { instance_ = instance; }

void TApplication::Run() {
  MSG message;
  while (!terminated_) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
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
