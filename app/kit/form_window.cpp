#include "app/kit/form_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

QRect Desktop(const QWidget* widget) {
  QScreen* screen = widget->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

bool PositionUnknown() { return QGuiApplication::platformName() == QLatin1String("wayland"); }

}  // namespace

std::string FormWindowAdapter::Name() const { return widget_->objectName().toStdString(); }

support::WindowPlacement FormWindowAdapter::Placement() const {
  support::WindowPlacement p;
  const QRect r = widget_->isWindow() && widget_->isVisible() ? widget_->normalGeometry()
                                                               : widget_->geometry();
  p.left = r.x();
  p.top = r.y();
  if (applied_ && PositionUnknown()) {
    p.left = applied_left_;
    p.top = applied_top_;
  }
  p.right = p.left + r.width();
  p.bottom = p.top + r.height();
  p.min_x = min_x_;
  p.min_y = min_y_;
  p.max_x = max_x_;
  p.max_y = max_y_;
  return p;
}

support::WindowState FormWindowAdapter::State() const {
  if (widget_->isMinimized()) return support::WindowState::kMinimized;
  if (widget_->isMaximized()) return support::WindowState::kMaximized;
  return support::WindowState::kNormal;
}

int FormWindowAdapter::Width() const { return widget_->width(); }
int FormWindowAdapter::Height() const { return widget_->height(); }

int FormWindowAdapter::DesktopWidth() const {
  const QRect d = Desktop(widget_);
  return d.x() + d.width();
}

int FormWindowAdapter::DesktopHeight() const {
  const QRect d = Desktop(widget_);
  return d.y() + d.height();
}

void FormWindowAdapter::ApplyPlacement(const support::WindowPlacement& placement) {
  min_x_ = placement.min_x;
  min_y_ = placement.min_y;
  max_x_ = placement.max_x;
  max_y_ = placement.max_y;
  int left = placement.left;
  int top = placement.top;
  int width = placement.right - placement.left;
  int height = placement.bottom - placement.top;
  const int max_width = DesktopWidth() - 2 * kDesktopMargin;
  const int max_height = DesktopHeight() - 2 * kDesktopMargin;
  if (width > max_width) {
    width = max_width;
    left = kDesktopMargin;
  }
  if (height > max_height) {
    height = max_height;
    top = kDesktopMargin;
  }
  widget_->setGeometry(left, top, std::max(width, 1), std::max(height, 1));
  applied_ = true;
  applied_left_ = left;
  applied_top_ = top;
}

void FormWindowAdapter::SetState(support::WindowState state) {
  Qt::WindowStates states = widget_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (state == support::WindowState::kMinimized) states |= Qt::WindowMinimized;
  if (state == support::WindowState::kMaximized) states |= Qt::WindowMaximized;
  widget_->setWindowState(states);
}
