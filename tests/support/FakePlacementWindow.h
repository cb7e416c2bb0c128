#pragma once
// A form as the placement component sees it, keeping its placement record and its edges in
// step the way the system does, and noting what was done to it.
#include <string>
#include <vector>

#include "shell/PlacementWindow.h"

namespace korvalis::testing {

class FakePlacementWindow : public shell::PlacementWindow {
 public:
  // A dialog like the change dialog: fixed size, centred on the desktop, hidden until shown.
  FakePlacementWindow() { MoveTo(327, 216, 370, 336); }

  void MoveTo(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    placement.normalPosition = {left, top, left + width, top + height};
  }

  shell::WindowPlacement GetPlacement() const override { return placement; }
  void SetPlacement(const shell::WindowPlacement& record) override {
    placement = record;
    placementsSet.push_back(record);
  }
  bool IsVisible() const override { return visible; }
  bool IsApplicationIconic() const override { return applicationIconic; }
  shell::BorderStyle Border() const override { return border; }
  shell::PositionPolicy Position() const override { return policy; }
  void SwitchToDesignedPosition() override { policy = shell::PositionPolicy::Designed; }
  std::int32_t Left() const override { return placement.normalPosition.left; }
  std::int32_t Top() const override { return placement.normalPosition.top; }
  std::int32_t Width() const override { return placement.normalPosition.right - placement.normalPosition.left; }
  std::int32_t Height() const override { return placement.normalPosition.bottom - placement.normalPosition.top; }
  shell::WindowState State() const override { return state; }
  void SetWindowState(shell::WindowState newState) override {
    state = newState;
    statesShown.push_back(newState);
  }
  void RecordWindowState(shell::WindowState newState) override { state = newState; }
  bool IsMainForm() const override { return mainForm; }
  bool ApplicationHasMainForm() const override { return applicationHasMainForm; }
  shell::FormStyle Style() const override { return style; }
  void PostMinimizeToApplication() override { ++minimizePosts; }
  void Repaint() override { ++repaints; }
  std::string ActiveControlName() const override { return activeControl; }
  void FocusControl(const std::string& name) override { focused.push_back(name); }
  shell::ScreenFacts Screen() const override { return screen; }

  shell::WindowPlacement placement;
  bool visible = false;
  bool applicationIconic = false;
  shell::BorderStyle border = shell::BorderStyle::Dialog;
  shell::PositionPolicy policy = shell::PositionPolicy::DesktopCenter;
  shell::WindowState state = shell::WindowState::Normal;
  bool mainForm = false;
  bool applicationHasMainForm = true;
  shell::FormStyle style = shell::FormStyle::Normal;
  std::string activeControl;
  shell::ScreenFacts screen{1024, 768, 96, {1, 1}, {4, 4}, {3, 3}};

  std::vector<shell::WindowPlacement> placementsSet;
  std::vector<shell::WindowState> statesShown;
  std::vector<std::string> focused;
  int minimizePosts = 0;
  int repaints = 0;
};

}  // namespace korvalis::testing
