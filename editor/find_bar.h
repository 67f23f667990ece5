#pragma once
// A small find bar under an editor page: the text, "Next" and "Previous". Return finds
// the next place, Shift+Return the previous one, Esc hides the bar.

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class TextEditor;

class FindBar : public QWidget {
  Q_OBJECT
 public:
  explicit FindBar(QWidget* parent = nullptr);

  // Shows the bar for `editor` with the focus in the text.
  void Open(TextEditor* editor);
  // Finds in the editor last opened for; false when nothing was found.
  bool FindNext();
  bool FindPrevious();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool Find(bool forward);

  QPointer<TextEditor> editor_;
  QLineEdit* text_ = nullptr;
  QLabel* state_ = nullptr;
};
