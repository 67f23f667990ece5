#pragma once
// The Help window: what each page is for, in plain words, and what a run tells you (the
// README's own words); and the About text with the version the build carries.

#include <QDialog>
#include <string>

class QTabWidget;

class HelpPage : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTopicPages = 0;
  static constexpr int kTopicRun = 1;

  explicit HelpPage(QWidget* parent);
  // Shows the window, raised, with `topic` in front.
  void ShowTopic(int topic);

 private:
  QTabWidget* topics_ = nullptr;
};

// "Checker", the version and what the program is for.
std::string AboutText();
