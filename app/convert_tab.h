#pragma once
// The Convert tab (tsCnv) of the utilities window: CutAtts over its three fields. Its
// button carries kCommandCutAtts; the window runs the command by that number.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

class ConvertTab : public QWidget {
 public:
  static constexpr int kCommandCutAtts = 1;

  ConvertTab();

  // Output value: LowBitsSumSx of the input value with Parameter 1 as its limit.
  void CutAtts();

 private:
  QLabel* lcVal01_ = nullptr;
  QLineEdit* eVal01_ = nullptr;
  QLabel* lcVal02_ = nullptr;
  QLineEdit* eVal02_ = nullptr;
  QLabel* lcPar01_ = nullptr;
  QLineEdit* ePar01_ = nullptr;
  QPushButton* bcFnc01_ = nullptr;
};
