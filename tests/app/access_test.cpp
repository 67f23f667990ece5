// The window without a mouse and to a screen reader: every control a keyboard reaches
// has a name, every button caption with a letter a mnemonic of its own on its page, every
// field label its field as buddy, and Find opens ready to type.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/kit/command_tags.h"
#include "app/kit/controls.h"
#include "app/utilities_dialog.h"
#include "app_fixture.h"
#include "suites.h"

namespace testing_support {

namespace {

bool HasLetter(const QString& text) { return text.contains(QRegularExpression("[A-Za-z]")); }

// What a widget is called in a failure: its object name, or its class and its parent's.
std::string Called(const QWidget* w) {
  std::string name = w->objectName().toStdString();
  if (!name.empty()) return name;
  name = w->metaObject()->className();
  if (const QWidget* parent = w->parentWidget()) name += " in " + Called(parent);
  return name;
}

// The controls of the window `page` a keyboard reaches as it shows now.
std::vector<QWidget*> ShownControls(QWidget* page) {
  std::vector<QWidget*> controls;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (w->window() != page || !w->isVisibleTo(page) || w->focusPolicy() == Qt::NoFocus) continue;
    // Parts that pass their focus on: a combo box's line edit, a spin box's.
    if (w->focusProxy() != nullptr) continue;
    controls.push_back(w);
  }
  return controls;
}

// A screen reader reads a control's accessible name, a button's caption, or the label
// whose buddy it is.
bool Named(QWidget* w, const std::set<const QWidget*>& buddies) {
  if (HasLetter(w->accessibleName())) return true;
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    if (HasLetter(button->text())) return true;
  }
  return buddies.count(w) != 0;
}

std::set<const QWidget*> Buddies(const QWidget* root) {
  std::set<const QWidget*> buddies;
  for (const QLabel* label : root->findChildren<QLabel*>()) {
    // Read as the name of a buddy beside it (in the same parent).
    const QWidget* buddy = label->buddy();
    if (buddy != nullptr && buddy->parentWidget() == label->parentWidget() &&
        HasLetter(label->text())) {
      buddies.insert(buddy);
    }
  }
  return buddies;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) joined += "\n  " + item;
  return joined;
}

QTabWidget* Pages(TViv050* w) { return Find<QTabWidget>(w, "pcCln"); }

}  // namespace

class AccessTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryControlOnEveryPageHasAName() {
    AppEnv env;
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    w->ExecuteCommand(static_cast<int>(Command::kTools));
    auto* tools = w->findChild<TDsk201*>();
    QVERIFY(tools != nullptr);
    std::vector<std::string> unnamed;
    for (QWidget* window : {static_cast<QWidget*>(w), static_cast<QWidget*>(tools)}) {
      const std::set<const QWidget*> buddies = Buddies(window);
      auto* pages = Find<QTabWidget>(window, window == w ? "pcCln" : "pgCtl");
      for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        for (QWidget* control : ShownControls(window)) {
          if (!Named(control, buddies)) unnamed.push_back(Called(control));
        }
      }
    }
    std::sort(unnamed.begin(), unnamed.end());
    unnamed.erase(std::unique(unnamed.begin(), unnamed.end()), unnamed.end());
    QVERIFY2(unnamed.empty(), Joined(unnamed).c_str());
  }

  // Alt and the letter reach one control of the page in front; the name-part separators
  // show data and take none.
  void EveryButtonCaptionHasAMnemonicOfItsOwn() {
    AppEnv env;
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    std::vector<std::string> faults;
    for (int page = 0; page < Pages(w)->count(); ++page) {
      Pages(w)->setCurrentIndex(page);
      std::map<QChar, std::string> taken;
      auto take = [&](const QString& text, const std::string& who) {
        const QRegularExpressionMatch m = QRegularExpression("&([^&])").match(text);
        if (!m.hasMatch()) return false;
        const QChar key = m.captured(1).at(0).toLower();
        if (taken.count(key) != 0)
          faults.push_back(who + " shares Alt+" + key.toLatin1() + " with " + taken[key]);
        taken[key] = who;
        return true;
      };
      for (const char key : {'f', 'e', 'v', 'h'}) taken[QChar(key)] = "the menu bar";
      std::vector<QAbstractButton*> none;
      for (QWidget* control : ShownControls(w)) {
        auto* button = qobject_cast<QAbstractButton*>(control);
        if (button == nullptr || !HasLetter(button->text())) continue;
        if (!take(button->text(), Called(button))) none.push_back(button);
      }
      for (QLabel* label : w->findChildren<QLabel*>()) {
        if (label->isVisibleTo(w) && label->buddy() != nullptr) take(label->text(), Called(label));
      }
      // A caption goes without only when every letter it has serves another control.
      for (QAbstractButton* button : none) {
        for (const QChar c : button->text()) {
          if (c.isLetter() && taken.count(c.toLower()) == 0) {
            faults.push_back(Called(button) + " has none");
            break;
          }
        }
      }
    }
    for (TSplitterSx* handle : w->findChildren<TSplitterSx*>()) {
      QVERIFY(!handle->caption().contains('&'));
    }
    QVERIFY2(faults.empty(), Joined(faults).c_str());
  }

  void FindPageOpensWithItsSearchFieldFocused() {
    AppEnv env;
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    Pages(w)->setCurrentIndex(TViv050::kPageRun);
    Pages(w)->setCurrentIndex(TViv050::kPageFind);
    QTRY_COMPARE(QApplication::focusWidget(), Find<QWidget>(w, "eFndName"));
  }
};

namespace {
RegisterSuite<AccessTest> access_suite;
}

}  // namespace testing_support

#include "access_test.moc"
