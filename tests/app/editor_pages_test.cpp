// The editor pages: byte-exact open and save, the line commands, folder listings, the
// file dialogs, the caption, which editor a command takes, the file box, the added page
// and the question before changed text is lost.

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QListWidget>
#include <QSplitter>
#include <QTest>
#include <optional>

#include "app/editors/double_edit.h"
#include "app/kit/command_tags.h"
#include "app/kit/file_box.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "editor/text_editor.h"
#include "platform/files.h"
#include "suites.h"
#include "support/msg.h"

namespace testing_support {

namespace {

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

 private:
  TextEditor* Editor(const char* name) { return Find<TextEditor>(w_, name); }

  // Shows the page and gives the editor the focus, as a click would.
  void Focus(int page, TextEditor* editor) {
    Find<QTabWidget>(w_, "pcCln")->setCurrentIndex(page);
    QApplication::setActiveWindow(w_);
    QVERIFY(QTest::qWaitForWindowActive(w_));
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
  }

  void Run(Command command) { w_->ExecuteCommand(static_cast<int>(command)); }

  // The upper editor of Edit1 with `file` opened in it through its Open command.
  TextEditor* OpenInEdit1(const std::string& file) {
    TextEditor* edit = Editor("sEdt11");
    Focus(TViv050::kPageEdit1, edit);
    env_->files.Answer(file);
    Run(Command::kMenuOpen);
    return edit;
  }

  // Each test has its own settings folder, temp tree and shown window; the window goes
  // first, the settings folder last.
  std::optional<AppEnv> env_;
  std::optional<TempTree> tree_;
  std::unique_ptr<TViv050> window_;
  TViv050* w_ = nullptr;

 private slots:
  void init() {
    env_.emplace();
    tree_.emplace();
    window_ = OpenWindow();
    w_ = window_.get();
  }

  void cleanup() {
    window_.reset();
    tree_.reset();
    env_.reset();
  }

  void OpenAndSaveKeepEveryByte() {
    // Invalid UTF-8, CR LF, a line and a file name that end in blanks.
    const std::string bytes = "F 00001 /data/caf\xC9.txt\r\nR ends in blanks   \r\n\r\nlast\r\n";
    const std::string file = tree_->File("ids \xE9.v00  ", bytes);
    TextEditor* edit = Editor("sEdt11");
    Focus(TViv050::kPageEdit1, edit);

    env_->files.Answer(file);
    Run(Command::kMenuOpen);
    QCOMPARE(env_->files.captions().back(), std::string("Open file for editor sEdt11"));
    // The documents' filter, then every file.
    QCOMPARE(env_->files.choices().back().filters,
             (std::vector<std::string>{"Text files[lst, log, ini] (*.lst *.log *.ini *.txt)",
                                       "All files (*)"}));
    QCOMPARE(Status(w_), Q(" Loaded file " + file + " to sEdt11"));
    QCOMPARE(edit->file_name(), file);
    QCOMPARE(edit->Line(0), std::string("F 00001 /data/caf\xC9.txt"));
    QCOMPARE(edit->Line(1), std::string("R ends in blanks   "));
    QCOMPARE(edit->LineCount(), size_t{4});
    QVERIFY(!edit->isModified());

    platform::WriteWholeFile(file, "");
    Run(Command::kMenuSave);
    QCOMPARE(Status(w_), Q(" Saved file " + file + " from sEdt11"));
    QCOMPARE(TempTree::Read(file), bytes);

    // Mixed line ends become the first one; a last line gains its line end.
    const std::string mixed = tree_->File("mixed.lst", "a\r\nb\nc\rd");
    env_->files.Answer(mixed);
    Run(Command::kMenuOpen);
    QCOMPARE(LinesOf(edit), Lines({"a", "b", "c", "d"}));
    Run(Command::kMenuSave);
    QCOMPARE(TempTree::Read(mixed), std::string("a\r\nb\r\nc\r\nd\r\n"));

    // A file that cannot be read changes nothing.
    env_->files.Answer(tree_->Path("missing.lst"));
    Run(Command::kMenuOpen);
    QCOMPARE(edit->file_name(), mixed);
    QCOMPARE(LinesOf(edit).size(), size_t{4});
  }

  void StripSortAndFixOldData() {
    TextEditor* edit = Editor("sEdt12");
    PointerOver(edit);

    edit->ReplaceAll("a\n\n  \nb\n");
    Run(Command::kStripBlanks);
    QCOMPARE(LinesOf(edit), Lines({"a", "b"}));
    QCOMPARE(Status(w_), Q(std::string(" Removed blanks from sEdt12")));

    edit->ReplaceAll("b\n\nA\nc\n_x\nB\n");
    Run(Command::kSort);
    QCOMPARE(LinesOf(edit), Lines({"_x", "A", "B", "b", "c"}));
    QCOMPARE(Status(w_), Q(std::string(" Stripped sorted sEdt12")));

    // Characters 48-51 and 72-75 go; "é" is one character of two bytes.
    std::string ascii;
    for (int i = 0; i < 79; ++i) ascii += static_cast<char>('0' + i % 43);
    const std::string line80 = "\xC3\xA9" + ascii;
    const std::string line60 = "\xC3\xA9" + ascii.substr(0, 59);
    const std::string line40 = ascii.substr(0, 40);
    edit->ReplaceAll(line80 + "  \n" + line60 + "\n" + line40 + "   \n   \n");
    Run(Command::kFixOldData);
    const std::string fixed80 =
        "\xC3\xA9" + ascii.substr(0, 46) + ascii.substr(50, 20) + ascii.substr(74, 5);
    const std::string fixed60 = "\xC3\xA9" + ascii.substr(0, 46) + ascii.substr(50, 9);
    QCOMPARE(LinesOf(edit), Lines({fixed80, fixed60, line40, "   "}));
    QCOMPARE(Status(w_), Q(std::string(" Fixed old data sEdt12")));
    QCOMPARE(fixed80.size(), size_t{73});
    QCOMPARE(fixed60.size(), size_t{57});

    env_->msg.Answer(support::kIdNo);
    Run(Command::kClearLines);
    QCOMPARE(edit->LineCount(), size_t{0});
    QCOMPARE(Status(w_), Q(std::string(" Cleared editor sEdt12")));
  }

  void FolderListsAppendAndLeaveNoFileName() {
    tree_->File("data/b.txt", "1");
    tree_->File("data/A.txt", "2");
    tree_->File("data/sub/c.txt", "3");
    tree_->Dir("data/sub/deeper");
    const std::string out = tree_->File("out.lst", "x\n");
    TextEditor* edit = Editor("sEdt11");
    Focus(TViv050::kPageEdit1, edit);
    env_->files.Answer(out);
    Run(Command::kMenuOpen);

    const std::string data = tree_->root() + "data";
    env_->folders.Answer(data);
    Run(Command::kListFiles);
    QCOMPARE(env_->folders.captions().back(), std::string("Get files to editor"));
    QCOMPARE(LinesOf(edit), Lines({"x", data + "/A.txt", data + "/b.txt"}));
    QCOMPARE(edit->file_name(), std::string());
    QCOMPARE(Status(w_), Q(" Loaded files from directory " + data + " to sEdt11"));
    QCOMPARE(w_->windowTitle(), QString("Checker"));

    // The appended lines are a change: the question comes first.
    env_->msg.Answer(support::kIdNo);
    env_->folders.Answer(data);
    Run(Command::kListDirectories);
    QCOMPARE(LinesOf(edit), Lines({"x", data + "/A.txt", data + "/b.txt",
                                                      data + "/sub/", data + "/sub/deeper/"}));
    QCOMPARE(Status(w_), Q(" Loaded driectory tree from directory " + data + " to sEdt11"));

    // No file name: Save asks where.
    const size_t asked = env_->files.captions().size();
    Run(Command::kMenuSave);
    QCOMPARE(env_->files.captions().size(), asked + 1);
    QCOMPARE(env_->files.captions().back(), std::string("Save file from editor sEdt11"));
    QCOMPARE(TempTree::Read(out), std::string("x\n"));
  }

  void LoadFallsBackToOpenAndSaveAsNamesTheOldFile() {
    const std::string empty = tree_->File("empty.lst", "");
    TextEditor* edit = Editor("sEdt21");
    Focus(TViv050::kPageEdit2, edit);

    Run(Command::kMenuLoad);
    QCOMPARE(env_->files.captions(), (std::vector<std::string>{"Open file for editor sEdt21"}));
    edit->set_file_name(empty);
    Run(Command::kMenuLoad);
    QCOMPARE(env_->files.captions().size(), size_t{2});
    edit->set_file_name("");

    edit->ReplaceAll("one\n");
    const std::string first = tree_->Path("first.txt");
    const std::string second = tree_->Path("second.txt");
    env_->files.Answer(first);
    Run(Command::kMenuSaveAs);
    QCOMPARE(Status(w_), Q(" Saved new file as " + first + " from sEdt21"));
    QCOMPARE(w_->windowTitle(), QString::fromStdString("Checker Edit1 : " + first));
    env_->files.Answer(second);
    Run(Command::kSaveAs);
    QCOMPARE(Status(w_), Q(" Saved file " + first + " as " + second + " from sEdt21"));
    QCOMPARE(TempTree::Read(second), std::string("one\n"));
    QVERIFY(!edit->isModified());

    // Reload from the file after a change on disk.
    platform::WriteWholeFile(second, "two\r\n");
    Run(Command::kMenuLoad);
    QCOMPARE(LinesOf(edit), Lines({"two"}));
    QCOMPARE(Status(w_), Q(" Loaded file " + second + " to sEdt21"));
  }

  void CaptionNamesTheFilesOfTheShownPage() {
    const std::string file = tree_->File("t/a.v00", "F\r\n");
    TextEditor* edit = Editor("sEdt22");
    Focus(TViv050::kPageEdit2, edit);
    env_->files.Answer(file);
    Run(Command::kMenuOpen);
    QCOMPARE(w_->windowTitle(), QString::fromStdString("Checker Edit2 : " + file));
    Find<QTabWidget>(w_, "pcCln")->setCurrentIndex(TViv050::kPageEdit1);
    QCOMPARE(w_->windowTitle(), QString("Checker"));
    Find<QTabWidget>(w_, "pcCln")->setCurrentIndex(TViv050::kPageEdit2);
    QCOMPARE(w_->windowTitle(), QString::fromStdString("Checker Edit2 : " + file));
    Find<QTabWidget>(w_, "pcCln")->setCurrentIndex(TViv050::kPageRun);
    QCOMPARE(w_->windowTitle(), QString("Checker"));
  }

  void CommandsTakeTheEditorUnderThePointerAndCtrlSTheFocusedOne() {
    const std::string top = tree_->File("top.lst", "z\na\n");
    const std::string bottom = tree_->File("bottom.lst", "y\nb\n");
    TextEditor* first = Editor("sEdt11");
    TextEditor* second = Editor("sEdt12");
    Focus(TViv050::kPageEdit1, second);
    env_->files.Answer(bottom);
    Run(Command::kMenuOpen);
    Focus(TViv050::kPageEdit1, first);
    env_->files.Answer(top);
    Run(Command::kMenuOpen);

    PointerOver(second);
    Run(Command::kSort);
    QCOMPARE(LinesOf(second), Lines({"b", "y"}));
    QCOMPARE(LinesOf(first), Lines({"z", "a"}));
    PointerAway(second);
    Run(Command::kSort);
    QCOMPARE(LinesOf(first), Lines({"a", "z"}));

    // Ctrl+S saves the editor with the focus, not the one under the pointer.
    PointerOver(second);
    second->ReplaceAll("changed\n");
    QTest::keyClick(first, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(TempTree::Read(top), std::string("a\nz\n"));
    QCOMPARE(TempTree::Read(bottom), std::string("y\nb\n"));
    QCOMPARE(Status(w_), Q(" Saved file " + top + " from sEdt11"));

    // Position labels of the current editor.
    first->setCursorPosition(1, 1);
    Run(Command::kPositions);
    QCOMPARE(TextOf(w_, "lbdPos1"), std::string("2"));
    QCOMPARE(TextOf(w_, "lbdSel1"), std::string("3-0"));
    second->ReplaceAll("");
    Focus(TViv050::kPageEdit1, second);
    QCOMPARE(TextOf(w_, "lbdSel1"), std::string());
  }

  void FileBoxLoadsIntoTheCurrentEditorOnly() {
    const std::string lists = tree_->Dir("lists");
    tree_->File("lists/b.v00", "b\r\n");
    tree_->File("lists/A.v01", "a\r\n");
    tree_->File("lists/.hidden.v00", "h\r\n");
    tree_->File("lists/x.t00", "t\r\n");
    Enter(w_, "cbPath", QString::fromStdString(lists));
    auto* box = Find<FileBox>(w_, "bFil");
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "b.v00"}));

    // After a page change no editor is current: nothing loads.
    Find<QTabWidget>(w_, "pcCln")->setCurrentIndex(TViv050::kPageEdit1);
    TextEditor* edit = Editor("sEdt12");
    const QRect second_row = box->visualItemRect(box->item(1));
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, second_row.center());
    QCOMPARE(box->selectedPath(), lists + "b.v00");
    QCOMPARE(edit->LineCount(), size_t{0});
    QCOMPARE(Editor("sEdt11")->LineCount(), size_t{0});

    Focus(TViv050::kPageEdit1, edit);
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, second_row.center());
    QCOMPARE(LinesOf(edit), Lines({"b"}));
    QCOMPARE(edit->file_name(), lists + "b.v00");
    QCOMPARE(w_->windowTitle(), QString::fromStdString("Checker Edit2 : " + lists + "b.v00"));
    QCOMPARE(Editor("sEdt11")->LineCount(), size_t{0});

    // Enter loads too; F5 shows a new file; the mask ignores case.
    box->setFocus();
    box->setCurrentRow(0);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(LinesOf(edit), Lines({"a"}));
    tree_->File("lists/c.v00", "c\r\n");
    QTest::keyClick(box, Qt::Key_F5);
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "b.v00", "c.v00"}));
    box->SetMask("*.T00;*.v01");
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "x.t00"}));
    box->SetMask("*.*");
    QCOMPARE(box->names(), (std::vector<std::string>{"A.v01", "b.v00", "c.v00", "x.t00"}));
  }

  void AddedPageCopiesTheSettingsAndGoesWhole() {
    auto* pages = Find<QTabWidget>(w_, "pcCln");
    Find<QTabWidget>(w_, "pcCln")->setCurrentIndex(TViv050::kPageEdit1);
    const int count = pages->count();
    Run(Command::kAddEditorPage);
    TTbsDoubleEdit* page = w_->added_page();
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
    Run(Command::kRemoveEditorPage);
    QVERIFY(first.isNull());
    QVERIFY(second.isNull());
    QCOMPARE(pages->count(), count);
    QVERIFY(w_->added_page() == nullptr);
  }

  void ChangedTextIsSavedDiscardedOrKept() {
    const std::string mine = tree_->File("mine.lst", "old\n");
    const std::string other = tree_->File("other.lst", "other\n");
    TextEditor* edit = Editor("sEdt11");
    Focus(TViv050::kPageEdit1, edit);
    env_->files.Answer(mine);
    Run(Command::kMenuOpen);
    QTest::keyClicks(edit, "new ");
    QVERIFY(edit->isModified());

    // Cancel: nothing happens.
    env_->msg.Answer(support::kIdCancel);
    env_->files.Answer(other);
    Run(Command::kMenuOpen);
    QCOMPARE(env_->msg.messages().back().text, "Save changes to " + mine + "?");
    QCOMPARE(env_->msg.messages().back().flags & 0xFF,
             support::kMbYesNoCancel | support::kMbIconQuestion);
    QCOMPARE(edit->file_name(), mine);
    QCOMPARE(LinesOf(edit), Lines({"new old"}));

    // Cancel keeps the window open; Save writes the file and lets it close.
    env_->msg.Answer(support::kIdCancel);
    QVERIFY(!w_->close());
    QVERIFY(w_->isVisible());
    env_->msg.Answer(support::kIdYes);
    QVERIFY(w_->close());
    QCOMPARE(TempTree::Read(mine), std::string("new old\n"));

    // Discard: Clear lines goes on and the file stays.
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_));
    QTest::keyClicks(edit, "x");
    env_->msg.Answer(support::kIdNo);
    Run(Command::kClearLines);
    QCOMPARE(edit->LineCount(), size_t{0});
    QCOMPARE(TempTree::Read(mine), std::string("new old\n"));
    // Given up once, the cleared editor is not asked about again.
    const size_t asked = env_->msg.messages().size();
    QVERIFY(w_->close());
    QCOMPARE(env_->msg.messages().size(), asked);
  }

  // Without a file the question says where the editor sits, side by side too.
  void SaveQuestionNamesAnEditorWithoutAFile() {
    const std::pair<const char*, std::string> editors[] = {
        {"sEdt11", "the upper editor of Edit1"},
        {"sEdt22", "the lower editor of Edit2"},
        {"", ""},  // Edit1's editors side by side from here on
        {"sEdt12", "the right editor of Edit1"}};
    for (const auto& [name, title] : editors) {
      if (*name == '\0') {
        Find<QAction>(w_, "mi351")->trigger();
        continue;
      }
      TextEditor* edit = Editor(name);
      QTest::keyClicks(edit, "text");
      env_->msg.Answer(support::kIdCancel);
      PointerOver(edit);
      Run(Command::kClearLines);
      PointerAway(edit);
      QCOMPARE(env_->msg.messages().back().text, "Save changes to " + title + "?");
    }
    QCOMPARE(Editor("sEdt11")->parentWidget()->property("orientation").toInt(),
             int{Qt::Horizontal});
  }

  void SaveAsksAboutAChangeOnDiskAndNeverWritesAListARunHolds() {
    const std::string file = tree_->File("ids.v00", "loaded\n");
    TextEditor* edit = OpenInEdit1(file);
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
      env_->msg.Answer(c.answer);
      QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
      QCOMPARE(env_->msg.messages().back().text,
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
    for (Command command : {Command::kMenuSave, Command::kMenuSaveAs}) {
      env_->files.Answer(file);
      Run(command);
      QCOMPARE(Status(w_), Q(" " + file + " is in use by a running scan; not saved"));
      QCOMPARE(TempTree::Read(file), std::string("mine\n"));
    }
    QCOMPARE(env_->msg.messages().size(), size_t{3});
  }

  void FocusOffersToReloadEachChangeOnce() {
    const std::string file = tree_->File("ids.v00", "old\n");
    TextEditor* edit = OpenInEdit1(file);
    platform::WriteWholeFile(file, "new 1\n");
    env_->msg.Answer(support::kIdNo);
    for (int i = 0; i < 2; ++i) {
      Focus(TViv050::kPageEdit1, Editor("sEdt12"));
      Focus(TViv050::kPageEdit1, edit);
      QTRY_COMPARE(env_->msg.messages().size(), size_t{1});
    }
    QCoreApplication::processEvents();
    QCOMPARE(env_->msg.messages().size(), size_t{1});
    QCOMPARE(env_->msg.messages().back().text,
             file + " changed on disk since it was loaded. Load it again?");
    QCOMPARE(std::string(edit->Bytes()), std::string("old\n"));
    // The next change is offered again; Yes loads it.
    platform::WriteWholeFile(file, "new 22\n");
    Focus(TViv050::kPageEdit1, Editor("sEdt12"));
    Focus(TViv050::kPageEdit1, edit);
    QTRY_COMPARE(std::string(edit->Bytes()), std::string("new 22\n"));
    QCOMPARE(env_->msg.messages().size(), size_t{2});
  }
};

namespace {
RegisterSuite<EditorPagesTest> editor_pages_suite;
}

}  // namespace testing_support

#include "editor_pages_test.moc"
