#include "app/kit/controls.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <string>

#include "support/sx_value.h"
#include "support/text.h"

TSplitterSx::TSplitterSx(Qt::Orientation orientation, QSplitter* parent)
    : QSplitterHandle(orientation, parent) {}

void TSplitterSx::setCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void TSplitterSx::setFontAlign(uint8_t align) {
  if (align == font_align_) return;
  font_align_ = align;
  update();
}

void TSplitterSx::setBeveled(bool beveled) {
  if (beveled == beveled_) return;
  beveled_ = beveled;
  update();
}

void TSplitterSx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect r = rect();
  painter.fillRect(r, palette().color(QPalette::Button));
  if (beveled_) {
    QRect bevel = r.adjusted(0, 0, -1, -1);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(bevel.translated(1, 1).adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(bevel.adjusted(0, 0, -1, -1));
  }
  if (caption_.isEmpty()) return;
  // The text area: moved by (1, 1), then 2 pixels in from every side.
  const QRect area = r.translated(1, 1).adjusted(2, 2, -2, -2);
  painter.setFont(font());
  const QFontMetrics metrics(font());
  const int text_width = metrics.horizontalAdvance(caption_);
  const int text_height = metrics.height();
  int x = area.left();
  if (font_align_ & kAlignCentreX) {
    x = area.left() + (area.width() - text_width) / 2;
  } else if (font_align_ & kAlignRight) {
    x = area.left() + area.width() - text_width;
  }
  int y = area.top();
  if (font_align_ & kAlignCentreY) {
    y = area.top() + (area.height() - text_height) / 2;
  } else if (font_align_ & kAlignBottom) {
    y = area.top() + area.height() - text_height;
  }
  painter.setClipRect(area);
  painter.setPen(palette().color(QPalette::ButtonText));
  painter.drawText(QRect(x, y, text_width, text_height), Qt::AlignLeft | Qt::AlignTop, caption_);
}

NamePartsSplitter::NamePartsSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
  setHandleWidth(kHandleWidth);
  setChildrenCollapsible(false);
}

TSplitterSx* NamePartsSplitter::separator(int index) const {
  return static_cast<TSplitterSx*>(handle(index));
}

QSplitterHandle* NamePartsSplitter::createHandle() {
  return new TSplitterSx(orientation(), this);
}

void ComboHistorySx(QComboBox* box, int max) {
  if (box == nullptr) return;
  const QString text = box->currentText();
  if (support::TrimView(text.toStdString()).empty()) return;
  const std::string wanted = text.toStdString();
  int found = -1;
  for (int i = 0; i < box->count(); ++i) {
    if (support::SameText(box->itemText(i).toStdString(), wanted)) {
      found = i;
      break;
    }
  }
  if (found < 0) {
    box->insertItem(0, text);
  } else if (found > 0) {
    const QString kept = box->itemText(found);
    box->removeItem(found);
    box->insertItem(0, kept);
  }
  while (box->count() > max && box->count() > 0) box->removeItem(box->count() - 1);
  // Moving or removing the current item rewrites the edit text.
  if (box->currentText() != text) box->setEditText(text);
}

int32_t TextToIntSx(const QWidget* control) {
  QString text;
  if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
    text = edit->text();
  } else if (const auto* box = qobject_cast<const QComboBox*>(control)) {
    text = box->currentText();
  }
  if (text.isEmpty()) return 0;
  try {
    return static_cast<int32_t>(support::ParseIntegerText(text.toStdString(), INT32_MIN, INT32_MAX));
  } catch (const support::ConversionError&) {
    return 0;
  }
}

QPoint PopupAtButtonSx(QMenu* menu, QAbstractButton* button) {
  if (menu == nullptr) return {};
  if (button == nullptr) {
    const QPoint at = QCursor::pos();
    menu->popup(at);
    return at;
  }
  const QPoint p = button->mapToGlobal(QPoint(0, 0));
  const QSize size = menu->sizeHint();
  QScreen* screen = button->screen();
  const QRect desktop = screen != nullptr ? screen->geometry() : QRect(0, 0, INT32_MAX, INT32_MAX);
  int x = p.x();
  int y = p.y() + button->height();
  // Near the right edge the menu ends where the button ends.
  if (x + size.width() > desktop.right() + 1) x = p.x() + button->width() - size.width();
  if (y + size.height() > desktop.bottom() + 1) y = p.y() - size.height();
  const QPoint at(x, y);
  menu->popup(at);
  return at;
}
