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
  lInfo_->setProperty(kTagProperty, kind);
  Paint(lInfo_, normal_, kind, shown);
  if (mirror_ != nullptr) Paint(mirror_, mirror_normal_, kind, shown);
}

void InfoLine::Paint(QLabel* label, const QPalette& normal, int kind, const std::string& shown) {
  label->setText(QString::fromStdString(" " + shown));
  label->setToolTip(VisibleLines(shown));
  if (kind == kInfoAlert) {
    SetColours(label, QColor(kAlertText), QColor(kAlertBackground));
  } else {
    label->setPalette(normal);
    label->setAutoFillBackground(false);
  }
}

void InfoLine::Mirror(QLabel* label) {
  mirror_ = label;
  mirror_normal_ = label->palette();
  Paint(mirror_, mirror_normal_, lInfo_->property(kTagProperty).toInt(),
        lInfo_->toolTip().toStdString());
}

void InfoLine::Restore() {
  const int shown = lInfo_->property(kTagProperty).toInt();
  if ((shown == kInfoField || shown == kInfoButton) && !standing_.empty()) {
    Show(standing_kind_, standing_);
  }
}
