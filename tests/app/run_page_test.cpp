// The Run page against what a run really did: a first Create on a fresh settings folder,
// the bar and the label at the end, the problems of a run, and the page before any run.

#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "app/job_link.h"
#include "app/problems_list.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "lists/list_paths.h"
#include "suites.h"
#include "support/toolkit.h"

namespace testing_support {

namespace {

constexpr int kRunTimeout = 60000;

bool Ended(const QSignalSpy& spy) {
  return !spy.isEmpty() && spy.last().at(0).toInt() == kNotifyEnd;
}

// The tree as the search path, picked through its dialog; progress after every file.
void ChooseTree(AppEnv* env, TViv050* w, const TempTree& tree) {
  env->folders.Answer(tree.root().substr(0, tree.root().size() - 1));
  QTest::mouseClick(Find<QPushButton>(w, "bcRun971"), Qt::LeftButton);
  Enter(w, "eTimer", "1");
}

std::string FolderOf(const std::string& file) { return file.substr(0, file.rfind('/') + 1); }

// "42.50 %" in hundredths.
int Hundredths(const std::string& percent_text) {
  return static_cast<int>(std::lround(std::stod(percent_text) * 100));
}

}  // namespace

class RunPageTest : public QObject {
  Q_OBJECT

 private slots:
  void BeforeAnyRunThePageShowsNoFigures() {
    AppEnv env;
    auto window = OpenWindow();
    QVERIFY(window);
    const auto* bar = Find<QProgressBar>(window.get(), "pbRun");
    QCOMPARE(bar->text(), QString());
    QCOMPARE(bar->value(), 0);
    for (const char* name : {"liTime1", "liTime2", "liTotPrc", "liLeft", "liDirSize"}) {
      QCOMPARE(TextOf(window.get(), name), std::string());
    }
  }

  void CreateOnAFreshSettingsFolderMakesTheListAndBackupFolders() {
    AppEnv env;
    TempTree tree;
    tree.File("a.txt", "apples");
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    ChooseTree(&env, w, tree);
    const std::string list_folder = env.dir() + scan::kDefaultVolPath;
    const std::string backups = env.dir() + scan::kDefaultBackUps;
    QCOMPARE(FolderOf(TextOf(w, "lHdList")), list_folder);
    QVERIFY(!DirExistsSx(list_folder));
    QVERIFY(Find<QLabel>(w, "lBackUps")->autoFillBackground());  // shown missing

    QVERIFY(Find<QPushButton>(w, "bcRun01")->isEnabled());
    QSignalSpy spy(w->link(), &JobLink::notified);
    QTest::mouseClick(Find<QPushButton>(w, "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);

    QVERIFY(DirExistsSx(backups));
    QVERIFY(FileExistsSx(TextOf(w, "lHdList"), 0));
    QVERIFY(FileExistsSx(TextOf(w, "lHdDirs"), 0));
    QCOMPARE(TextOf(w, "liFil"), std::string(" Finished"));
    QVERIFY(!Find<QLabel>(w, "lBackUps")->autoFillBackground());
    QVERIFY(!Find<QLabel>(w, "lVolPath")->autoFillBackground());
  }

  // The default List parameters leave "*.tmp" out, whose bytes still count in the total.
  void FinishedRunWithFilesLeftOutFillsTheBarAsItsLabel() {
    AppEnv env;
    TempTree tree;
    tree.File("kept.txt", std::string(1000, 'k'));
    tree.File("sub/kept.bin", std::string(3000, 'b'));
    tree.File("left out.tmp", std::string(4000, 't'));
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    ChooseTree(&env, w, tree);
    const auto* bar = Find<QProgressBar>(w, "pbRun");
    QSignalSpy spy(w->link(), &JobLink::notified);
    bool bar_as_label = true;
    int progress_seen = 0;
    connect(w->link(), &JobLink::notified, this, [&](int code) {
      if (code != kNotifyProgress || TextOf(w, "liTotPrc").empty()) return;
      ++progress_seen;
      bar_as_label &= bar->value() == Hundredths(TextOf(w, "liTotPrc")) &&
                      bar->text().toStdString() == TextOf(w, "liTotPrc");
    });
    QTest::mouseClick(Find<QPushButton>(w, "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    QVERIFY(progress_seen > 0);
    QVERIFY(bar_as_label);
    QCOMPARE(TextOf(w, "liTotPrc"), std::string("100.00 %"));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(bar->text(), QString("100.00 %"));
  }

  // Root reads everything: the case runs again as an unprivileged user.
  void UnreadableDirectoryAndFileShowInTheProblemsList() {
    if (geteuid() == 0) QSKIP("root reads every file and directory");
    AppEnv env;
    TempTree tree;
    tree.File("fine.txt", "fine");
    const std::string locked = tree.File("locked.txt", "locked");
    tree.File("closed/inside.txt", "inside");
    const std::string closed = tree.Path("closed/");
    QCOMPARE(chmod(locked.c_str(), 0), 0);
    QCOMPARE(chmod(closed.c_str(), 0), 0);
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    ChooseTree(&env, w, tree);
    auto* list = Find<ProblemsList>(w, "lvProblems");
    QVERIFY(list != nullptr);
    QSignalSpy spy(w->link(), &JobLink::notified);
    int rows_before_end = -1;
    connect(w->link(), &JobLink::notified, this, [&](int code) {
      if (code == kNotifyEnd) rows_before_end = list->count();
    });
    QTest::mouseClick(Find<QPushButton>(w, "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    chmod(closed.c_str(), 0700);

    const std::string denied = std::strerror(EACCES);
    const std::set<std::pair<std::string, std::string>> expected = {{closed, denied},
                                                                    {locked, denied}};
    std::set<std::pair<std::string, std::string>> shown;
    for (int row = 0; row < list->count(); ++row) {
      shown.emplace(list->path(row).toStdString(), list->reason(row).toStdString());
    }
    QCOMPARE(shown, expected);
    // Filled while the run went, not only from its outcome.
    QCOMPARE(rows_before_end, 2);
    QCOMPARE(TextOf(w, "lProblems"), std::string(" Problems 2"));
    QCOMPARE(TextOf(w, "liError"), std::string("2"));

    // A double-click opens the directory itself, or the folder of a file.
    std::vector<std::string> opened;
    list->SetFolderOpener([&](const QString& folder) { opened.push_back(folder.toStdString()); });
    auto* rows = list->findChild<QTreeWidget*>("tvProblems");
    for (int row = 0; row < list->count(); ++row) {
      const QPoint at = rows->visualItemRect(rows->topLevelItem(row)).center();
      QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, at);
    }
    std::sort(opened.begin(), opened.end());
    QCOMPARE(opened, (std::vector<std::string>{tree.root(), closed}));

    // The next run starts with an empty list.
    chmod(locked.c_str(), 0600);
    spy.clear();
    QTest::mouseClick(Find<QPushButton>(w, "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    QCOMPARE(list->count(), 0);
    QCOMPARE(TextOf(w, "lProblems"), std::string(" Problems 0"));
  }
};

namespace {
RegisterSuite<RunPageTest> run_page_suite;
}

}  // namespace testing_support

#include "run_page_test.moc"
