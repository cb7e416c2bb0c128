#pragma once
// A top-level window built from controls: created hidden, shown modally or not at all, with
// events on creation, showing, close query, closing and destruction. Every message reaches the
// form through one window procedure that hands any error to the central report.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/Controls.h"
#include "ui/GdiHandles.h"

namespace korvalis::ui {

class TTimer;

enum class TBorderStyle { None, Single, Sizeable, Dialog, ToolWindow, SizeToolWin };
enum class TPosition { Designed, Default, ScreenCenter, DesktopCenter };

constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7;

struct TFormDesign {
  std::string caption;
  int clientWidth = 0;
  int clientHeight = 0;
  TBorderStyle border = TBorderStyle::Sizeable;
  TPosition position = TPosition::Designed;
};

// Whether the window is one of the program's forms.
bool IsFormWindow(HWND window);

class TForm {
 public:
  TForm(HWND owner, TFormDesign design);
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  // Creates the window and its controls, then runs FormCreate (its errors are reported).
  void Create();
  HWND Handle() const { return window_; }
  HFONT Font() const { return font_.get(); }
  HFONT BoldFont() const { return boldFont_.get(); }

  // Shows the form in a nested message loop until a modal result is set; 2 when the program
  // is told to end meanwhile.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // Asks the close query; a modal form then ends with cancel, the main form ends the program.
  void Close();

  TBorderStyle BorderStyle() const { return design_.border; }
  TPosition Position() const { return design_.position; }
  void SetPositionDesigned() { design_.position = TPosition::Designed; }
  const std::string& Caption() const { return design_.caption; }

  int NextControlId() { return nextId_++; }
  // Design pixels to screen pixels: the screen's dots per inch, and horizontally also the width
  // of the face the system gave for the design font.
  int ScaleX(int pixels) const;
  int ScaleY(int pixels) const;
  RECT ScaleRect(const TBounds& bounds) const;
  void Invalidate(const RECT& area);

  // Runs FormDestroy and destroys the window; derived forms call it from their destructor so
  // their own FormDestroy is the one that runs.
  void DestroyForm();

  // A timer ticking on this form, and a handler of a message posted to it (from another thread,
  // say); both must live as long as the window does.
  void AddTimer(TTimer& timer);
  void OnMessage(UINT message, std::function<void()> handler);

 protected:
  virtual void BuildControls() {}
  virtual void FormCreate() {}
  virtual void FormShow() {}
  virtual bool FormCloseQuery() { return true; }
  virtual void FormClose() {}
  virtual void FormDestroy() {}
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  template <typename Control, typename... Args>
  Control& Add(Args&&... args) {
    auto control = std::make_unique<Control>(*this, std::forward<Args>(args)...);
    Control& added = *control;
    controls_.push_back(std::move(control));
    return added;
  }
  bool RunCloseQuery();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void CenterOnDesktop();
  TButton* ButtonWhere(bool (TButton::*test)() const) const;
  TButton* FocusedButton() const;
  LRESULT ColorStatic(HDC dc, HWND control);

  HWND owner_;
  TFormDesign design_;
  HWND window_ = nullptr;
  UniqueFont font_;
  UniqueFont boldFont_;
  std::vector<std::unique_ptr<TControl>> controls_;
  std::vector<TTimer*> timers_;
  std::vector<std::pair<UINT, std::function<void()>>> messageHandlers_;
  int nextId_ = 100;
  double widthFactor_ = 1.0;
  int modalResult_ = mrNone;
  bool modal_ = false;
  bool destroyed_ = false;
};

}  // namespace korvalis::ui
