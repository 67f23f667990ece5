#pragma once
// What the window's parts build their widgets from: the window's colours, the kinds of
// the info line, and small constructors that name a widget and give it its command.

#include <QColor>
#include <QLabel>
#include <QRgb>
#include <string>

#include "app/kit/command_tags.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

// Colours of the window (Windows colour values turned into RGB).
constexpr QRgb kWindowColour = 0xECECD8;
constexpr QRgb kAlertBackground = 0xFFFFFF;
constexpr QRgb kAlertText = 0xFF0000;
constexpr QRgb kWrongColour = 0xFF0000;
constexpr QRgb kExistsColour = 0x0000FF;
constexpr QRgb kMissingFolderFill = 0xFFFFFF;
constexpr QRgb kGreyText = 0x808080;
constexpr QRgb kCancellingText = 0xFFFF00;
constexpr QRgb kCancellingBackground = 0xFF0000;

// Show-info kinds of the info line.
constexpr int kInfoStatus = 0;
constexpr int kInfoAlert = 1;
constexpr int kInfoField = 2;
constexpr int kInfoButton = 3;

// The program's caption, once the window has been shown.
constexpr char kProgramCaption[] = "Checker";

// Sets a widget's own text (and, when `background` is valid, filled background) colour.
void SetColours(QWidget* widget, QColor text, QColor background = QColor());

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

// A push button that never becomes the default button; `hint` may be null. A caption
// without a letter ("!", ">>") leaves the hint as its name for screen readers.
QPushButton* Button(const char* name, const char* caption, Command command,
                    const char* hint = nullptr);
// The narrow ">>" button beside a path field.
QPushButton* DialogButton(const char* name, Command command, const char* hint);
// An editable box whose list is its history; `hint` may be null.
QComboBox* HistoryBox(const char* name, int tag, const char* hint = nullptr);
QComboBox* HistoryBox(const char* name, Command command, const char* hint = nullptr);
QLineEdit* Field(const char* name, const char* text = "", int tag = 0);
QLineEdit* Field(const char* name, const char* text, Command command);
// The label of a field: the field is its buddy (Alt and the label's mnemonic reach it),
// and a screen reader reads the caption as the field's name unless it has its own.
QLabel* FieldLabel(const char* caption, QWidget* field);
// The same for a label made elsewhere (its caption as it stands).
void SetBuddy(QLabel* label, QWidget* field);
// The Alt keys of the menu bar's titles (File, Edit, View, Help): no control takes them.
inline constexpr char kMenuTitleKeys[] = "fevh";
// The caption with a mnemonic on its first letter not in `taken`, at the start of a word
// where one is free, which joins `taken`; unchanged when every letter is taken.
QString WithMnemonic(const QString& caption, QString* taken);
// What a caption shows: without its mnemonic marks ("&&" shows one "&") and outer blanks.
QString ShownCaption(const QString& caption);

// A right-aligned label of the Run page; `hint` may be null.
QLabel* ValueLabel(const char* name, const char* hint = nullptr, const char* text = "");

// A one-line label that shows a text too long for it elided in the middle, keeping its
// start and its end, and never asks its window for more width. Direction marks and
// control characters show by their names. text() stays as set.
class ElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Opening a folder failed: the desktop has no program set up for folders.
std::string NoFolderProgramText(const std::string& folder);

std::string Text(const QLineEdit* edit);
std::string Text(const QComboBox* box);
std::string Text(const QLabel* label);
