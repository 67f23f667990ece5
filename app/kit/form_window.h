#pragma once
// A QWidget as the placement code sees a window: its section name, normal rectangle,
// state and the desktop it lives on.

#include "support/form_place.h"

class QWidget;

class FormWindowAdapter : public support::FormWindow {
 public:
  // Margin the placement code keeps from the desktop's edges.
  static constexpr int kDesktopMargin = 10;

  explicit FormWindowAdapter(QWidget* widget) : widget_(widget) {}

  std::string Name() const override;
  bool Sizeable() const override { return true; }
  support::WindowPlacement Placement() const override;
  support::WindowState State() const override;
  int Width() const override;
  int Height() const override;
  int DesktopWidth() const override;
  int DesktopHeight() const override;
  // A rectangle larger than the desktop less the margins is shrunk to fit first, so
  // that the title bar stays on the screen.
  void ApplyPlacement(const support::WindowPlacement& placement) override;
  void SetState(support::WindowState state) override;

 private:
  QWidget* widget_;
  // Qt has no minimized and maximized positions: the values last applied are kept, -1
  // until then. Where a window cannot read its position (Wayland) the applied one is
  // reported too.
  int min_x_ = -1, min_y_ = -1, max_x_ = -1, max_y_ = -1;
  bool applied_ = false;
  int applied_left_ = 0, applied_top_ = 0;
};
