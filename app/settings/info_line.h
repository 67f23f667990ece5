#pragma once
// The info line (lInfo) at the foot of the Settings page: status texts, alerts and the
// hint of the control just entered.

#include <QPalette>
#include <string>

class QLabel;

class InfoLine {
 public:
  // The label, unparented until the page takes it.
  QLabel* Build();
  // Takes the label's colours as it shows in the window as its normal colours.
  void RememberColours();
  // A blank and `text`, `text` as hint and `kind` as tag; kind 1 in the alert colours.
  // For a field (2) or button (3) an empty text is the focused control's hint. An alert
  // stays until the next command: hints do not replace it before.
  void Show(int kind, const std::string& text);
  const QLabel* label() const { return lInfo_; }
  // A command runs: what it shows next replaces the alert.
  void ReleaseAlert() { alert_held_ = false; }
  // A hint has had its time (the pointer left its control): the status or alert it
  // covered, such as why a button is off, shows again.
  void Restore();
  // A second label that shows whatever the line shows: the window's status bar, seen on
  // every page.
  void Mirror(QLabel* label);

 private:
  static void Paint(QLabel* label, const QPalette& normal, int kind, const std::string& shown);

  QLabel* lInfo_ = nullptr;
  QPalette normal_;
  QLabel* mirror_ = nullptr;
  QPalette mirror_normal_;
  bool alert_held_ = false;
  // The last status or alert, which a hint covers only for a while.
  int standing_kind_ = 0;
  std::string standing_;
};
