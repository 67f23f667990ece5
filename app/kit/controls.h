#pragma once
// Small controls and helpers the window is built from: the captioned separator handle
// of the name-parts splitter, combo-box histories, integers read from fields, and a
// popup menu dropped below a button.

#include <QComboBox>
#include <QSplitter>
#include <QSplitterHandle>
#include <cstdint>

class QAbstractButton;
class QMenu;
class QWidget;

// FontAlign bits of TSplitterSx: horizontal centre / right, vertical centre / bottom.
constexpr uint8_t kAlignCentreX = 1;
constexpr uint8_t kAlignRight = 2;
constexpr uint8_t kAlignCentreY = 4;
constexpr uint8_t kAlignBottom = 8;

// A splitter handle that draws a caption in its own font. Bits of FontAlign place it;
// neither horizontal bit means left, neither vertical bit top.
class TSplitterSx : public QSplitterHandle {
  Q_OBJECT
 public:
  TSplitterSx(Qt::Orientation orientation, QSplitter* parent);

  const QString& caption() const { return caption_; }
  void setCaption(const QString& caption);
  uint8_t fontAlign() const { return font_align_; }
  // Repaints only when the value changes.
  void setFontAlign(uint8_t align);
  bool beveled() const { return beveled_; }
  void setBeveled(bool beveled);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  uint8_t font_align_ = 0;
  bool beveled_ = false;
};

// The horizontal splitter of the four name fields; its handles are TSplitterSx, 18
// pixels wide.
class NamePartsSplitter : public QSplitter {
  Q_OBJECT
 public:
  static constexpr int kHandleWidth = 18;
  explicit NamePartsSplitter(QWidget* parent = nullptr);
  // Handle i (1-based, between widget i-1 and i) as its own class.
  TSplitterSx* separator(int index) const;

 protected:
  QSplitterHandle* createHandle() override;
};

// The number of entries a history keeps.
constexpr int kHistoryMax = 20;

// Commits the box's text to its list: moved or inserted at the top (an existing entry,
// found without regard to case, keeps its spelling), the list cut to `max` entries and
// the edit text kept. A text of blanks only changes nothing.
void ComboHistorySx(QComboBox* box, int max);

// The integer of a line edit's or combo box's text; 0 for no control, an empty text or
// one that does not convert.
int32_t TextToIntSx(const QWidget* control);

// Shows the menu below the button (above it near the bottom of the screen, aligned to
// its right edge near the right of the screen); without a button at the mouse cursor.
// Returns where the menu was put.
QPoint PopupAtButtonSx(QMenu* menu, QAbstractButton* button);
