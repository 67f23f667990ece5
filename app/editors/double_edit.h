#pragma once
// TTbsDoubleEdit: a page with two editors one above the other, a vertical splitter
// between them and a find bar at the foot.

#include <QWidget>

class FindBar;
class QSplitter;
class QTabWidget;
class TextEditor;

// What AssignParts puts on a page; the page takes the editors and the splitter over.
struct DoubleEditParts {
  TextEditor* first = nullptr;
  TextEditor* second = nullptr;
  QSplitter* splitter = nullptr;
  QTabWidget* pages = nullptr;
};

class TTbsDoubleEdit : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kSplitterHandle = 4;
  static constexpr int kSecondEditorHeight = 104;

  explicit TTbsDoubleEdit(QWidget* parent = nullptr);
  ~TTbsDoubleEdit() override;

  // Adds the page to `parts.pages` (untitled) and puts the parts on it, the second
  // editor taking `percent` of the page's height. Always false.
  virtual bool AssignParts(const DoubleEditParts& parts, int percent);
  // Creates whichever editor or splitter is missing and lays the parts out.
  virtual void BuildParts();
  // Frees both editors and the splitter.
  virtual void FreeParts();

  FindBar* find_bar() const { return find_bar_; }

  TextEditor* Edt1 = nullptr;
  TextEditor* Edt2 = nullptr;
  QSplitter* Splitter = nullptr;

 private:
  void LayOut();

  FindBar* find_bar_ = nullptr;
};
