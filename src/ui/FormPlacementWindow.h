#pragma once
// A form as the placement component sees it.
#include "shell/PlacementWindow.h"
#include "ui/Form.h"

namespace korvalis::ui {

class TFormPlacementWindow : public shell::PlacementWindow {
 public:
  explicit TFormPlacementWindow(TForm& form) : form_(form) {}

  shell::WindowPlacement GetPlacement() const override;
  void SetPlacement(const shell::WindowPlacement& placement) override;
  bool IsVisible() const override;
  bool IsApplicationIconic() const override;
  shell::BorderStyle Border() const override;
  shell::PositionPolicy Position() const override;
  void SwitchToDesignedPosition() override { form_.SetPositionDesigned(); }
  std::int32_t Left() const override;
  std::int32_t Top() const override;
  std::int32_t Width() const override;
  std::int32_t Height() const override;
  shell::WindowState State() const override;
  void SetWindowState(shell::WindowState state) override;
  void RecordWindowState(shell::WindowState) override {}
  bool IsMainForm() const override;
  bool ApplicationHasMainForm() const override;
  shell::FormStyle Style() const override { return shell::FormStyle::Normal; }
  void PostMinimizeToApplication() override;
  void Repaint() override;
  std::string ActiveControlName() const override { return std::string(); }
  void FocusControl(const std::string&) override {}
  shell::ScreenFacts Screen() const override;

 private:
  RECT WindowRect() const;
  TForm& form_;
};

}  // namespace korvalis::ui
