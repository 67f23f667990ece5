#pragma once
// The bars the window builds but never shows: the button bar pnBots (tools, added
// editor pages, fix old data), the position panel pneBot, and the actions of menus no
// control opens. Their buttons carry commands like any other; the actions report theirs.

#include <QObject>

class QLabel;
class QWidget;

class HiddenBars : public QObject {
  Q_OBJECT
 public:
  // Adds the menu actions to `window`.
  explicit HiddenBars(QWidget* window);

  // The top bar and the bottom panel, hidden and unparented until the window takes them.
  QWidget* top() const { return pnBots_; }
  QWidget* bottom() const { return pneBot_; }

  // The current editor's caret column and selection.
  void ShowPositions(const QString& column, const QString& selection);

 signals:
  void actionTriggered(int tag);

 private:
  void BuildTop();
  void BuildBottom();
  void AddActions(QWidget* window);

  QWidget* pnBots_ = nullptr;
  QWidget* pneBot_ = nullptr;
  QLabel* lbdPos1_ = nullptr;
  QLabel* lbdSel1_ = nullptr;
};
