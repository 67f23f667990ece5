// The menu bar: each entry runs its command, an entry for a button follows that button
// and says why it is off, and the keys of the menus never clash with one another.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <algorithm>

#include "app/kit/file_box.h"
#include "app/run/job_link.h"
#include "app_fixture.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "editor/text_editor.h"
#include "platform/files.h"
#include "suites.h"

namespace testing_support {

namespace {

constexpr int kRunTimeout = 60000;

QMenu* MenuOf(TViv050* w, const QString& title) {
  for (QAction* top : w->menuBar()->actions()) {
    if (top->text().remove('&') == title) return top->menu();
  }
  return nullptr;
}

// The entry with this caption (mnemonics left out) in the menu with this title.
QAction* Entry(TViv050* w, const QString& title, const QString& caption) {
  QMenu* menu = MenuOf(w, title);
  if (menu == nullptr) return nullptr;
  for (QAction* action : menu->actions()) {
    if (action->text().remove('&') == caption) return action;
  }
  return nullptr;
}

// Opens the menu and rests the pointer on the entry, as a person would; the menu closes
// again. Returns what the status bar said meanwhile.
std::string PointAt(TViv050* w, const QString& title, const QString& caption) {
  QMenu* menu = MenuOf(w, title);
  QAction* action = Entry(w, title, caption);
  menu->popup(w->mapToGlobal(QPoint(0, 0)));
  const QPoint at = menu->actionGeometry(action).center();
  QMouseEvent move(QEvent::MouseMove, at, menu->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(menu, &move);
  const std::string said = TextOf(w, "sbInfo");
  menu->hide();
  return said;
}

QTabWidget* Pages(TViv050* w) { return Find<QTabWidget>(w, "pcCln"); }

// The Alt keys taken twice while the current page is in front: by the menu titles, the
// buttons shown and the labels shown with a buddy.
QStringList AltKeysTakenTwice(TViv050* w) {
  QMap<QString, QString> owners;
  QStringList twice;
  const auto take = [&](const QString& text) {
    const QString key = QKeySequence::mnemonic(text).toString();
    if (key.isEmpty()) return;
    if (owners.contains(key)) twice << key + ": " + owners[key] + " and " + text;
    owners[key] = text;
  };
  for (QAction* top : w->menuBar()->actions()) take(top->text());
  for (QAbstractButton* button : w->findChildren<QAbstractButton*>()) {
    if (button->isVisible()) take(button->text());
  }
  for (QLabel* label : w->findChildren<QLabel*>()) {
    if (label->isVisible() && label->buddy() != nullptr) take(label->text());
  }
  return twice;
}

bool ActiveWindow(TViv050* w) {
  QApplication::setActiveWindow(w);
  return QTest::qWaitForWindowActive(w);
}

}  // namespace

class MenuBarTest : public QObject {
  Q_OBJECT

 private slots:
  void ViewEntriesAndTheirKeysShowEachPage() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    QVERIFY(ActiveWindow(w));
    QTest::failOnWarning(QRegularExpression("Ambiguous"));
    const struct {
      const char* caption;
      Qt::Key key;
      int page;
    } views[] = {
        {"Run", Qt::Key_1, TViv050::kPageRun},     {"Settings", Qt::Key_2, TViv050::kPageSettings},
        {"Edit1", Qt::Key_3, TViv050::kPageEdit1}, {"Edit2", Qt::Key_4, TViv050::kPageEdit2},
        {"Audit", Qt::Key_5, TViv050::kPageAudit}, {"Find", Qt::Key_6, TViv050::kPageFind}};
    for (const auto& view : views) {
      Pages(w)->setCurrentIndex(view.page == 0 ? 1 : 0);
      Entry(w, "View", view.caption)->trigger();
      QCOMPARE(Pages(w)->currentIndex(), view.page);
      Pages(w)->setCurrentIndex(view.page == 0 ? 1 : 0);
      QTest::keyClick(w, view.key, Qt::ControlModifier);
      QCOMPARE(Pages(w)->currentIndex(), view.page);
    }
    // The Find page opens ready to type.
    QTRY_VERIFY(Find<QLineEdit>(w, "eFndName")->hasFocus());

    // An editor keeps Ctrl+F for itself; outside one it opens the Find page.
    Pages(w)->setCurrentIndex(TViv050::kPageEdit1);
    auto* editor = Find<TextEditor>(w, "sEdt11");
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(Pages(w)->currentIndex(), int{TViv050::kPageEdit1});
  }

  void EveryKeyOfTheMenusIsItsOwn() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    QStringList keys;
    for (QAction* action : w->findChildren<QAction*>()) {
      for (const QKeySequence& key : action->shortcuts()) keys << key.toString();
    }
    keys.sort();
    QCOMPARE(keys,
             QStringList({"Ctrl+1", "Ctrl+2", "Ctrl+3", "Ctrl+4", "Ctrl+5", "Ctrl+6", "Ctrl+Q"}));
    // No Alt key of the menu titles serves a control of any page as well.
    for (int page = 0; page < Pages(w)->count(); ++page) {
      Pages(w)->setCurrentIndex(page);
      const QStringList twice = AltKeysTakenTwice(w);
      QVERIFY2(twice.isEmpty(), qPrintable(twice.join("; ")));
    }
    QSignalSpy closed(w, &TViv050::closed);
    QVERIFY(ActiveWindow(w));
    QTest::keyClick(w, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(closed.size(), 1);
  }

  void CreateFromTheMenuRunsAsTheButtonDoes() {
    AppEnv env;
    TempTree tree;
    tree.File("a/one.txt", "1");
    tree.File("two.txt", "22");
    // Enough files for a progress notification while the run goes on.
    for (int i = 0; i < 20; ++i) tree.File("b/f" + std::to_string(i), std::string(i * 7, 'q'));
    platform::MakeDirs(env.dir() + "xBase/");
    auto window = OpenWindow();
    TViv050* w = window.get();
    QAction* create = Entry(w, "File", "Create");
    QVERIFY(!create->isEnabled());
    Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(tree.root()));
    Find<QComboBox>(w, "cName")->setEditText("Vol9");
    QTest::mouseClick(Find<QPushButton>(w, "bcRun041"), Qt::LeftButton);
    QVERIFY(create->isEnabled());
    // An entry that is on shows its button's hint while the pointer rests on it.
    QCOMPARE(PointAt(w, "File", "Create"), std::string(" Create new files, back up existing"));
    // While the run goes on, the entries of Create and Verify are off and say why.
    Enter(w, "eTimer", "1");
    bool off_while_running = false;
    std::string reason_while_running;
    QMetaObject::Connection watch =
        QObject::connect(w->link(), &JobLink::notified, w, [&](int code) {
          if (code != scan::kNotifyProgress || !reason_while_running.empty()) return;
          off_while_running = !create->isEnabled() && !Entry(w, "File", "Verify")->isEnabled();
          reason_while_running = PointAt(w, "File", "Verify");
        });
    QSignalSpy spy(w->link(), &JobLink::notified);
    create->trigger();
    QVERIFY(QTest::qWaitFor(
        [&] { return !spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd; },
        kRunTimeout));
    QObject::disconnect(watch);
    QVERIFY(off_while_running);
    QCOMPARE(reason_while_running,
             std::string(" Off while a run, a verify or a comparison goes on"));
    QCOMPARE(Pages(w)->currentIndex(), int{TViv050::kPageRun});
    // Finished ("F" in the header's state column), with both files listed.
    const std::vector<std::string> lines = FileLines(env.dir() + "xBase/Vol9.v00");
    QVERIFY(!lines.empty() && lines[0].size() > 70);
    QCOMPARE(lines[0][70], 'F');
    for (const char* name : {"one.txt", "two.txt"}) {
      const std::string field = std::string("| ") + name + " ";
      QVERIFY2(std::any_of(lines.begin(), lines.end(),
                           [&field](const std::string& line) {
                             return line.starts_with("F ") && line.find(field) != std::string::npos;
                           }),
               name);
    }
  }

  void VerifyCompareAndSaveReportFromTheMenu() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    tree.File("a.txt", "aaa");
    tree.File("b.txt", "bbbb");
    const std::string root = tree.root().substr(0, tree.root().size() - 1);
    for (const char* list : {"old.v00", "other.v00"}) {
      const std::string path = out.Path(list);
      QCOMPARE(RunCommand(CHECKER_CLI_PATH,
                          {"scan", "--quiet", "--list", path, "--tree", path + ".t", root})
                   .exit_code,
               0);
    }
    tree.File("b.txt", "changed");
    auto window = OpenWindow();
    TViv050* w = window.get();
    auto* box = Find<FileBox>(w, "bFil");
    box->SetFolder(out.root());
    box->setCurrentRow(0);  // old.v00 comes first
    QCOMPARE(box->selectedPath(), out.Path("old.v00"));

    Entry(w, "File", "Verify")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Pages(w)->currentIndex(), int{TViv050::kPageAudit}, kRunTimeout);
    QTRY_VERIFY(Entry(w, "File", "Verify")->isEnabled());

    // The menu's report is the button's, but for the second of its date line.
    const auto report = [&](const std::string& file, bool menu) {
      env.files.Answer(file);
      if (menu) {
        Entry(w, "File", "Save report...")->trigger();
      } else {
        QTest::mouseClick(Find<QPushButton>(w, "bcAudSave"), Qt::LeftButton);
      }
      std::vector<std::string> lines = SortedLines(TempTree::Read(file));
      std::erase_if(lines, [](const std::string& line) { return line.starts_with("Date: "); });
      return lines;
    };
    const std::vector<std::string> from_menu = report(out.Path("menu.txt"), true);
    QVERIFY(from_menu.size() > 2);
    QCOMPARE(from_menu, report(out.Path("button.txt"), false));

    env.files.Answer(out.Path("other.v00"));
    Pages(w)->setCurrentIndex(TViv050::kPageRun);
    Entry(w, "File", "Compare with...")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Pages(w)->currentIndex(), int{TViv050::kPageAudit}, kRunTimeout);
    QVERIFY(Find<QLabel>(w, "liAudLists")->toolTip().contains("other.v00"));
  }

  void EntriesFollowTheirButtonsAndSayWhyTheyAreOff() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    const auto follow = [w] {
      const std::pair<const char*, const char*> followed[] = {{"Create", "bcRun01"},
                                                              {"Continue", "bcRun02"},
                                                              {"Verify", "bcRunVerify"},
                                                              {"Compare with...", "bcRunCompare"},
                                                              {"Save report...", "bcAudSave"}};
      for (const auto& [caption, button] : followed) {
        if (Entry(w, "File", caption)->isEnabled() != Find<QPushButton>(w, button)->isEnabled()) {
          return false;
        }
      }
      return true;
    };
    QVERIFY(follow());
    Find<QPushButton>(w, "bcRunVerify")->setEnabled(false);
    QVERIFY(follow());

    Pages(w)->setCurrentIndex(TViv050::kPageRun);
    const struct {
      const char* title;
      const char* caption;
      const char* reason;
    } offs[] = {
        {"File", "Create",
         " Create is off: choose a search path (or tick Name and give one) to name the lists"},
        {"File", "Save report...", " Save report is off: no verify or comparison shown yet"},
        {"Edit", "Sort",
         " The editor commands work on the page of an editor in front (Edit1, Edit2)"},
    };
    for (const auto& off : offs) {
      QVERIFY(!Entry(w, off.title, off.caption)->isEnabled());
      QCOMPARE(PointAt(w, off.title, off.caption), std::string(off.reason));
    }
    Pages(w)->setCurrentIndex(TViv050::kPageEdit2);
    QVERIFY(Entry(w, "Edit", "Sort")->isEnabled());
  }

  void EditEntriesWorkOnTheEditorPageInFront() {
    AppEnv env;
    TempTree tree;
    const std::string list = tree.File("old.v00", "b\r\n\r\na\r\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    Pages(w)->setCurrentIndex(TViv050::kPageEdit2);
    auto* editor = Find<TextEditor>(w, "sEdt21");
    editor->ReplaceAll("z\n\ny\n");
    Entry(w, "Edit", "Strip Blanks")->trigger();
    QCOMPARE(std::string(editor->Bytes()), std::string("z\ny\n"));

    // Open list puts the list into Edit1's upper editor, byte for byte.
    env.files.Answer(list);
    Entry(w, "File", "Open list...")->trigger();
    QCOMPARE(Pages(w)->currentIndex(), int{TViv050::kPageEdit1});
    QCOMPARE(std::string(Find<TextEditor>(w, "sEdt11")->Bytes()), std::string("b\r\n\r\na\r\n"));
  }

  void HelpShowsThePagesTheRunFactsAndTheVersion() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    Entry(w, "Help", "What each page does")->trigger();
    auto* pages = Find<QTextBrowser>(w, "hlpPages");
    QVERIFY(pages != nullptr && pages->isVisible());
    for (const char* page : {"Run", "Settings", "Edit1", "Edit2", "Audit", "Find", "file box"}) {
      QVERIFY2(pages->toPlainText().contains(page), page);
    }
    Entry(w, "Help", "What a run tells you")->trigger();
    auto* facts = Find<QTextBrowser>(w, "hlpRun");
    QVERIFY(facts->isVisible());
    QVERIFY(facts->toPlainText().contains("Both lists are locked for the whole run"));

    Entry(w, "Help", "About Checker")->trigger();
    QCOMPARE(env.msg.messages().size(), size_t{1});
    QCOMPARE(env.msg.messages()[0].caption, std::string("About Checker"));
    QVERIFY(
        env.msg.messages()[0].text.starts_with(std::string("Checker ") + CHECKER_VERSION + "\n"));
  }
};

namespace {
RegisterSuite<MenuBarTest> register_menu_bar_test;
}  // namespace

}  // namespace testing_support

#include "menu_bar_test.moc"
