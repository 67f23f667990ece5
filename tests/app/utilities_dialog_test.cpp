// The utilities window: CutAtts, one window at a time with its own placement, and the
// converter of old-layout list files.

#include "app/utilities_dialog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <string>

#include "app/kit/file_box.h"
#include "app/main_window.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "platform/files.h"
#include "suites.h"
#include "support/ini.h"
#include "support/string_list.h"

namespace testing_support {

namespace {

TDsk201* OpenTools(TViv050* window) {
  window->ExecuteCommand(1201);
  return window->findChild<TDsk201*>("Dsk201");
}

// Closes the window as its close button does and lets it be deleted.
void CloseTools(TDsk201* tools) {
  QPointer<TDsk201> gone(tools);
  QVERIFY(tools->close());
  QTRY_VERIFY(gone.isNull());
}

std::string Lines(std::initializer_list<std::string> lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

std::string Repeat(const std::string& piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

// The 72 fixed characters before the name section of an old F and R line.
const std::string kFileFixed =
    "F 12345 67890    1024 2021-03-04 05:06:07 2021-03-04 05:06:07 32 000 00 ";
const std::string kDirFixed =
    "R 11111 22222    4096 2021-03-04 05:06:07     3 files   0 errors 0  016 ";

}  // namespace

class UtilitiesDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void CutAttsAddsTheLowBitsThatFitTheLimit() {
    AppEnv env;
    auto window = OpenWindow();
    TDsk201* tools = OpenTools(window.get());
    QVERIFY(tools != nullptr);
    auto* pages = Find<QTabWidget>(tools, "pgCtl");
    QTest::mouseClick(pages->tabBar(), Qt::LeftButton, {},
                      pages->tabBar()->tabRect(TDsk201::kPageConvert).center());
    QCOMPARE(pages->currentWidget()->objectName(), QString("tsCnv"));
    QCOMPARE(Find<QLineEdit>(tools, "ePar01")->text(), QString("999"));

    struct Case {
      const char* value;
      const char* limit;
      const char* result;
    };
    // 1536 is bits 9 and 10; -1 is every bit, of which bits 0 to 8 fit into 999.
    const Case cases[] = {{"5", "999", "5"},   {"1536", "999", "512"}, {"0", "999", "0"},
                          {"abc", "999", "0"}, {"1536", "0", "0"},     {"5", "0", "0"},
                          {"-1", "999", "511"}};
    for (const Case& c : cases) {
      for (const char* name : {"eVal01", "ePar01"}) {
        auto* edit = Find<QLineEdit>(tools, name);
        edit->selectAll();
        QTest::keyClicks(edit, name[1] == 'V' ? c.value : c.limit);
      }
      QTest::mouseClick(Find<QPushButton>(tools, "bcFnc01"), Qt::LeftButton);
      QVERIFY2(Find<QLineEdit>(tools, "eVal02")->text() == c.result, c.value);
    }
  }

  void ToolsOpenOneWindowOnTheDisksPageUntilItIsClosed() {
    AppEnv env;
    auto window = OpenWindow();
    window->ExecuteCommand(1201);
    window->ExecuteCommand(1201);
    const QList<TDsk201*> all = window->findChildren<TDsk201*>();
    QCOMPARE(all.size(), 1);
    TDsk201* tools = all.front();
    QVERIFY(tools->isWindow());
    QVERIFY(tools->isVisible());
    QCOMPARE(tools->objectName(), QString("Dsk201"));
    QCOMPARE(tools->windowTitle(), QString("Norvel utilities"));
    QCOMPARE(tools->size(), QSize(606, 393));
    auto* pages = Find<QTabWidget>(tools, "pgCtl");
    QCOMPARE(pages->tabText(pages->currentIndex()), QString("Disks"));
    QVERIFY(Find<QPushButton>(tools, "bcCmd01")->isHidden());
    QVERIFY(Find<QPushButton>(tools, "Button1")->isHidden());
    QVERIFY(Find<QLineEdit>(tools, "eSer")->isHidden());

    // Minimised, it comes back with the next 1201.
    tools->showMinimized();
    window->ExecuteCommand(1201);
    QVERIFY(!tools->isMinimized());

    CloseTools(tools);
    TDsk201* again = OpenTools(window.get());
    QVERIFY(again != nullptr);
    QVERIFY(again->isVisible());
    QCOMPARE(window->findChildren<TDsk201*>().size(), 1);
  }

  void ClosedToolsStoreTheirPlaceAndReopenThere() {
    AppEnv env;
    auto window = OpenWindow();
    TDsk201* tools = OpenTools(window.get());
    const QRect place(123, 87, 640, 410);
    tools->setGeometry(place);
    CloseTools(tools);

    support::StringList ini;
    QVERIFY(ini.LoadFromFile(env.ini_file()));
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Left", SxValue(0)).AsInt(), 123);
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Top", SxValue(0)).AsInt(), 87);
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Right", SxValue(0)).AsInt(), 763);
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Bottom", SxValue(0)).AsInt(), 497);
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Show", SxValue(-1)).AsInt(), 0);

    QCOMPARE(OpenTools(window.get())->geometry(), place);

    // Closing the main window with the tools still open keeps their place too.
    const QRect moved(150, 99, 640, 410);
    OpenTools(window.get())->setGeometry(moved);
    QVERIFY(window->close());
    QVERIFY(ini.LoadFromFile(env.ini_file()));
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Left", SxValue(0)).AsInt(), 150);
    QCOMPARE(support::IniGetSx(ini, "Dsk201", "Top", SxValue(0)).AsInt(), 99);
  }

  void ConverterRewritesTheListedFilesLineByLine() {
    AppEnv env;
    TempTree tree;
    const std::string path_section = "  5+1  | a.jpg/p  6+0X: _=/data/";
    const std::string old_list = Lines(
        {
            // 79 characters: too short for the old layout.
            kFileFixed + "  4+1  ",
            // 80 characters without "/p": only the 77th goes.
            kFileFixed + "12345678",
            kFileFixed + path_section,
            kDirFixed + "  4+1  | /data/photos/2020/",
            // The root has no "/" before its last character.
            kDirFixed + "  1+1  | /",
            kDirFixed + "  4+1  / no bar here/x/",
            "T" + kFileFixed.substr(1) + "87654321",
            "X" + kFileFixed.substr(1) + "87654321",
            // Characters, not bytes: the 77th is "x" after 74 "Ä" and an invalid byte.
            "F" + Repeat("\xC3\x84", 74) + "\xC9" + "xyzw",
            kDirFixed + "  4+1  | /data/\xC3\x84pfel/",
            "",
        },
        "\r\n");
    const std::string new_list = Lines(
        {
            kFileFixed + "  4+1  ",
            kFileFixed + "1234678",
            kFileFixed + "  5+  | a.jpg/p  6+0 : _=/data/",
            kDirFixed + "  5+4 | 2020/" + std::string(54, ' ') + "/p 13+0 : _=/data/photos/",
            kDirFixed + "  1+1  | /",
            kDirFixed + "  4+1  / no bar here/x/",
            "T" + kFileFixed.substr(1) + "8765321",
            "X" + kFileFixed.substr(1) + "87654321",
            "F" + Repeat("\xC3\x84", 74) + "\xC9" + "yzw",
            kDirFixed + "  6+4 | \xC3\x84pfel/" + std::string(53, ' ') + "/p  6+0 : _=/data/",
            "",
        },
        "\r\n");
    QCOMPARE(kFileFixed.size(), size_t{72});
    QCOMPARE(kDirFixed.size(), size_t{72});
    QCOMPARE((kDirFixed + "  4+1  | /data/photos/2020/").find('|'), size_t{79});

    const std::string old_v00 = tree.File("a.v00", old_list);
    // LF stays LF; a last line without a line end gets one; a "/p" with fewer than 7
    // characters after it only loses the 77th.
    const std::string lf_v01 =
        tree.File("b.v01", kFileFixed + "12345678\n" + kFileFixed + "abcde/p1");
    const std::string other = tree.File("c.t00", old_list);
    const std::string empty = tree.File("d.v00", "");
    const std::string gone = tree.File("e.v00", old_list);
    const QDateTime long_ago = QDateTime::fromSecsSinceEpoch(1000000000);
    {
      QFile file(QString::fromStdString(empty));
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.setFileTime(long_ago, QFileDevice::FileModificationTime));
    }

    auto window = OpenWindow();
    auto* box = Find<FileBox>(window.get(), "bFil");
    box->SetMask("*.v*");
    box->SetFolder(tree.root());
    QCOMPARE(box->names(), (std::vector<std::string>{"a.v00", "b.v01", "d.v00", "e.v00"}));
    QVERIFY(platform::RemoveFile(gone));
    TDsk201* tools = OpenTools(window.get());

    // "To max" does nothing.
    Find<QPushButton>(tools, "Button1")->click();
    QCOMPARE(TempTree::Read(old_v00), old_list);

    Find<QPushButton>(tools, "bcCmd01")->click();
    QCOMPARE(TempTree::Read(old_v00), new_list);
    QCOMPARE(TempTree::Read(lf_v01), kFileFixed + "1234678\n" + kFileFixed + "abcd/p1\n");
    QCOMPARE(TempTree::Read(other), old_list);
    QCOMPARE(TempTree::Read(empty), std::string());
    QCOMPARE(QFileInfo(QString::fromStdString(empty)).lastModified(), long_ago);
    QVERIFY(!QFile::exists(QString::fromStdString(gone)));
  }
};

namespace {
RegisterSuite<UtilitiesDialogTest> utilities_dialog_suite;
}

}  // namespace testing_support

#include "utilities_dialog_test.moc"
