// Start-up and the window's own layout.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QMessageBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/kit/controls.h"
#include "app/main_window.h"
#include "app/run/job_link.h"
#include "app/startup.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "suites.h"
#include "platform/files.h"
#include "support/msg.h"
#include "support/sys_init.h"

namespace testing_support {

namespace {

bool HeadersAligned(TViv050* w) {
  const auto* panel = Find<QWidget>(w, "pccNam");
  const std::pair<const char*, const char*> pairs[] = {
      {"lNetNam", "eNetNam"}, {"lLblNam", "eLblNam"}, {"lDirNam", "eDirNam"}, {"lSerNam", "eSerNam"}};
  for (const auto& [header, field] : pairs) {
    const int hx = Find<QLabel>(w, header)->mapTo(panel, QPoint(0, 0)).x();
    const int fx = Find<QLineEdit>(w, field)->mapTo(panel, QPoint(0, 0)).x();
    if (hx != fx) return false;
  }
  return true;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstShowSetsTheCaptionAndAlignsTheHeaders() {
    AppEnv env;
    auto window = std::make_unique<TViv050>();
    QCOMPARE(window->windowTitle(), QString("File and disk checker"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->windowTitle(), QString("Checker"));
    QVERIFY(HeadersAligned(window.get()));

    // Dragging the separator between label and directory moves the headers along.
    TSplitterSx* handle = Find<TSplitterSx>(window.get(), "spDirSep");
    const int before = Find<QLineEdit>(window.get(), "eDirNam")->x();
    const QPoint centre = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, centre);
    QMouseEvent move(QEvent::MouseMove, QPointF(centre + QPoint(25, 0)),
                     handle->mapToGlobal(QPointF(centre + QPoint(25, 0))), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, centre + QPoint(25, 0));
    QVERIFY(Find<QLineEdit>(window.get(), "eDirNam")->x() != before);
    QVERIFY(HeadersAligned(window.get()));

    // A double-click on "Label" gives the label field its designed width again.
    QTest::mouseDClick(Find<QLabel>(window.get(), "lLblNam"), Qt::LeftButton);
    QCOMPARE(Find<QLineEdit>(window.get(), "eLblNam")->width(), 99);
    QVERIFY(HeadersAligned(window.get()));
  }

  // The first Verify with no list chosen, pressed on the Run page, says why on that page:
  // the status bar shows what the info line shows, alert and all.
  void StatusBarShowsTheInfoLineOnEveryPage() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageRun);
    QTest::mouseClick(Find<QPushButton>(w, "bcRunVerify"), Qt::LeftButton);
    const auto* status = Find<QLabel>(w, "sbInfo");
    QVERIFY(status->isVisible());
    QCOMPARE(status->text(), QString(" Select the id list to verify in the file box"));
    QCOMPARE(status->text(), Find<QLabel>(w, "lInfo")->text());
    QVERIFY(status->autoFillBackground());
  }

  void ToolsOpenOneChildWindow() {
    AppEnv env;
    auto window = OpenWindow();
    window->ExecuteCommand(1201);
    window->ExecuteCommand(1201);
    const QList<QWidget*> tools = window->findChildren<QWidget*>("Dsk201");
    QCOMPARE(tools.size(), 1);
    QVERIFY(tools[0]->isWindow());
    QVERIFY(tools[0]->isVisible());
  }

  void ClosingDuringARunEndsTheLoopAndWaitsForTheJob() {
    AppEnv env;
    TempTree tree;
    for (int i = 0; i < 20; ++i) tree.File("f" + std::to_string(i), std::string(i * 11, 'k'));
    platform::MakeDirs(env.dir() + "xBase/");
    auto window = OpenWindow();
    TViv050* w = window.get();
    Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(tree.root()));
    Find<QComboBox>(w, "cName")->setEditText("Vol9");
    QTest::mouseClick(Find<QPushButton>(w, "bcRun041"), Qt::LeftButton);
    Enter(w, "eTimer", "1");
    const std::string id_list = TextOf(w, "lHdList");
    env.msg.Answer(support::kIdYes);
    bool asked = false;
    connect(w->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyProgress || asked) return;
      asked = true;
      w->close();
    });
    QTest::mouseClick(Find<QPushButton>(w, "bcRun01"), Qt::LeftButton);
    const std::shared_future<scan::ScanOutcome> done = w->job_done();
    QCOMPARE(RunDesktop(std::move(window)), 0);
    QVERIFY(asked);
    QCOMPARE(done.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    QVERIFY(done.get().stopped);
    QCOMPARE(FileLines(id_list).front()[70], 'C');
  }

  void CancelledBaseFileQuestionOpensNoWindow() {
    AppEnv env(false);
    QString question;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      timer.stop();
      question = box->windowTitle();
      box->button(QMessageBox::Cancel)->click();
    });
    timer.start(1);
    std::unique_ptr<TViv050> window = StartDesktop();
    support::SetMsgHandler(nullptr);
    QVERIFY(window == nullptr);
    QCOMPARE(question, QString("Vantic SysInit"));
    for (QWidget* top : QApplication::topLevelWidgets()) {
      QVERIFY(qobject_cast<TViv050*>(top) == nullptr);
    }
  }

  void BaseFileThatCannotBeWrittenIsReportedAndStartUpGoesOn() {
    AppEnv env(false);
    // A folder where the base file should go: the file cannot be written there.
    platform::MakeDirs(env.base_file());
    QStringList titles;
    QStringList texts;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      titles << box->windowTitle();
      texts << box->text();
      QAbstractButton* no = box->button(QMessageBox::No);
      (no != nullptr ? no : box->button(QMessageBox::Ok))->click();
    });
    timer.start(1);
    std::unique_ptr<TViv050> window = StartDesktop();
    timer.stop();
    support::SetMsgHandler(nullptr);
    QVERIFY(window != nullptr);
    QCOMPARE(titles, QStringList({"Vantic SysInit", "Vantic SysInit"}));
    QCOMPARE(texts[1], QString::fromStdString("Base file Quorvane.Ini could not be created: " +
                                              env.base_file()));
    QCOMPARE(TextOf(window.get(), "eVolPath"), std::string("xBase/"));
  }

  void StartUpShowsTheWindowWithTheProgramsName() {
    AppEnv env;
    std::unique_ptr<TViv050> window = StartDesktop();
    support::SetMsgHandler(nullptr);
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(QCoreApplication::applicationName(), QString::fromStdString(support::SxAppName));
    QCOMPARE(window->windowTitle(), QString("Checker"));
  }
};

namespace {
RegisterSuite<MainWindowTest> main_window_suite;
}

}  // namespace testing_support

#include "main_window_test.moc"
