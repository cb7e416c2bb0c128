#include "ui/Form.h"

#include "ui/Application.h"
#include "ui/Dpi.h"
#include "ui/Timer.h"

namespace korvalis::ui {

namespace {

constexpr char kFormClass[] = "KorvalisForm";

void RegisterFormClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Application().Handle();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.hIcon = LoadIconA(Application().Handle(), "MAINICON");
    windowClass.lpszClassName = kFormClass;
    return RegisterClassExA(&windowClass) != 0;
  }();
  (void)registered;
}

DWORD StyleOf(TBorderStyle border) {
  switch (border) {
    case TBorderStyle::None: return WS_POPUP;
    case TBorderStyle::Single: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_BORDER;
    case TBorderStyle::Sizeable: return WS_OVERLAPPEDWINDOW;
    case TBorderStyle::Dialog: return WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    case TBorderStyle::ToolWindow: return WS_POPUP | WS_CAPTION | WS_SYSMENU;
    case TBorderStyle::SizeToolWin: return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
  }
  return WS_OVERLAPPEDWINDOW;
}

DWORD ExStyleOf(TBorderStyle border) {
  DWORD style = WS_EX_CONTROLPARENT;
  if (border == TBorderStyle::Dialog) style |= WS_EX_DLGMODALFRAME;
  if (border == TBorderStyle::ToolWindow || border == TBorderStyle::SizeToolWin) style |= WS_EX_TOOLWINDOW;
  return style;
}

UniqueFont MakeFontOf(const char* face, bool bold) {
  LOGFONTA font{};
  font.lfHeight = -MulDiv(8, ScreenDpi(), 72);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
  return UniqueFont(CreateFontIndirectA(&font));
}

std::string FaceOf(HFONT font) {
  const WindowDC dc(nullptr);
  const SelectedObject selected(dc.get(), font);
  char face[LF_FACESIZE] = {};
  GetTextFaceA(dc.get(), LF_FACESIZE, face);
  return face;
}

// The layouts are measured in MS Sans Serif 8 point; where the system substitutes a wider face
// for it, Tahoma keeps the same metrics.
UniqueFont MakeFont(bool bold) {
  UniqueFont font = MakeFontOf("MS Sans Serif", bold);
  const std::string face = FaceOf(font.get());
  if (face == "MS Sans Serif" || face == "Microsoft Sans Serif") return font;
  return MakeFontOf("Tahoma", bold);
}

// How much wider the face at hand sets text than the design font, whose letters average 5.75
// pixels at 8 point on a 96 dpi screen; never narrower than designed.
double WidthFactor(HFONT font) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  SIZE size{};
  {
    const WindowDC dc(nullptr);
    const SelectedObject selected(dc.get(), font);
    GetTextExtentPoint32A(dc.get(), kLetters, 52, &size);
  }
  const double designed = 5.75 * ScreenDpi() / 96.0;
  const double average = size.cx / 52.0;
  return average > designed ? average / designed : 1.0;
}

}  // namespace

bool IsFormWindow(HWND window) {
  char name[sizeof kFormClass + 1] = {};
  return window && GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, kFormClass) == 0;
}

int TForm::ScaleX(int pixels) const { return static_cast<int>(Scale(pixels) * widthFactor_ + 0.5); }

int TForm::ScaleY(int pixels) const { return Scale(pixels); }

RECT TForm::ScaleRect(const TBounds& b) const {
  return RECT{ScaleX(b.left), ScaleY(b.top), ScaleX(b.left + b.width), ScaleY(b.top + b.height)};
}

TForm::TForm(HWND owner, TFormDesign design) : owner_(owner), design_(std::move(design)) {}

TForm::~TForm() { DestroyForm(); }

void TForm::Create() {
  RegisterFormClass(&TForm::WindowProc);
  font_ = MakeFont(false);
  boldFont_ = MakeFont(true);
  widthFactor_ = WidthFactor(font_.get());
  const DWORD style = StyleOf(design_.border);
  const DWORD exStyle = ExStyleOf(design_.border);
  RECT frame{0, 0, ScaleX(design_.clientWidth), ScaleY(design_.clientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  window_ = CreateWindowExA(exStyle, kFormClass, design_.caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, owner_, nullptr,
                            Application().Handle(), this);
  if (!window_) throw std::runtime_error("Cannot create the window " + design_.caption);
  if (design_.position == TPosition::DesktopCenter || design_.position == TPosition::ScreenCenter) CenterOnDesktop();
  BuildControls();
  Guarded([this] { FormCreate(); });
}

void TForm::CenterOnDesktop() {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT r{};
  GetWindowRect(window_, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::DestroyForm() {
  if (destroyed_ || !window_) return;
  destroyed_ = true;
  Guarded([this] { FormDestroy(); });
  for (TTimer* timer : timers_) timer->SetEnabled(false);
  controls_.clear();
  if (IsWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
}

void TForm::AddTimer(TTimer& timer) { timers_.push_back(&timer); }

void TForm::OnMessage(UINT message, std::function<void()> handler) {
  messageHandlers_.emplace_back(message, std::move(handler));
}

int TForm::ShowModal() {
  modal_ = true;
  modalResult_ = mrNone;
  const HWND previousModal = Application().ModalWindow();
  Guarded([this] { FormShow(); });
  const bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
  if (ownerWasEnabled) EnableWindow(owner_, FALSE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  Application().SetModalWindow(window_);
  if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE)) SetFocus(first);

  MSG message;
  while (modalResult_ == mrNone) {
    if (Application().Terminated()) {
      modalResult_ = mrCancel;  // ends without a close query
      break;
    }
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      Application().NoteQuit(got == 0 ? message.wParam : 0);
      modalResult_ = mrCancel;
      break;
    }
    if (!Application().PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (modalResult_ != mrNone && !Application().Terminated() && !RunCloseQuery()) modalResult_ = mrNone;
  }

  if (ownerWasEnabled) EnableWindow(owner_, TRUE);
  ShowWindow(window_, SW_HIDE);
  Application().SetModalWindow(previousModal);
  if (owner_) SetForegroundWindow(owner_);
  modal_ = false;
  return modalResult_;
}

bool TForm::RunCloseQuery() {
  bool allowed = false;
  Guarded([&] { allowed = FormCloseQuery(); });
  return allowed;
}

void TForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;  // the modal loop runs the close query
    return;
  }
  if (!RunCloseQuery()) return;
  Guarded([this] { FormClose(); });
  if (Application().MainForm() == this)
    Application().Terminate();
  else
    ShowWindow(window_, SW_HIDE);
}

void TForm::Invalidate(const RECT& area) {
  if (window_) InvalidateRect(window_, &area, TRUE);
}

TButton* TForm::ButtonWhere(bool (TButton::*test)() const) const {
  for (const auto& control : controls_)
    if (auto* button = dynamic_cast<TButton*>(control.get()); button && (button->*test)()) return button;
  return nullptr;
}

TButton* TForm::FocusedButton() const {
  const HWND focus = GetFocus();
  for (const auto& control : controls_)
    if (auto* button = dynamic_cast<TButton*>(control.get()); button && button->Handle() == focus) return button;
  return nullptr;
}

void TForm::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  for (const auto& control : controls_) control->Paint(dc);
  EndPaint(window_, &paint);
}

LRESULT TForm::ColorStatic(HDC dc, HWND control) {
  // A label takes the colour of what lies beneath it: the face, the white band or the info box.
  for (const auto& c : controls_) {
    auto* label = dynamic_cast<TLabel*>(c.get());
    if (!label || label->Handle() != control) continue;
    SetBkColor(dc, ColorOf(label->Look().background));
    SetTextColor(dc, ColorOf(label->Look().textColor));
    return reinterpret_cast<LRESULT>(BrushOf(label->Look().background));
  }
  SetBkColor(dc, ColorOf(TColor::BtnFace));
  return reinterpret_cast<LRESULT>(BrushOf(TColor::BtnFace));
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  for (const auto& [handled, handler] : messageHandlers_)
    if (handled == message) {
      handler();
      return 0;
    }
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_CTLCOLORSTATIC:
      return ColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
      Close();
      return 0;
    case DM_GETDEFID:
      // Enter presses the focused button, else the default one.
      if (TButton* focused = FocusedButton()) return MAKELRESULT(focused->Id(), DC_HASDEFID);
      if (TButton* button = ButtonWhere(&TButton::IsDefault)) return MAKELRESULT(button->Id(), DC_HASDEFID);
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      for (const auto& control : controls_)
        if (auto* win = dynamic_cast<TWinControl*>(control.get()); win && win->Handle() == header->hwndFrom)
          return win->Notify(*header);
      break;
    }
    case WM_TIMER:
      for (TTimer* timer : timers_)
        if (timer->Id() == wParam) timer->Tick();
      return 0;
    case WM_COMMAND: {
      const WORD id = LOWORD(wParam);
      if (id == IDCANCEL) {
        // Esc: the cancel button when there is one, otherwise what the close box does.
        if (TButton* cancel = ButtonWhere(&TButton::IsCancel))
          cancel->Click();
        else if (modal_)
          Close();
        return 0;
      }
      if (id == IDOK) {
        if (TButton* button = ButtonWhere(&TButton::IsDefault)) button->Click();
        return 0;
      }
      for (const auto& control : controls_)
        if (auto* win = dynamic_cast<TWinControl*>(control.get()); win && win->Id() == id) win->Command(HIWORD(wParam));
      return 0;
    }
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK TForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<TForm*>(create->lpCreateParams)->window_ = window;
  }
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  LRESULT result = 0;
  bool handled = false;
  Guarded([&] {
    result = form->HandleMessage(message, wParam, lParam);
    handled = true;
  });
  return handled ? result : 0;
}

}  // namespace korvalis::ui
