#pragma once
// What the placement component needs of the form it serves: its window placement record, its
// look and role in the application, and the screen it is shown on.
#include <cstdint>
#include <string>

namespace korvalis::shell {

struct PlacementPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct PlacementRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

// The system's window placement record, in screen coordinates.
struct WindowPlacement {
  std::uint32_t flags = 0;
  std::uint32_t showCmd = 0;
  PlacementPoint minPosition;
  PlacementPoint maxPosition;
  PlacementRect normalPosition;
};

constexpr std::uint32_t kWpfSetMinPosition = 1;

enum class BorderStyle { None, Single, Sizeable, Dialog, ToolWindow, SizeToolWindow };

enum class PositionPolicy {
  Designed,
  Default,
  DefaultPosOnly,
  DefaultSizeOnly,
  ScreenCenter,
  DesktopCenter,
  MainFormCenter,
  OwnerFormCenter
};

enum class WindowState { Normal, Minimized, Maximized };

enum class FormStyle { Normal, MdiChild, MdiForm, StayOnTop };

// A pair of system metrics, horizontal and vertical.
struct FrameMetric {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
};

struct ScreenFacts {
  std::int32_t width = 0;  // of the primary screen, in pixels
  std::int32_t height = 0;
  std::int32_t pixelsPerInch = 96;
  FrameMetric border;       // SM_CXBORDER, SM_CYBORDER
  FrameMetric frame;        // SM_CXFRAME, SM_CYFRAME
  FrameMetric dialogFrame;  // SM_CXDLGFRAME, SM_CYDLGFRAME
};

class PlacementWindow {
 public:
  virtual ~PlacementWindow() = default;

  virtual WindowPlacement GetPlacement() const = 0;
  virtual void SetPlacement(const WindowPlacement& placement) = 0;
  virtual bool IsVisible() const = 0;
  virtual bool IsApplicationIconic() const = 0;

  virtual BorderStyle Border() const = 0;
  virtual PositionPolicy Position() const = 0;
  // Changes the policy without moving the window.
  virtual void SwitchToDesignedPosition() = 0;
  virtual std::int32_t Left() const = 0;
  virtual std::int32_t Top() const = 0;
  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;

  virtual WindowState State() const = 0;
  // Shows the window in that state.
  virtual void SetWindowState(WindowState state) = 0;
  // Only notes the state, leaving the window as it is.
  virtual void RecordWindowState(WindowState state) = 0;

  virtual bool IsMainForm() const = 0;
  virtual bool ApplicationHasMainForm() const = 0;
  virtual FormStyle Style() const = 0;
  // WM_SYSCOMMAND with SC_MINIMIZE, posted to the application's window.
  virtual void PostMinimizeToApplication() = 0;
  virtual void Repaint() = 0;

  // Empty when no control is active.
  virtual std::string ActiveControlName() const = 0;
  // Focuses the named control when there is one that can take the focus.
  virtual void FocusControl(const std::string& name) = 0;

  virtual ScreenFacts Screen() const = 0;
};

}  // namespace korvalis::shell
