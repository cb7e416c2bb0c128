// Reading and writing the form's window placement record: position, size and show state.
#include "platform/SystemCodes.h"
#include "shell/Placement.h"
#include "shell/PlacementText.h"

namespace korvalis::shell {

namespace {

bool IsSizeable(BorderStyle border) {
  return border == BorderStyle::Sizeable || border == BorderStyle::SizeToolWindow;
}

FrameMetric FrameOf(BorderStyle border, const ScreenFacts& screen) {
  switch (border) {
    case BorderStyle::Single:
    case BorderStyle::ToolWindow: return screen.border;
    case BorderStyle::Sizeable:
    case BorderStyle::SizeToolWindow: return screen.frame;
    case BorderStyle::Dialog: return screen.dialogFrame;
    case BorderStyle::None: break;
  }
  return FrameMetric{};
}

std::string SuffixOf(const ScreenFacts& screen) { return ResolutionSuffix(screen.width, screen.height); }

// Data saved at another resolution is still used when there is none for this one.
std::string ReadPositionText(PlacementStore& store, const std::string& name, const std::string& suffix) {
  const std::string text = store.ReadString(name + suffix, "");
  return text.empty() ? store.ReadString(name, "") : text;
}

void WritePositionText(PlacementStore& store, const std::string& name, const std::string& suffix,
                       const std::string& text) {
  store.WriteString(name + suffix, text);
  store.WriteString(name, text);
}

}  // namespace

void TFormPlacement::RestorePlacement(PlacementStore& store) {
  if (!(options_ & (fpState | fpPosition))) return;
  WindowPlacement placement = form_.GetPlacement();
  if (!form_.IsVisible()) placement.showCmd = platform::kSwHide;
  if (options_ & fpPosition) RestorePosition(store, placement);
  if ((options_ & fpState) && !RestoreWindowState(store)) return;
  form_.Repaint();
}

void TFormPlacement::RestorePosition(PlacementStore& store, WindowPlacement& placement) {
  const ScreenFacts screen = form_.Screen();
  const std::string suffix = SuffixOf(screen);
  placement.flags = static_cast<std::uint32_t>(store.ReadInteger("Flags", static_cast<std::int32_t>(placement.flags)));

  const std::string minMax = ReadPositionText(store, "MinMaxPos", suffix);
  if (!minMax.empty()) {
    const FourNumbers n = ReadFourNumbers(minMax, {0, 0, 0, 0});
    placement.minPosition = {n[0], n[1]};
    placement.maxPosition = {n[2], n[3]};
  }
  const std::string normal = ReadPositionText(store, "NormPos", suffix);
  if (!normal.empty()) {
    const std::int32_t left = form_.Left(), top = form_.Top();
    const FourNumbers n = ReadFourNumbers(normal, {left, top, left + form_.Width(), top + form_.Height()});
    placement.normalPosition = {n[0], n[1], n[2], n[3]};
  }
  const std::int32_t pixelsPerInch = store.ReadInteger("PixelsPerInch", screen.pixelsPerInch);
  if ((minMax.empty() && normal.empty()) || pixelsPerInch != screen.pixelsPerInch) return;

  PlacementRect& rect = placement.normalPosition;
  if (!IsSizeable(form_.Border())) {
    rect.right = rect.left + form_.Width();
    rect.bottom = rect.top + form_.Height();
  }
  if (rect.right <= rect.left) return;
  // A centred form would be centred again at every show and never keep its stored place.
  const PositionPolicy policy = form_.Position();
  if (policy == PositionPolicy::ScreenCenter || policy == PositionPolicy::DesktopCenter)
    form_.SwitchToDesignedPosition();
  form_.SetPlacement(placement);
}

bool TFormPlacement::StandsForApplication() const {
  return form_.IsMainForm() || !form_.ApplicationHasMainForm();
}

WindowState TFormPlacement::DefaultWindowState() const {
  const FormStyle style = form_.Style();
  const bool opensLarge =
      style == FormStyle::MdiForm || (style == FormStyle::Normal && form_.Position() == PositionPolicy::Default);
  return StandsForApplication() && opensLarge ? WindowState::Maximized : WindowState::Normal;
}

bool TFormPlacement::RestoreWindowState(PlacementStore& store) {
  WindowState state = DefaultWindowState();
  switch (store.ReadInteger("ShowCmd", 0)) {
    case 1: case 5: case 9: state = WindowState::Normal; break;
    case 2: case 6: case 7: state = WindowState::Minimized; break;
    case 3: state = WindowState::Maximized; break;
    default: break;
  }
  if (state == WindowState::Minimized && StandsForApplication()) {
    // The application's window is the one on the taskbar; minimizing the form alone would hide it.
    form_.RecordWindowState(WindowState::Normal);
    form_.PostMinimizeToApplication();
    return false;
  }
  const FormStyle style = form_.Style();
  if (style == FormStyle::MdiChild || style == FormStyle::MdiForm)
    form_.RecordWindowState(state);
  else
    form_.SetWindowState(state);
  return true;
}

void TFormPlacement::SavePlacement(PlacementStore& store) {
  if (!(options_ & (fpState | fpPosition))) return;
  const WindowPlacement placement = form_.GetPlacement();
  const ScreenFacts screen = form_.Screen();
  const std::string suffix = SuffixOf(screen);

  std::uint32_t flags = placement.flags;
  if (form_.Style() == FormStyle::MdiChild && form_.State() == WindowState::Minimized) flags |= kWpfSetMinPosition;
  store.WriteInteger("Flags", static_cast<std::int32_t>(flags));
  const bool applicationIconic = form_.IsMainForm() && form_.IsApplicationIconic();
  store.WriteInteger("ShowCmd", applicationIconic ? platform::kSwShowMinimized
                                                  : static_cast<std::int32_t>(placement.showCmd));
  store.WriteInteger("PixelsPerInch", screen.pixelsPerInch);
  WritePositionText(store, "MinMaxPos", suffix,
                    FormatFourNumbers({placement.minPosition.x, placement.minPosition.y, placement.maxPosition.x,
                                       placement.maxPosition.y}));
  const PlacementRect& rect = placement.normalPosition;
  WritePositionText(store, "NormPos", suffix, FormatFourNumbers({rect.left, rect.top, rect.right, rect.bottom}));
  store.WriteBool("Visible", destroying_);
  if (options_ & fpActiveControl) {
    const std::string control = form_.ActiveControlName();
    if (!control.empty()) store.WriteString("ActiveControl", control);
  }
}

// Maximizing puts the window's frame just off the screen edges.
void TFormPlacement::UpdatePlacement() {
  if (NeedsWindowHook()) return;
  WindowPlacement placement = form_.GetPlacement();
  if (!form_.IsVisible()) placement.showCmd = platform::kSwHide;
  const FrameMetric frame = FrameOf(form_.Border(), form_.Screen());
  placement.maxPosition = {-frame.cx, -frame.cy};
  form_.SetPlacement(placement);
}

}  // namespace korvalis::shell
