// The editor pages: byte-exact open and save, the line commands, folder listings, the
// file dialogs, the caption, which editor a command takes, the file box, the added page
// and the question before changed text is lost.

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QListWidget>
#include <QSplitter>
#include <QTest>

#include "app/double_edit.h"
#include "app/file_box.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "editor/text_editor.h"
#include "platform/files.h"
#include "suites.h"
#include "support/msg.h"

namespace testing_support {

namespace {

TextEditor* Editor(TViv050* w, const char* name) { return Find<TextEditor>(w, name); }

// Shows the page and gives the editor the focus, as a click would.
void Focus(TViv050* w, int page, TextEditor* editor) {
  Find<QTabWidget>(w, "pcCln")->setCurrentIndex(page);
  QApplication::setActiveWindow(w);
  QVERIFY(QTest::qWaitForWindowActive(w));
  editor->setFocus();
  QTRY_VERIFY(editor->hasFocus());
}

// The upper editor of Edit1 with `file` opened in it through its Open command.
TextEditor* OpenInEdit1(TViv050* w, AppEnv& env, const std::string& file) {
  TextEditor* edit = Editor(w, "sEdt11");
  Focus(w, TViv050::kPageEdit1, edit);
  env.files.Answer(file);
  w->ExecuteCommand(961);
  return edit;
}

void PointerOver(TextEditor* editor) {
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(editor, &enter);
}

void PointerAway(TextEditor* editor) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(editor, &leave);
}

QStringList LinesOf(const TextEditor* editor) {
  QStringList lines;
  const support::StringList list = editor->Lines();
  for (const std::string& line : list.items()) lines << QString::fromStdString(line);
  return lines;
}

// The status line at the foot of the editor page that has one (each test works on one).
QString Status(TViv050* w) {
  for (const QWidget* page : w->findChildren<TTbsDoubleEdit*>()) {
    const auto* status = page->findChild<QLabel*>("lEdStatus");
    if (status != nullptr && !status->text().isEmpty()) return status->text();
  }
  return {};
}

QStringList Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& line : lines) out << QString::fromStdString(line);
  return out;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

class EditorPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void OpenAndSaveKeepEveryByte() {
    AppEnv env;
    TempTree tree;
    // Invalid UTF-8, CR LF, a line and a file name that end in blanks.
    const std::string bytes = "F 00001 /data/caf\xC9.txt\r\nR ends in blanks   \r\n\r\nlast\r\n";
    const std::string file = tree.File("ids \xE9.v00  ", bytes);
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = Editor(w, "sEdt11");
    Focus(w, TViv050::kPageEdit1, edit);

    env.files.Answer(file);
    w->ExecuteCommand(961);
    QCOMPARE(env.files.captions().back(), std::string("Open file for editor sEdt11"));
    QCOMPARE(Status(w), Q(" Loaded file " + file + " to sEdt11"));
    QCOMPARE(edit->file_name(), file);
    QCOMPARE(edit->Line(0), std::string("F 00001 /data/caf\xC9.txt"));
    QCOMPARE(edit->Line(1), std::string("R ends in blanks   "));
    QCOMPARE(edit->LineCount(), size_t{4});
    QVERIFY(!edit->isModified());

    platform::WriteWholeFile(file, "");
    w->ExecuteCommand(963);
    QCOMPARE(Status(w), Q(" Saved file " + file + " from sEdt11"));
    QCOMPARE(TempTree::Read(file), bytes);

    // Mixed line ends become the first one; a last line gains its line end.
    const std::string mixed = tree.File("mixed.lst", "a\r\nb\nc\rd");
    env.files.Answer(mixed);
    w->ExecuteCommand(961);
    QCOMPARE(LinesOf(edit), Lines({"a", "b", "c", "d"}));
    w->ExecuteCommand(963);
    QCOMPARE(TempTree::Read(mixed), std::string("a\r\nb\r\nc\r\nd\r\n"));

    // A file that cannot be read changes nothing.
    env.files.Answer(tree.Path("missing.lst"));
    w->ExecuteCommand(961);
    QCOMPARE(edit->file_name(), mixed);
    QCOMPARE(LinesOf(edit).size(), size_t{4});
  }

  void StripSortAndFixOldData() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = Editor(w, "sEdt12");
    PointerOver(edit);

    edit->ReplaceAll("a\n\n  \nb\n");
    w->ExecuteCommand(101);
    QCOMPARE(LinesOf(edit), Lines({"a", "b"}));
    QCOMPARE(Status(w), Q(std::string(" Removed blanks from sEdt12")));

    edit->ReplaceAll("b\n\nA\nc\n_x\nB\n");
    w->ExecuteCommand(102);
    QCOMPARE(LinesOf(edit), Lines({"_x", "A", "B", "b", "c"}));
    QCOMPARE(Status(w), Q(std::string(" Stripped sorted sEdt12")));

    // Characters 48-51 and 72-75 go; "é" is one character of two bytes.
    std::string ascii;
    for (int i = 0; i < 79; ++i) ascii += static_cast<char>('0' + i % 43);
    const std::string line80 = "\xC3\xA9" + ascii;
    const std::string line60 = "\xC3\xA9" + ascii.substr(0, 59);
    const std::string line40 = ascii.substr(0, 40);
    edit->ReplaceAll(line80 + "  \n" + line60 + "\n" + line40 + "   \n   \n");
    w->ExecuteCommand(201);
    const std::string fixed80 =
        "\xC3\xA9" + ascii.substr(0, 46) + ascii.substr(50, 20) + ascii.substr(74, 5);
    const std::string fixed60 = "\xC3\xA9" + ascii.substr(0, 46) + ascii.substr(50, 9);
    QCOMPARE(LinesOf(edit), Lines({fixed80, fixed60, line40, "   "}));
    QCOMPARE(Status(w), Q(std::string(" Fixed old data sEdt12")));
    QCOMPARE(fixed80.size(), size_t{73});
    QCOMPARE(fixed60.size(), size_t{57});

    env.msg.Answer(support::kIdNo);
    w->ExecuteCommand(950);
    QCOMPARE(edit->LineCount(), size_t{0});
    QCOMPARE(Status(w), Q(std::string(" Cleared editor sEdt12")));
  }

  void FolderListsAppendAndLeaveNoFileName() {
    AppEnv env;
    TempTree tree;
    tree.File("data/b.txt", "1");
    tree.File("data/A.txt", "2");
    tree.File("data/sub/c.txt", "3");
    tree.Dir("data/sub/deeper");
    const std::string out = tree.File("out.lst", "x\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = Editor(w, "sEdt11");
    Focus(w, TViv050::kPageEdit1, edit);
    env.files.Answer(out);
    w->ExecuteCommand(961);

    const std::string data = tree.root() + "data";
    env.folders.Answer(data);
    w->ExecuteCommand(951);
    QCOMPARE(env.folders.captions().back(), std::string("Get files to editor"));
    QCOMPARE(LinesOf(edit), Lines({"x", data + "/A.txt", data + "/b.txt"}));
    QCOMPARE(edit->file_name(), std::string());
    QCOMPARE(Status(w), Q(" Loaded files from directory " + data + " to sEdt11"));
    QCOMPARE(w->windowTitle(), QString("Checker"));

    // The appended lines are a change: the question comes first.
    env.msg.Answer(support::kIdNo);
    env.folders.Answer(data);
    w->ExecuteCommand(952);
    QCOMPARE(LinesOf(edit), Lines({"x", data + "/A.txt", data + "/b.txt",
                                                      data + "/sub/", data + "/sub/deeper/"}));
    QCOMPARE(Status(w), Q(" Loaded driectory tree from directory " + data + " to sEdt11"));

    // No file name: Save asks where.
    const size_t asked = env.files.captions().size();
    w->ExecuteCommand(963);
    QCOMPARE(env.files.captions().size(), asked + 1);
    QCOMPARE(env.files.captions().back(), std::string("Save file from editor sEdt11"));
    QCOMPARE(TempTree::Read(out), std::string("x\n"));
  }

  void LoadFallsBackToOpenAndSaveAsNamesTheOldFile() {
    AppEnv env;
    TempTree tree;
    const std::string empty = tree.File("empty.lst", "");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = Editor(w, "sEdt21");
    Focus(w, TViv050::kPageEdit2, edit);

    w->ExecuteCommand(962);
    QCOMPARE(env.files.captions(), (std::vector<std::string>{"Open file for editor sEdt21"}));
    edit->set_file_name(empty);
    w->ExecuteCommand(962);
    QCOMPARE(env.files.captions().size(), size_t{2});
    edit->set_file_name("");

    edit->ReplaceAll("one\n");
    const std::string first = tree.Path("first.txt");
    const std::string second = tree.Path("second.txt");
    env.files.Answer(first);
    w->ExecuteCommand(964);
    QCOMPARE(Status(w), Q(" Saved new file as " + first + " from sEdt21"));
    QCOMPARE(w->windowTitle(), QString::fromStdString("Checker Edit1 : " + first));
    env.files.Answer(second);
    w->ExecuteCommand(984);
    QCOMPARE(Status(w), Q(" Saved file " + first + " as " + second + " from sEdt21"));
    QCOMPARE(TempTree::Read(second), std::string("one\n"));
    QVERIFY(!edit->isModified());

    // Reload from the file after a change on disk.
    platform::WriteWholeFile(second, "two\r\n");
    w->ExecuteCommand(962);
    QCOMPARE(LinesOf(edit), Lines({"two"}));
    QCOMPARE(Status(w), Q(" Loaded file " + second + " to sEdt21"));
  }

  void CaptionNamesTheFilesOfTheShownPage() {
    AppEnv env;
    TempTree tree;
    const std::string file = tree.File("t/a.v00", "F\r\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = Editor(w, "sEdt22");
    Focus(w, TViv050::kPageEdit2, edit);
    env.files.Answer(file);
    w->ExecuteCommand(961);
    QCOMPARE(w->windowTitle(), QString::fromStdString("Checker Edit2 : " + file));
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageEdit1);
    QCOMPARE(w->windowTitle(), QString("Checker"));
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageEdit2);
    QCOMPARE(w->windowTitle(), QString::fromStdString("Checker Edit2 : " + file));
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageRun);
    QCOMPARE(w->windowTitle(), QString("Checker"));
  }

  void CommandsTakeTheEditorUnderThePointerAndCtrlSTheFocusedOne() {
    AppEnv env;
    TempTree tree;
    const std::string top = tree.File("top.lst", "z\na\n");
    const std::string bottom = tree.File("bottom.lst", "y\nb\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* first = Editor(w, "sEdt11");
    TextEditor* second = Editor(w, "sEdt12");
    Focus(w, TViv050::kPageEdit1, second);
    env.files.Answer(bottom);
    w->ExecuteCommand(961);
    Focus(w, TViv050::kPageEdit1, first);
    env.files.Answer(top);
    w->ExecuteCommand(961);

    PointerOver(second);
    w->ExecuteCommand(102);
    QCOMPARE(LinesOf(second), Lines({"b", "y"}));
    QCOMPARE(LinesOf(first), Lines({"z", "a"}));
    PointerAway(second);
    w->ExecuteCommand(102);
    QCOMPARE(LinesOf(first), Lines({"a", "z"}));

    // Ctrl+S saves the editor with the focus, not the one under the pointer.
    PointerOver(second);
    second->ReplaceAll("changed\n");
    QTest::keyClick(first, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(TempTree::Read(top), std::string("a\nz\n"));
    QCOMPARE(TempTree::Read(bottom), std::string("y\nb\n"));
    QCOMPARE(Status(w), Q(" Saved file " + top + " from sEdt11"));

    // Position labels of the current editor.
    first->setCursorPosition(1, 1);
    w->ExecuteCommand(60);
    QCOMPARE(TextOf(w, "lbdPos1"), std::string("2"));
    QCOMPARE(TextOf(w, "lbdSel1"), std::string("3-0"));
    second->ReplaceAll("");
    Focus(w, TViv050::kPageEdit1, second);
    QCOMPARE(TextOf(w, "lbdSel1"), std::string());
  }

  void FileBoxLoadsIntoTheCurrentEditorOnly() {
    AppEnv env;
    TempTree tree;
    const std::string lists = tree.Dir("lists");
    tree.File("lists/b.v00", "b\r\n");
    tree.File("lists/A.v01", "a\r\n");
    tree.File("lists/.hidden.v00", "h\r\n");
    tree.File("lists/x.t00", "t\r\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    Enter(w, "cbPath", QString::fromStdString(lists));
    auto* box = Find<FileBox>(w, "bFil");
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "b.v00"}));

    // After a page change no editor is current: nothing loads.
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageEdit1);
    TextEditor* edit = Editor(w, "sEdt12");
    const QRect second_row = box->visualItemRect(box->item(1));
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, second_row.center());
    QCOMPARE(box->selectedPath(), lists + "b.v00");
    QCOMPARE(edit->LineCount(), size_t{0});
    QCOMPARE(Editor(w, "sEdt11")->LineCount(), size_t{0});

    Focus(w, TViv050::kPageEdit1, edit);
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, second_row.center());
    QCOMPARE(LinesOf(edit), Lines({"b"}));
    QCOMPARE(edit->file_name(), lists + "b.v00");
    QCOMPARE(w->windowTitle(), QString::fromStdString("Checker Edit2 : " + lists + "b.v00"));
    QCOMPARE(Editor(w, "sEdt11")->LineCount(), size_t{0});

    // Enter loads too; F5 shows a new file; the mask ignores case.
    box->setFocus();
    box->setCurrentRow(0);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(LinesOf(edit), Lines({"a"}));
    tree.File("lists/c.v00", "c\r\n");
    QTest::keyClick(box, Qt::Key_F5);
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "b.v00", "c.v00"}));
    box->SetMask("*.T00;*.v01");
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "x.t00"}));
    box->SetMask("*.*");
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "b.v00", "c.v00", "x.t00"}));
  }

  void AddedPageCopiesTheSettingsAndGoesWhole() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    auto* pages = Find<QTabWidget>(w, "pcCln");
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageEdit1);
    const int count = pages->count();
    w->ExecuteCommand(801);
    TTbsDoubleEdit* page = w->added_page();
    QVERIFY(page != nullptr);
    QCOMPARE(pages->count(), count + 1);
    pages->setCurrentWidget(page);
    QTRY_VERIFY(page->Edt2->isVisible());
    const double share = double(page->Edt2->height()) / page->Splitter->height();
    QVERIFY2(share > 0.25 && share < 0.35, QByteArray::number(share));
    for (TextEditor* e : {page->Edt1, page->Edt2}) {
      QCOMPARE(e->edgeColumn(), 160);
      QCOMPARE(e->edgeMode(), QsciScintilla::EdgeLine);
      QCOMPARE(e->tabWidth(), 4);
      QCOMPARE(e->objectName(), QString());
    }
    QPointer<TextEditor> first = page->Edt1;
    QPointer<TextEditor> second = page->Edt2;
    w->ExecuteCommand(802);
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
    QCOMPARE(pages->count(), count);
    QVERIFY(w->added_page() == nullptr);
  }

  void ChangedTextIsSavedDiscardedOrKept() {
    AppEnv env;
    TempTree tree;
    const std::string mine = tree.File("mine.lst", "old\n");
    const std::string other = tree.File("other.lst", "other\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = Editor(w, "sEdt11");
    Focus(w, TViv050::kPageEdit1, edit);
    env.files.Answer(mine);
    w->ExecuteCommand(961);
    QTest::keyClicks(edit, "new ");
    QVERIFY(edit->isModified());

    // Cancel: nothing happens.
    env.msg.Answer(support::kIdCancel);
    env.files.Answer(other);
    w->ExecuteCommand(961);
    QCOMPARE(env.msg.messages().back().text, "Save changes to " + mine + "?");
    QCOMPARE(env.msg.messages().back().flags & 0xFF,
             support::kMbYesNoCancel | support::kMbIconQuestion);
    QCOMPARE(edit->file_name(), mine);
    QCOMPARE(LinesOf(edit), Lines({"new old"}));

    // Cancel keeps the window open; Save writes the file and lets it close.
    env.msg.Answer(support::kIdCancel);
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    env.msg.Answer(support::kIdYes);
    QVERIFY(w->close());
    QCOMPARE(TempTree::Read(mine), std::string("new old\n"));

    // Discard: Clear lines goes on and the file stays.
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::keyClicks(edit, "x");
    env.msg.Answer(support::kIdNo);
    w->ExecuteCommand(950);
    QCOMPARE(edit->LineCount(), size_t{0});
    QCOMPARE(TempTree::Read(mine), std::string("new old\n"));
    // Given up once, the cleared editor is not asked about again.
    const size_t asked = env.msg.messages().size();
    QVERIFY(w->close());
    QCOMPARE(env.msg.messages().size(), asked);
  }

  // Without a file the question says where the editor sits, side by side too.
  void SaveQuestionNamesAnEditorWithoutAFile() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    const std::pair<const char*, std::string> editors[] = {
        {"sEdt11", "the upper editor of Edit1"},
        {"sEdt22", "the lower editor of Edit2"},
        {"", ""},  // Edit1's editors side by side from here on
        {"sEdt12", "the right editor of Edit1"}};
    for (const auto& [name, title] : editors) {
      if (*name == '\0') {
        Find<QAction>(w, "mi351")->trigger();
        continue;
      }
      TextEditor* edit = Editor(w, name);
      QTest::keyClicks(edit, "text");
      env.msg.Answer(support::kIdCancel);
      PointerOver(edit);
      w->ExecuteCommand(950);
      PointerAway(edit);
      QCOMPARE(env.msg.messages().back().text, "Save changes to " + title + "?");
    }
    QCOMPARE(Editor(w, "sEdt11")->parentWidget()->property("orientation").toInt(),
             int{Qt::Horizontal});
  }

  void SaveAsksAboutAChangeOnDiskAndNeverWritesAListARunHolds() {
    AppEnv env;
    TempTree tree;
    const std::string file = tree.File("ids.v00", "loaded\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = OpenInEdit1(w, env, file);
    // Each disk text has a new length, so the change shows whatever the clock's grain.
    const struct {
      int answer;
      std::string disk, file_after, editor_after;
    } cases[] = {{support::kIdCancel, "run 1\n", "run 1\n", "mine\n"},
                 {support::kIdNo, "run 22\n", "run 22\n", "run 22\n"},
                 {support::kIdYes, "run 333\n", "mine\n", "mine\n"}};
    for (const auto& c : cases) {
      edit->ReplaceAll("mine\n");
      platform::WriteWholeFile(file, c.disk);
      env.msg.Answer(c.answer);
      QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
      QCOMPARE(env.msg.messages().back().text,
               file +
                   " changed on disk since it was loaded. Yes: save over it; No: load it "
                   "again; Cancel: keep both as they are");
      QCOMPARE(TempTree::Read(file), c.file_after);
      QCOMPARE(std::string(edit->Bytes()), c.editor_after);
    }
    // Held by a run: neither Save nor Save as writes it, and nothing is asked.
    edit->ReplaceAll(std::string(9, '\0'));
    platform::File run;
    QVERIFY(run.Open(file, platform::OpenMode::kReadWriteLocked));
    for (int command : {963, 964}) {
      env.files.Answer(file);
      w->ExecuteCommand(command);
      QCOMPARE(Status(w), Q(" " + file + " is in use by a running scan; not saved"));
      QCOMPARE(TempTree::Read(file), std::string("mine\n"));
    }
    QCOMPARE(env.msg.messages().size(), size_t{3});
  }

  void FocusOffersToReloadEachChangeOnce() {
    AppEnv env;
    TempTree tree;
    const std::string file = tree.File("ids.v00", "old\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    TextEditor* edit = OpenInEdit1(w, env, file);
    platform::WriteWholeFile(file, "new 1\n");
    env.msg.Answer(support::kIdNo);
    for (int i = 0; i < 2; ++i) {
      Focus(w, TViv050::kPageEdit1, Editor(w, "sEdt12"));
      Focus(w, TViv050::kPageEdit1, edit);
      QTRY_COMPARE(env.msg.messages().size(), size_t{1});
    }
    QCoreApplication::processEvents();
    QCOMPARE(env.msg.messages().size(), size_t{1});
    QCOMPARE(env.msg.messages().back().text,
             file + " changed on disk since it was loaded. Load it again?");
    QCOMPARE(std::string(edit->Bytes()), std::string("old\n"));
    // The next change is offered again; Yes loads it.
    platform::WriteWholeFile(file, "new 22\n");
    Focus(w, TViv050::kPageEdit1, Editor(w, "sEdt12"));
    Focus(w, TViv050::kPageEdit1, edit);
    QTRY_COMPARE(std::string(edit->Bytes()), std::string("new 22\n"));
    QCOMPARE(env.msg.messages().size(), size_t{2});
  }
};

namespace {
RegisterSuite<EditorPagesTest> editor_pages_suite;
}

}  // namespace testing_support

#include "editor_pages_test.moc"
