#include "editor/find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/text_editor.h"

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
  setObjectName("pnFind");
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(2, 1, 2, 1);
  text_ = new QLineEdit;
  text_->setObjectName("eFind");
  auto* next = new QPushButton("Next");
  next->setObjectName("bnFindNext");
  auto* previous = new QPushButton("Previous");
  previous->setObjectName("bnFindPrevious");
  state_ = new QLabel;
  state_->setObjectName("lFind");
  for (QPushButton* b : {next, previous}) b->setAutoDefault(false);
  row->addWidget(new QLabel(" Find "));
  row->addWidget(text_, 1);
  row->addWidget(next);
  row->addWidget(previous);
  row->addWidget(state_);
  connect(next, &QPushButton::clicked, this, &FindBar::FindNext);
  connect(previous, &QPushButton::clicked, this, &FindBar::FindPrevious);
  hide();
}

void FindBar::Open(TextEditor* editor) {
  editor_ = editor;
  if (editor != nullptr && editor->hasSelectedText() && !editor->selectedText().contains('\n')) {
    text_->setText(editor->selectedText());
  }
  state_->clear();
  show();
  text_->setFocus();
  text_->selectAll();
}

bool FindBar::FindNext() { return Find(true); }
bool FindBar::FindPrevious() { return Find(false); }

bool FindBar::Find(bool forward) {
  if (editor_ == nullptr) return false;
  const bool found = editor_->Find(text_->text(), forward);
  state_->setText(found ? QString() : QString(" Not found"));
  return found;
}

void FindBar::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Find(!(event->modifiers() & Qt::ShiftModifier));
      return;
    case Qt::Key_Escape:
      hide();
      if (editor_ != nullptr) editor_->setFocus();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}
