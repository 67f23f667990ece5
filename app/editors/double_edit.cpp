#include "app/editors/double_edit.h"

#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "editor/find_bar.h"
#include "editor/text_editor.h"

TTbsDoubleEdit::TTbsDoubleEdit(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  find_bar_ = new FindBar;
  column->addWidget(find_bar_);
}

TTbsDoubleEdit::~TTbsDoubleEdit() { FreeParts(); }

bool TTbsDoubleEdit::AssignParts(const DoubleEditParts& parts, int percent) {
  // The new page is as high as the one shown now.
  const int height = parts.pages->currentWidget() != nullptr
                         ? parts.pages->currentWidget()->height()
                         : parts.pages->height();
  parts.pages->addTab(this, QString());
  Edt1 = parts.first;
  Edt2 = parts.second;
  Splitter = parts.splitter;
  LayOut();
  const int second = static_cast<int>(std::lround(percent * height / 100.0));
  Splitter->setSizes({std::max(0, height - second - kSplitterHandle), second});
  return false;
}

void TTbsDoubleEdit::BuildParts() {
  const bool new_second = Edt2 == nullptr;
  if (Edt1 == nullptr) Edt1 = new TextEditor;
  if (Edt2 == nullptr) Edt2 = new TextEditor;
  if (Splitter == nullptr) Splitter = new QSplitter(Qt::Vertical);
  LayOut();
  if (new_second) Splitter->setSizes({kSecondEditorHeight * 4, kSecondEditorHeight});
}

void TTbsDoubleEdit::LayOut() {
  Splitter->setHandleWidth(kSplitterHandle);
  Splitter->setChildrenCollapsible(false);
  Splitter->addWidget(Edt1);
  Splitter->addWidget(Edt2);
  Splitter->setStretchFactor(0, 1);
  Splitter->setStretchFactor(1, 0);
  auto* column = static_cast<QVBoxLayout*>(layout());
  if (column->indexOf(Splitter) < 0) column->insertWidget(0, Splitter, 1);
  Splitter->show();
  Edt1->show();
  Edt2->show();
}

void TTbsDoubleEdit::FreeParts() {
  delete Edt1;
  delete Edt2;
  delete Splitter;
  Edt1 = nullptr;
  Edt2 = nullptr;
  Splitter = nullptr;
}
