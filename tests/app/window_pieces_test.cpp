// The message box handler and the window placement.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "app/kit/form_window.h"
#include "app/qt_msg.h"
#include "app_fixture.h"
#include "editor/visible_marks.h"
#include "platform/files.h"
#include "suites.h"
#include "support/form_place.h"
#include "support/ini.h"
#include "support/msg.h"
#include "support/sys_init.h"

namespace testing_support {

namespace {

// Calls `act` with the first modal message box that shows up (from inside its own loop).
class BoxWatcher {
 public:
  explicit BoxWatcher(std::function<void(QMessageBox*)> act) : act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      timer_.stop();
      act_(box);
    });
    timer_.start(1);
  }

 private:
  QTimer timer_;
  std::function<void(QMessageBox*)> act_;
};

void WriteIni(const AppEnv& env, const std::string& text) {
  platform::WriteWholeFile(env.ini_file(), text);
}

}  // namespace

class WindowPiecesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { InstallQtMsgHandler(); }
  void cleanup() { support::SetMsgHandler(nullptr); }

  void BoxFromWorkerThreadRunsOnTheGuiThreadAndReturnsTheAnswer() {
    QString title;
    Qt::TextFormat format = Qt::AutoText;
    Qt::WindowModality modality = Qt::NonModal;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool on_gui_thread = false;
    BoxWatcher watcher([&](QMessageBox* box) {
      title = box->windowTitle();
      format = box->textFormat();
      modality = box->windowModality();
      icon = box->icon();
      buttons = box->standardButtons();
      on_gui_thread = QThread::currentThread() == qApp->thread();
      box->button(QMessageBox::No)->click();
    });
    std::atomic<int> answer{0};
    std::thread worker(
        [&] { answer = support::MsgSx("Failed to allocate memory buffer", "Scandisk", 35); });
    QTRY_VERIFY(answer.load() != 0);
    worker.join();
    QCOMPARE(answer.load(), support::kIdNo);
    QCOMPARE(title, QString("Scandisk"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(modality, Qt::ApplicationModal);
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QVERIFY(on_gui_thread);
  }

  void EmptyCaptionGivesEmptyTitleAndEscOnOkGivesOk() {
    QString title = "unset";
    QString text;
    BoxWatcher watcher([&](QMessageBox* box) {
      title = box->windowTitle();
      text = box->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    const int answer = support::MsgSx("a <b>path</b>\r\nsecond line", "", 0);
    QCOMPARE(answer, support::kIdOk);
    QCOMPARE(title, QString(""));
    QCOMPARE(text, QString("a <b>path</b>\nsecond line"));
  }

  void AfterTheWindowHasGoneBoxesAnswerTheirFirstButton() {
    SetMessageBoxesClosed(true);
    std::atomic<int> answer{0};
    std::thread worker(
        [&] { answer = support::MsgSx("Failed to allocate memory buffer", "Scandisk", 35); });
    QTRY_VERIFY(answer.load() != 0);
    worker.join();
    SetMessageBoxesClosed(false);
    QCOMPARE(answer.load(), support::kIdYes);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }

  void EscOnYesNoDoesNothing() {
    std::unique_ptr<QMessageBox> box(BuildMessageBox("Go on?", "q", support::kMbYesNo));
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QTest::keyClick(box.get(), Qt::Key_Escape);
    QVERIFY(box->isVisible());
    QVERIFY(!box->close());
    QVERIFY(box->isVisible());
    QCOMPARE(box->clickedButton(), nullptr);
  }

  void DefaultButtonFollowsTheFlags() {
    std::unique_ptr<QMessageBox> second(BuildMessageBox("?", "", support::kMbYesNoCancel | 0x100));
    QCOMPARE(second->defaultButton(), second->button(QMessageBox::No));
    std::unique_ptr<QMessageBox> third(BuildMessageBox("?", "", support::kMbAbortRetryIgnore | 0x200));
    QCOMPARE(third->defaultButton(), third->button(QMessageBox::Ignore));
  }

  void StoredPlacementIsKeptInsideTheScreen() {
    AppEnv env;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int right = screen.x() + screen.width();
    const int bottom = screen.y() + screen.height();
    WriteIni(env, "[Viv050]\nLeft=3\nTop=40\nRight=503\nBottom=440\nShow=0\n");
    {
      auto window = OpenWindow();
      QCOMPARE(window->geometry(), QRect(10, 40, 500, 400));
    }
    WriteIni(env, "[Viv050]\nLeft=" + std::to_string(right - 300) + "\nTop=40\nRight=" +
                      std::to_string(right + 200) + "\nBottom=440\nShow=0\n");
    {
      auto window = OpenWindow();
      QCOMPARE(window->geometry(), QRect(right - 10 - 500, 40, 500, 400));
    }
    WriteIni(env, "");
    {
      // The designed 34, 146, 1048 x 683 shrunk to the screen less its margins, then
      // kept 10 pixels inside.
      const int width = std::min(1048, right - 20);
      const int height = std::min(683, bottom - 20);
      const int left = width < 1048 ? 10 : std::min(34, right - 10 - width);
      const int top = height < 683 ? 10 : std::min(146, bottom - 10 - height);
      auto window = OpenWindow();
      QCOMPARE(window->geometry(), QRect(left, top, width, height));
      QVERIFY(width < 1048);
    }
    WriteIni(env, "[Viv050]\nLeft=20\nTop=40\nRight=520\nBottom=440\nShow=2\n");
    {
      auto window = OpenWindow();
      QVERIFY(window->isMaximized());
    }
  }

  void PlacementSurvivesCloseAndReopen() {
    AppEnv env;
    WriteIni(env, "[Viv050]\nLeft=30\nTop=50\nRight=630\nBottom=450\nMinX=-32000\nMinY=5\n"
                  "MaxX=7\nMaxY=-8\nShow=0\n");
    QRect first;
    {
      auto window = OpenWindow();
      first = window->geometry();
      QVERIFY(window->close());
    }
    support::StringList ini;
    ini.LoadFromFile(env.ini_file());
    QCOMPARE(support::IniGetSx(ini, "Viv050", "MinX", SxValue(0)).AsInt(), -32000);
    QCOMPARE(support::IniGetSx(ini, "Viv050", "MinY", SxValue(0)).AsInt(), 5);
    QCOMPARE(support::IniGetSx(ini, "Viv050", "MaxX", SxValue(0)).AsInt(), 7);
    QCOMPARE(support::IniGetSx(ini, "Viv050", "MaxY", SxValue(0)).AsInt(), -8);
    QCOMPARE(support::IniGetSx(ini, "Viv050", "Left", SxValue(0)).AsInt(), 30);
    QCOMPARE(support::IniGetSx(ini, "Viv050", "Right", SxValue(0)).AsInt(), 630);
    auto again = OpenWindow();
    QCOMPARE(again->geometry(), first);
  }

  // A file box squeezed narrow is stored, and shown again, no narrower than a list name
  // of a few parts needs.
  void FileBoxIsNeverKeptTooNarrowForAListName() {
    AppEnv env;
    int name_width = 0;
    {
      auto window = OpenWindow();
      QVERIFY(window);
      name_width = window->fontMetrics().horizontalAdvance("nas%Music^Pop~123.v00");
      auto* split = Find<QSplitter>(window.get(), "spRgt");
      split->setSizes({split->width() - 70, 70});
      QVERIFY(window->close());
    }
    support::StringList ini;
    ini.LoadFromFile(env.ini_file());
    QVERIFY(support::IniGetSx(ini, "Viv050", "FileBoxWidth", SxValue(0)).AsInt() >= name_width);
    WriteIni(env, "[Viv050]\nFileBoxWidth=70\n");
    auto again = OpenWindow();
    QVERIFY(Find<QSplitter>(again.get(), "spRgt")->sizes().value(1) >= name_width);
  }

  void TwoWindowsKeepTheirOwnSections() {
    AppEnv env;
    QWidget tools;
    tools.setObjectName("Dsk201");
    tools.setGeometry(100, 120, 300, 200);
    QWidget main;
    main.setObjectName("Viv050");
    main.setGeometry(40, 60, 500, 400);
    FormWindowAdapter tools_place(&tools);
    FormWindowAdapter main_place(&main);
    support::FormPlaceSetSx(&tools_place, true, false);
    support::FormPlaceSetSx(&main_place, true, false);
    tools.setGeometry(0, 0, 10, 10);
    main.setGeometry(0, 0, 10, 10);
    support::FormPlaceGetSx(&tools_place);
    support::FormPlaceGetSx(&main_place);
    QCOMPARE(tools.geometry(), QRect(100, 120, 300, 200));
    QCOMPARE(main.geometry(), QRect(40, 60, 500, 400));
  }

  // Long names elide instead of widening the window; at 800 px the Settings page shows
  // every control without scrolling sideways.
  void LongTextsNeverWidenTheWindowAndSettingsFitEightHundred() {
    AppEnv env;
    auto window = OpenWindow();
    QVERIFY(window);
    auto* pages = Find<QTabWidget>(window.get(), "pcCln");
    const int least = window->minimumSizeHint().width();
    const std::pair<int, const char*> labels[] = {{TViv050::kPageRun, "liPth"},
                                                  {TViv050::kPageRun, "liFil"},
                                                  {TViv050::kPageSettings, "lInfo"},
                                                  {TViv050::kPageSettings, "lHdList"},
                                                  {TViv050::kPageSettings, "ldPath"}};
    for (const auto& [page, name] : labels) {
      pages->setCurrentIndex(page);
      Find<QLabel>(window.get(), name)->setText(QString(2000, 'n'));
      QApplication::processEvents();
      QVERIFY2(window->minimumSizeHint().width() == least, name);
    }
    // Every other label of every page too: a long title or note after a compare or a find
    // must not widen the window either.
    for (int page = 0; page < pages->count(); ++page) {
      pages->setCurrentIndex(page);
      for (QLabel* label : pages->widget(page)->findChildren<QLabel*>()) {
        if (label->objectName().isEmpty()) continue;
        const QString was = label->text();
        label->setText(QString(2000, 'n'));
        QApplication::processEvents();
        QVERIFY2(window->minimumSizeHint().width() == least, qPrintable(label->objectName()));
        label->setText(was);
        QApplication::processEvents();
      }
    }
    window->resize(800, 683);
    QTRY_VERIFY(!Find<QScrollArea>(window.get(), "sbSet")->horizontalScrollBar()->isVisible());
  }

  void NamesShowTheirDirectionMarksAndControlCharacters() {
    const std::pair<QString, QString> names[] = {
        {QString::fromUtf8("zzz\u202EFDP.exe"), "zzz[RLO]FDP.exe"},
        {QString::fromUtf8("\u2067x\u2069"), "[RLI]x[PDI]"},
        {"old\nphotos/", "old[LF]photos/"}};
    for (const auto& [name, shown] : names) QCOMPARE(VisibleMarks(name), shown);
    // A message keeps its own line breaks; the names in it show their marks.
    std::unique_ptr<QMessageBox> box(
        BuildMessageBox("cannot read zzz\u202EFDP.exe\r\nsee \u2067x\u2069\x1b[2J",
                        "Compare zzz\u202EFDP.v00 with", support::kMbOk));
    QCOMPARE(box->text(), QString("cannot read zzz[RLO]FDP.exe\nsee [RLI]x[PDI][ESC][2J"));
    QCOMPARE(box->windowTitle(), QString("Compare zzz[RLO]FDP.v00 with"));
  }
};

namespace {
RegisterSuite<WindowPiecesTest> window_pieces_suite;
}

}  // namespace testing_support

#include "window_pieces_test.moc"
