#include "ui/FormPlacementWindow.h"

#include "ui/Application.h"
#include "ui/Dpi.h"

namespace korvalis::ui {

shell::WindowPlacement TFormPlacementWindow::GetPlacement() const {
  WINDOWPLACEMENT native{};
  native.length = sizeof native;
  GetWindowPlacement(form_.Handle(), &native);
  shell::WindowPlacement placement;
  placement.flags = native.flags;
  placement.showCmd = native.showCmd;
  placement.minPosition = {native.ptMinPosition.x, native.ptMinPosition.y};
  placement.maxPosition = {native.ptMaxPosition.x, native.ptMaxPosition.y};
  placement.normalPosition = {native.rcNormalPosition.left, native.rcNormalPosition.top,
                              native.rcNormalPosition.right, native.rcNormalPosition.bottom};
  return placement;
}

void TFormPlacementWindow::SetPlacement(const shell::WindowPlacement& placement) {
  WINDOWPLACEMENT native{};
  native.length = sizeof native;
  native.flags = placement.flags;
  native.showCmd = placement.showCmd;
  native.ptMinPosition = {placement.minPosition.x, placement.minPosition.y};
  native.ptMaxPosition = {placement.maxPosition.x, placement.maxPosition.y};
  native.rcNormalPosition = {placement.normalPosition.left, placement.normalPosition.top,
                             placement.normalPosition.right, placement.normalPosition.bottom};
  SetWindowPlacement(form_.Handle(), &native);
}

bool TFormPlacementWindow::IsVisible() const { return IsWindowVisible(form_.Handle()) != FALSE; }

bool TFormPlacementWindow::IsApplicationIconic() const {
  TForm* main = Application().MainForm();
  return main && IsIconic(main->Handle());
}

shell::BorderStyle TFormPlacementWindow::Border() const {
  switch (form_.BorderStyle()) {
    case TBorderStyle::None: return shell::BorderStyle::None;
    case TBorderStyle::Single: return shell::BorderStyle::Single;
    case TBorderStyle::Sizeable: return shell::BorderStyle::Sizeable;
    case TBorderStyle::Dialog: return shell::BorderStyle::Dialog;
    case TBorderStyle::ToolWindow: return shell::BorderStyle::ToolWindow;
    case TBorderStyle::SizeToolWin: return shell::BorderStyle::SizeToolWindow;
  }
  return shell::BorderStyle::Sizeable;
}

shell::PositionPolicy TFormPlacementWindow::Position() const {
  switch (form_.Position()) {
    case TPosition::Designed: return shell::PositionPolicy::Designed;
    case TPosition::Default: return shell::PositionPolicy::Default;
    case TPosition::ScreenCenter: return shell::PositionPolicy::ScreenCenter;
    case TPosition::DesktopCenter: return shell::PositionPolicy::DesktopCenter;
  }
  return shell::PositionPolicy::Designed;
}

RECT TFormPlacementWindow::WindowRect() const {
  RECT r{};
  GetWindowRect(form_.Handle(), &r);
  return r;
}

std::int32_t TFormPlacementWindow::Left() const { return WindowRect().left; }
std::int32_t TFormPlacementWindow::Top() const { return WindowRect().top; }
std::int32_t TFormPlacementWindow::Width() const { return WindowRect().right - WindowRect().left; }
std::int32_t TFormPlacementWindow::Height() const { return WindowRect().bottom - WindowRect().top; }

shell::WindowState TFormPlacementWindow::State() const {
  if (IsIconic(form_.Handle())) return shell::WindowState::Minimized;
  if (IsZoomed(form_.Handle())) return shell::WindowState::Maximized;
  return shell::WindowState::Normal;
}

void TFormPlacementWindow::SetWindowState(shell::WindowState state) {
  // A hidden form takes its state when it is shown; only a visible one is changed at once.
  if (!IsWindowVisible(form_.Handle())) return;
  const int show = state == shell::WindowState::Minimized   ? SW_MINIMIZE
                   : state == shell::WindowState::Maximized ? SW_MAXIMIZE
                                                            : SW_RESTORE;
  ShowWindow(form_.Handle(), show);
}

bool TFormPlacementWindow::IsMainForm() const { return Application().MainForm() == &form_; }

bool TFormPlacementWindow::ApplicationHasMainForm() const { return Application().MainForm() != nullptr; }

void TFormPlacementWindow::PostMinimizeToApplication() {
  if (TForm* main = Application().MainForm()) PostMessageA(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

void TFormPlacementWindow::Repaint() { InvalidateRect(form_.Handle(), nullptr, TRUE); }

shell::ScreenFacts TFormPlacementWindow::Screen() const {
  shell::ScreenFacts facts;
  facts.width = GetSystemMetrics(SM_CXSCREEN);
  facts.height = GetSystemMetrics(SM_CYSCREEN);
  facts.pixelsPerInch = ScreenDpi();
  facts.border = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  facts.frame = {GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME)};
  facts.dialogFrame = {GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME)};
  return facts;
}

}  // namespace korvalis::ui
