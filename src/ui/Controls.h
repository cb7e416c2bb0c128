#pragma once
// The controls that forms are built from. Positions are design pixels (96 dpi), scaled when
// the control is placed. Windowed controls are child windows, so they can be read and driven
// like any window; shapes, bevels and images are painted by their form.
#include <windows.h>

#include <functional>
#include <string>

#include "ui/Colors.h"
#include "ui/GdiHandles.h"

namespace korvalis::ui {

class TForm;

struct TBounds {
  int left = 0, top = 0, width = 0, height = 0;
};

class TControl {
 public:
  TControl(TForm& form, std::string name, TBounds bounds) : form_(form), name_(std::move(name)), bounds_(bounds) {}
  virtual ~TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const { return name_; }
  const TBounds& Bounds() const { return bounds_; }
  RECT ScaledRect() const;
  // Painted controls draw themselves here, in creation order.
  virtual void Paint(HDC) {}

 protected:
  TForm& form_;
  std::string name_;
  TBounds bounds_;
};

// A control with a window of its own.
class TWinControl : public TControl {
 public:
  using TControl::TControl;
  ~TWinControl() override;
  HWND Handle() const { return window_; }
  int Id() const { return id_; }
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  void SetEnabled(bool enabled);
  void SetVisible(bool visible);
  virtual void Command(WORD) {}
  // A notification the control sent its form (WM_NOTIFY); the result goes back to the sender.
  virtual LRESULT Notify(const NMHDR&) { return 0; }

 protected:
  void CreateHandle(const char* windowClass, const std::string& caption, DWORD style, DWORD exStyle = 0);

 private:
  HWND window_ = nullptr;
  int id_ = 0;
};

class TLabel : public TWinControl {
 public:
  struct Options {
    bool bold = false;
    bool wordWrap = false;  // fixed size, wrapping; otherwise sized to its text
    TColor background = TColor::BtnFace;
    TColor textColor = TColor::WindowText;
  };
  TLabel(TForm& form, std::string name, TBounds bounds, const std::string& caption, Options options);
  void SetCaption(const std::string& caption);
  const Options& Look() const { return options_; }
  // The height a word-wrapping label of its present width needs for the text, in pixels.
  int HeightFor(const std::string& text) const;

 private:
  void FitToText();
  Options options_;
};

class TButton : public TWinControl {
 public:
  TButton(TForm& form, std::string name, TBounds bounds, const std::string& caption, int modalResult = 0,
          bool isDefault = false, bool isCancel = false);
  std::function<void()> OnClick;
  int ModalResult() const { return modalResult_; }
  bool IsDefault() const { return default_; }
  bool IsCancel() const { return cancel_; }
  void Click();
  void Command(WORD code) override;

 protected:
  TButton(TForm& form, std::string name, TBounds bounds);
  int modalResult_ = 0;
  bool default_ = false;
  bool cancel_ = false;
};

class TCheckBox : public TWinControl {
 public:
  TCheckBox(TForm& form, std::string name, TBounds bounds, const std::string& caption);
  bool Checked() const;
  void SetChecked(bool checked);
};

// A read-only text with scroll bars, for a text too long for a label. Lines are not wrapped:
// wrapping a million characters took the edit control longer than a minute under Wine.
class TMemo : public TWinControl {
 public:
  TMemo(TForm& form, std::string name, TBounds bounds);
};

// A one-line text the user types, telling each change.
class TEdit : public TWinControl {
 public:
  TEdit(TForm& form, std::string name, TBounds bounds);
  std::function<void()> OnChange;
  void Command(WORD code) override;
};

// A flat button showing an icon, with a tooltip hint.
class TSpeedButton : public TButton {
 public:
  TSpeedButton(TForm& form, std::string name, TBounds bounds, HICON glyph, const std::string& hint);

 private:
  UniqueWindow tooltip_;
};

// A filled rectangle without outline.
class TShape : public TControl {
 public:
  TShape(TForm& form, std::string name, TBounds bounds, TColor color) : TControl(form, std::move(name), bounds), color_(color) {}
  void Paint(HDC dc) override;
  TColor Color() const { return color_; }

 private:
  TColor color_;
};

// A single etched line along the top edge of its bounds.
class TBevel : public TControl {
 public:
  using TControl::TControl;
  void Paint(HDC dc) override;
};

// An icon drawn at the top left of its bounds, at its own size (or the given one).
class TImage : public TControl {
 public:
  TImage(TForm& form, std::string name, TBounds bounds, int iconSize)
      : TControl(form, std::move(name), bounds), iconSize_(iconSize) {}
  // Shared: the image does not own the icon.
  void SetIcon(HICON icon);
  // Owned: destroyed with the image or the next icon.
  void SetOwnedIcon(UniqueIcon icon);
  void Paint(HDC dc) override;

 private:
  int iconSize_;
  HICON icon_ = nullptr;
  UniqueIcon owned_;
};

}  // namespace korvalis::ui
