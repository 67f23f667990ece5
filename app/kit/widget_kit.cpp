#include "app/kit/widget_kit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>

#include "editor/visible_marks.h"

namespace {

// What an elided label asks for at least: room for a few letters and the ellipsis.
constexpr int kElidedMinimumWidth = 40;
constexpr int kHistoryBoxMinimumLetters = 8;

}  // namespace

void SetColours(QWidget* widget, QColor text, QColor background) {
  QPalette palette = widget->palette();
  if (text.isValid()) palette.setColor(QPalette::WindowText, text);
  if (background.isValid()) {
    palette.setColor(QPalette::Window, background);
    widget->setAutoFillBackground(true);
  } else {
    widget->setAutoFillBackground(false);
  }
  widget->setPalette(palette);
}

QPushButton* Button(const char* name, const char* caption, Command command, const char* hint) {
  auto* button = Named(new QPushButton(caption), name);
  SetTag(button, command);
  if (hint != nullptr) {
    button->setToolTip(hint);
    if (!QString(caption).contains(QRegularExpression("[A-Za-z]"))) button->setAccessibleName(hint);
  }
  button->setAutoDefault(false);
  return button;
}

QLabel* FieldLabel(const char* caption, QWidget* field) {
  auto* label = new QLabel(caption);
  SetBuddy(label, field);
  return label;
}

void SetBuddy(QLabel* label, QWidget* field) {
  label->setBuddy(field);
  if (field->accessibleName().isEmpty()) field->setAccessibleName(ShownCaption(label->text()));
}

QString WithMnemonic(const QString& caption, QString* taken) {
  const auto free = [&](qsizetype i) {
    return caption[i].isLetter() && !taken->contains(caption[i].toLower());
  };
  qsizetype at = -1;
  for (qsizetype i = 0; i < caption.size() && at < 0; ++i) {
    if (free(i) && (i == 0 || !caption[i - 1].isLetter())) at = i;
  }
  for (qsizetype i = 0; i < caption.size() && at < 0; ++i) {
    if (free(i)) at = i;
  }
  if (at < 0) return caption;
  taken->append(caption[at].toLower());
  return caption.left(at) + '&' + caption.mid(at);
}

QString ShownCaption(const QString& caption) {
  QString shown;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;
    shown += caption[i];
  }
  return shown.trimmed();
}

QPushButton* DialogButton(const char* name, Command command, const char* hint) {
  QPushButton* button = Button(name, ">>", command, hint);
  button->setFixedWidth(button->fontMetrics().horizontalAdvance(">>") + 16);
  return button;
}

QComboBox* HistoryBox(const char* name, int tag, const char* hint) {
  auto* box = Named(new QComboBox, name);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  // A long path in it must not widen the window.
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(kHistoryBoxMinimumLetters);
  box->setProperty(kTagProperty, tag);
  if (hint != nullptr) box->setToolTip(hint);
  return box;
}

QComboBox* HistoryBox(const char* name, Command command, const char* hint) {
  return HistoryBox(name, static_cast<int>(command), hint);
}

QLineEdit* Field(const char* name, const char* text, int tag) {
  auto* edit = Named(new QLineEdit(text), name);
  edit->setProperty(kTagProperty, tag);
  return edit;
}

QLineEdit* Field(const char* name, const char* text, Command command) {
  return Field(name, text, static_cast<int>(command));
}

QLabel* ValueLabel(const char* name, const char* hint, const char* text) {
  auto* label = Named(new QLabel(text), name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setMinimumWidth(150);
  if (hint != nullptr) label->setToolTip(hint);
  return label;
}

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }
std::string Text(const QComboBox* box) { return box->currentText().toStdString(); }
std::string Text(const QLabel* label) { return label->text().toStdString(); }

QSize ElidedLabel::minimumSizeHint() const {
  return {kElidedMinimumWidth, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const { return {kElidedMinimumWidth, QLabel::sizeHint().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect room = contentsRect();
  const QString shown =
      fontMetrics().elidedText(VisibleMarks(text()), Qt::ElideMiddle, room.width());
  style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(),
                        shown, foregroundRole());
}

std::string NoFolderProgramText(const std::string& folder) {
  return "Cannot open " + folder + ": no program to open folders is set up on this desktop";
}
