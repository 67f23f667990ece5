#include "app/qt_msg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <atomic>
#include <vector>

#include "editor/visible_marks.h"
#include "support/msg.h"

namespace {

std::atomic<bool> boxes_closed{false};

// Qt would take "No" as the escape button of a Yes/No box; Windows gives Esc and the
// title bar's close no effect there.
class FixedEscapeBox : public QMessageBox {
 public:
  bool escape_enabled = true;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!escape_enabled && event->key() == Qt::Key_Escape) {
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (!escape_enabled) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }
};

struct ButtonSet {
  std::vector<QMessageBox::StandardButton> buttons;
  // What Esc and the title bar's close give; NoButton when they must do nothing.
  QMessageBox::StandardButton escape;
};

ButtonSet ButtonsOf(int flags) {
  using B = QMessageBox;
  switch (flags & support::kMbButtonMask) {
    case support::kMbOkCancel:
      return {{B::Ok, B::Cancel}, B::Cancel};
    case support::kMbAbortRetryIgnore:
      return {{B::Abort, B::Retry, B::Ignore}, B::NoButton};
    case support::kMbYesNoCancel:
      return {{B::Yes, B::No, B::Cancel}, B::Cancel};
    case support::kMbYesNo:
      return {{B::Yes, B::No}, B::NoButton};
    case support::kMbRetryCancel:
      return {{B::Retry, B::Cancel}, B::Cancel};
    default:
      return {{B::Ok}, B::Ok};
  }
}

constexpr int kIconMask = 0xF0;
constexpr int kDefaultMask = 0xF00;
constexpr int kDefaultSecond = 0x100;
constexpr int kDefaultThird = 0x200;

int ShowBox(const std::string& text, const std::string& caption, int flags) {
  QMessageBox* box = BuildMessageBox(text, caption, flags);
  box->exec();
  int answer = support::FirstButton(flags);
  if (QAbstractButton* clicked = box->clickedButton()) {
    answer = MessageBoxAnswer(box->standardButton(clicked));
  }
  delete box;
  return answer;
}

}  // namespace

QMessageBox* BuildMessageBox(const std::string& text, const std::string& caption, int flags) {
  auto* box = new FixedEscapeBox();
  box->setWindowModality(Qt::ApplicationModal);
  box->setTextFormat(Qt::PlainText);
  // Names in a message show their direction marks and control characters by name.
  box->setText(VisibleLines(text));
  box->setWindowTitle(VisibleName(caption));
  switch (flags & kIconMask) {
    case support::kMbIconError:
      box->setIcon(QMessageBox::Critical);
      break;
    case support::kMbIconQuestion:
      box->setIcon(QMessageBox::Question);
      break;
    case support::kMbIconWarning:
      box->setIcon(QMessageBox::Warning);
      break;
    case support::kMbIconInformation:
      box->setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  const ButtonSet set = ButtonsOf(flags);
  std::vector<QPushButton*> added;
  for (QMessageBox::StandardButton b : set.buttons) added.push_back(box->addButton(b));
  size_t default_index = 0;
  if ((flags & kDefaultMask) == kDefaultSecond) default_index = 1;
  if ((flags & kDefaultMask) == kDefaultThird) default_index = 2;
  if (default_index < added.size()) box->setDefaultButton(added[default_index]);
  if (set.escape != QMessageBox::NoButton) {
    box->setEscapeButton(box->button(set.escape));
  } else {
    box->escape_enabled = false;
  }
  return box;
}

int MessageBoxAnswer(int standard_button) {
  switch (standard_button) {
    case QMessageBox::Ok:
      return support::kIdOk;
    case QMessageBox::Cancel:
      return support::kIdCancel;
    case QMessageBox::Abort:
      return support::kIdAbort;
    case QMessageBox::Retry:
      return support::kIdRetry;
    case QMessageBox::Ignore:
      return support::kIdIgnore;
    case QMessageBox::Yes:
      return support::kIdYes;
    case QMessageBox::No:
      return support::kIdNo;
    default:
      return support::kIdCancel;
  }
}

void SetMessageBoxesClosed(bool closed) { boxes_closed.store(closed); }

void InstallQtMsgHandler() {
  boxes_closed.store(false);
  support::SetMsgHandler([](const std::string& text, const std::string& caption, int flags) {
    if (boxes_closed.load() || qApp == nullptr) return support::FirstButton(flags);
    if (QThread::currentThread() == qApp->thread()) return ShowBox(text, caption, flags);
    // The worker waits here until the box on the GUI thread has its answer.
    int answer = support::FirstButton(flags);
    // The window may have gone while this call waited in the queue.
    QMetaObject::invokeMethod(
        qApp,
        [&] {
          if (!boxes_closed.load()) answer = ShowBox(text, caption, flags);
        },
        Qt::BlockingQueuedConnection);
    return answer;
  });
}
