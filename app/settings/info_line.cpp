#include "app/settings/info_line.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>

#include "app/kit/widget_kit.h"
#include "editor/visible_marks.h"

QLabel* InfoLine::Build() {
  lInfo_ = Named(new ElidedLabel, "lInfo");
  lInfo_->setMinimumWidth(100);
  lInfo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return lInfo_;
}

void InfoLine::RememberColours() { normal_ = lInfo_->palette(); }

void InfoLine::Show(int kind, const std::string& text) {
  const bool hint = kind == kInfoField || kind == kInfoButton;
  if (hint && alert_held_) return;
  alert_held_ = kind == kInfoAlert;
  if (!hint) {
    standing_kind_ = kind;
    standing_ = text;
  }
  std::string shown = text;
  if (hint && shown.empty()) {
    if (QWidget* focused = QApplication::focusWidget()) {
      QWidget* control = focused;
      if (auto* box = qobject_cast<QComboBox*>(focused->parentWidget())) control = box;
      shown = control->toolTip().toStdString();
    }
  }
  lInfo_->setText(QString::fromStdString(" " + shown));
  lInfo_->setToolTip(VisibleLines(shown));
  lInfo_->setProperty(kTagProperty, kind);
  if (kind == kInfoAlert) {
    SetColours(lInfo_, QColor(kAlertText), QColor(kAlertBackground));
  } else {
    lInfo_->setPalette(normal_);
    lInfo_->setAutoFillBackground(false);
  }
}

void InfoLine::Restore() {
  const int shown = lInfo_->property(kTagProperty).toInt();
  if ((shown == kInfoField || shown == kInfoButton) && !standing_.empty()) {
    Show(standing_kind_, standing_);
  }
}
