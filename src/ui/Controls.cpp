#include "ui/Controls.h"

#include <commctrl.h>

#include <vector>

#include "ui/Application.h"
#include "ui/CommonControls.h"
#include "ui/Dpi.h"
#include "ui/Form.h"

namespace korvalis::ui {

RECT TControl::ScaledRect() const { return form_.ScaleRect(bounds_); }

TWinControl::~TWinControl() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
}

void TWinControl::CreateHandle(const char* windowClass, const std::string& caption, DWORD style, DWORD exStyle) {
  UseCommonControls();
  id_ = form_.NextControlId();
  const RECT r = ScaledRect();
  window_ = CreateWindowExA(exStyle, windowClass, caption.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, form_.Handle(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Application().Handle(), nullptr);
  SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.Font()), FALSE);
}

std::string TWinControl::Caption() const {
  const int length = GetWindowTextLengthA(window_);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  GetWindowTextA(window_, buffer.data(), length + 1);
  return std::string(buffer.data());
}

void TWinControl::SetCaption(const std::string& caption) { SetWindowTextA(window_, caption.c_str()); }

void TWinControl::SetEnabled(bool enabled) { EnableWindow(window_, enabled); }

void TWinControl::SetVisible(bool visible) { ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE); }

TLabel::TLabel(TForm& form, std::string name, TBounds bounds, const std::string& caption, Options options)
    : TWinControl(form, std::move(name), bounds), options_(options) {
  // Labels show data (names, command lines): an ampersand is a character, not a mnemonic.
  CreateHandle("STATIC", caption, SS_NOPREFIX | (options.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP));
  if (options.bold) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(form.BoldFont()), FALSE);
  FitToText();
}

void TLabel::SetCaption(const std::string& caption) {
  TWinControl::SetCaption(caption);
  FitToText();
}

void TLabel::FitToText() {
  if (options_.wordWrap) return;
  RECT r{0, 0, 0, 0};
  {
    const WindowDC dc(Handle());
    const SelectedObject font(dc.get(), options_.bold ? form_.BoldFont() : form_.Font());
    const std::string text = Caption();
    DrawTextA(dc.get(), text.empty() ? " " : text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
  }
  const RECT at = ScaledRect();
  SetWindowPos(Handle(), nullptr, at.left, at.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TLabel::HeightFor(const std::string& text) const {
  RECT client{};
  GetClientRect(Handle(), &client);
  RECT r{0, 0, client.right, 0};
  const WindowDC dc(Handle());
  const SelectedObject font(dc.get(), options_.bold ? form_.BoldFont() : form_.Font());
  DrawTextA(dc.get(), text.empty() ? " " : text.c_str(), -1, &r,
            DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK | DT_EDITCONTROL);
  return r.bottom - r.top;
}

TButton::TButton(TForm& form, std::string name, TBounds bounds) : TWinControl(form, std::move(name), bounds) {}

TButton::TButton(TForm& form, std::string name, TBounds bounds, const std::string& caption, int modalResult,
                 bool isDefault, bool isCancel)
    : TWinControl(form, std::move(name), bounds), modalResult_(modalResult), default_(isDefault), cancel_(isCancel) {
  CreateHandle("BUTTON", caption, WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
}

void TButton::Click() {
  if (OnClick) OnClick();
  if (modalResult_ != 0) form_.SetModalResult(modalResult_);
}

void TButton::Command(WORD code) {
  if (code == BN_CLICKED) Click();
}

TCheckBox::TCheckBox(TForm& form, std::string name, TBounds bounds, const std::string& caption)
    : TWinControl(form, std::move(name), bounds) {
  CreateHandle("BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX);
}

bool TCheckBox::Checked() const { return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) {
  SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TMemo::TMemo(TForm& form, std::string name, TBounds bounds) : TWinControl(form, std::move(name), bounds) {
  CreateHandle("EDIT", "", WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
}

TEdit::TEdit(TForm& form, std::string name, TBounds bounds) : TWinControl(form, std::move(name), bounds) {
  CreateHandle("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
}

void TEdit::Command(WORD code) {
  if (code == EN_CHANGE && OnChange) OnChange();
}

TSpeedButton::TSpeedButton(TForm& form, std::string name, TBounds bounds, HICON glyph, const std::string& hint)
    : TButton(form, std::move(name), bounds) {
  CreateHandle("BUTTON", hint, BS_PUSHBUTTON | BS_ICON | BS_FLAT);
  SendMessageA(Handle(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph));
  tooltip_.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form.Handle(), nullptr,
                                 Application().Handle(), nullptr));
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = form.Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(Handle());
  std::string text = hint;
  tool.lpszText = text.data();
  SendMessageA(tooltip_.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void TShape::Paint(HDC dc) {
  const RECT r = ScaledRect();
  FillRect(dc, &r, BrushOf(color_));
}

void TBevel::Paint(HDC dc) {
  RECT r = ScaledRect();
  r.bottom = r.top + 2;
  DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
}

void TImage::SetIcon(HICON icon) {
  owned_.reset();
  icon_ = icon;
  form_.Invalidate(ScaledRect());
}

void TImage::SetOwnedIcon(UniqueIcon icon) {
  icon_ = icon.get();
  owned_ = std::move(icon);
  form_.Invalidate(ScaledRect());
}

void TImage::Paint(HDC dc) {
  if (!icon_) return;
  const RECT r = ScaledRect();
  DrawIconEx(dc, r.left, r.top, icon_, Scale(iconSize_), Scale(iconSize_), 0, nullptr, DI_NORMAL);
}

}  // namespace korvalis::ui
