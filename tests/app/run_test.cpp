// A whole run from the window: Create on a real tree, the Run page as it goes, the lists
// against those of the command-line program, Cancel and Continue, a first Create on a
// fresh settings folder, the problems of a run.

#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
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
#include <map>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/kit/controls.h"
#include "app/kit/file_box.h"
#include "app/run/job_link.h"
#include "app/run/problems_list.h"
#include "app_fixture.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "lists/list_paths.h"
#include "suites.h"
#include "support/toolkit.h"

namespace testing_support {

namespace {

constexpr int kRunTimeout = 60000;
// Columns of the header that hold the run's times.
constexpr size_t kTimesFirstColumn = 31;
constexpr size_t kTimesLastColumn = 69;
constexpr size_t kStateColumn = 71;


// About thirty files: empty, one to five bytes, odd sizes, a UTF-8 name, a subdirectory.
uint64_t BuildTree(TempTree* tree, int* files) {
  uint64_t bytes = 0;
  int count = 0;
  auto add = [&](const std::string& name, const std::string& data) {
    tree->File(name, data);
    bytes += data.size();
    ++count;
  };
  add("empty.txt", "");
  for (int n = 1; n <= 5; ++n) add("short" + std::to_string(n) + ".bin", std::string(n, 'a' + n));
  for (int n = 0; n < 12; ++n) {
    add("data/odd" + std::to_string(n) + ".dat", std::string(1001 + 37 * n, static_cast<char>(n)));
  }
  add("Äpfel und Birnen.txt", "apples");
  for (int n = 0; n < 10; ++n) {
    add("data/deeper/level" + std::to_string(n) + ".log", std::string(4093 * (n + 1), 'z'));
  }
  add("data/deeper/last word", "x");
  *files = count;
  return bytes;
}

std::vector<std::string> Masked(std::vector<std::string> lines) {
  for (std::string& line : lines) {
    if (!line.empty() && line[0] == 'A' && line.size() >= kTimesLastColumn) {
      line.replace(kTimesFirstColumn - 1, kTimesLastColumn - kTimesFirstColumn + 1,
                   kTimesLastColumn - kTimesFirstColumn + 1, '#');
    }
  }
  return lines;
}

std::vector<std::string> FileRecords(const std::vector<std::string>& lines) {
  std::vector<std::string> records;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == 'F') records.push_back(line);
  }
  std::sort(records.begin(), records.end());
  return records;
}

struct CliLists {
  std::string tree_list;
  std::string id_list;
};

CliLists RunCli(const TempTree& out, const std::string& path) {
  CliLists lists{out.Path("cli.t00"), out.Path("cli.v00")};
  const CommandResult result = RunCommand(
      CHECKER_CLI_PATH, {"scan", "--quiet", "--interval", "1", "--list", lists.id_list, "--tree",
                         lists.tree_list, path});
  if (result.exit_code != 0) lists.id_list = "exit " + std::to_string(result.exit_code) + result.err;
  return lists;
}

// The search path chosen through the dialog, progress after every file.
std::string Prepare(AppEnv* env, TViv050* window, const TempTree& tree) {
  const std::string path = tree.root().substr(0, tree.root().size() - 1);
  env->folders.Answer(path);
  QTest::mouseClick(Find<QPushButton>(window, "bcRun971"), Qt::LeftButton);
  Enter(window, "eTimer", "1");
  return path;
}

bool Ended(const QSignalSpy& spy) {
  return !spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd;
}

std::string FolderOf(const std::string& file) { return file.substr(0, file.rfind('/') + 1); }

// "42.50 %" in hundredths.
int Hundredths(const std::string& percent_text) {
  return static_cast<int>(std::lround(std::stod(percent_text) * 100));
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void CreateRunsToTheEndAndWritesWhatTheCommandLineWrites() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    int file_count = 0;
    const uint64_t total = BuildTree(&tree, &file_count);
    platform::MakeDirs(env.dir() + "xBase/");
    auto window = OpenWindow();
    QVERIFY(window);
    const std::string path = Prepare(&env, window.get(), tree);
    const std::string id_list = TextOf(window.get(), "lHdList");
    const std::string tree_list = TextOf(window.get(), "lHdDirs");
    QCOMPARE(id_list.rfind(env.dir() + "xBase/", 0), size_t{0});
    // Readers of their own: the lists must still be the command line's, byte for byte.
    Enter(window.get(), "eThreads", "3");

    QSignalSpy spy(window->link(), &JobLink::notified);
    bool running_state = false;
    std::string total_at_scan;
    bool list_in_box = false;
    std::vector<int64_t> done;
    bool paths_in_tree = true;
    connect(window->link(), &JobLink::notified, this, [&](int code) {
      TViv050* w = window.get();
      if (code == scan::kNotifyStart) {
        running_state = !Find<QPushButton>(w, "bcRun01")->isEnabled() &&
                        !Find<QPushButton>(w, "bcRun02")->isEnabled() &&
                        Find<QPushButton>(w, "bcRun09")->isEnabled() &&
                        Find<QPushButton>(w, "bcRun08")->isEnabled();
      } else if (code == scan::kNotifyScan) {
        total_at_scan = TextOf(w, "liTotSize");
        const std::string name = id_list.substr(id_list.rfind('/') + 1);
        const std::vector<std::string>& listed = Find<FileBox>(w, "bFil")->names();
        list_in_box = std::find(listed.begin(), listed.end(), name) != listed.end();
      } else if (code == scan::kNotifyProgress) {
        std::string text = TextOf(w, "liTotDone");
        std::erase(text, ' ');
        done.push_back(std::stoll(text.substr(0, text.find('b'))));
        const std::string dir = TextOf(w, "liPth");
        paths_in_tree &= dir.rfind(tree.root(), 0) == 0 && support::DirExistsSx(dir);
      }
    });
    QTest::mouseClick(Find<QPushButton>(window.get(), "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd,
                             kRunTimeout);

    std::vector<int> codes;
    for (const QList<QVariant>& call : spy) codes.push_back(call.at(0).toInt());
    QVERIFY(codes.size() > 5);
    QCOMPARE(std::vector<int>(codes.begin(), codes.begin() + 4),
             (std::vector<int>{scan::kNotifyStart, scan::kNotifyGather, scan::kNotifySort,
                               scan::kNotifyScan}));
    QCOMPARE(codes.back(), int{scan::kNotifyEnd});
    QVERIFY(std::all_of(codes.begin() + 4, codes.end() - 1,
                        [](int c) { return c == scan::kNotifyProgress; }));
    QVERIFY(running_state);
    QCOMPARE(total_at_scan, Grouped(total) + " bytes");
    QVERIFY(list_in_box);
    QVERIFY(!done.empty());
    QVERIFY(std::is_sorted(done.begin(), done.end()));
    QVERIFY(paths_in_tree);

    TViv050* w = window.get();
    QCOMPARE(TextOf(w, "liFil"), std::string(" Finished"));
    QCOMPARE(TextOf(w, "liLeft"), std::string("0"));
    QCOMPARE(TextOf(w, "liTotPrc"), std::string("100.00 %"));
    QCOMPARE(TextOf(w, "liTotFil"), std::to_string(file_count));
    const std::string readers = TextOf(w, "liReaders");
    QVERIFY2(std::regex_match(readers, std::regex("[1-9][0-9]*( \\(at most [0-9]+\\))?")),
             readers.c_str());
    QCOMPARE(TextOf(w, "liTotDone"), Grouped(total) + " bytes");
    QCOMPARE(Find<QLabel>(w, "liTime2")->palette().color(QPalette::WindowText), QColor(Qt::black));
    QVERIFY(Find<QPushButton>(w, "bcRun01")->isEnabled());
    QVERIFY(Find<QPushButton>(w, "bcRun02")->isEnabled());
    QVERIFY(!Find<QPushButton>(w, "bcRun09")->isEnabled());
    QVERIFY(!Find<QPushButton>(w, "bcRun08")->isEnabled());
    QCOMPARE(Find<QLabel>(w, "lHdList")->palette().color(QPalette::WindowText),
             QColor(0x0000FF));
    QVERIFY(window->job_done().valid());
    QVERIFY(window->job_done().get().finished);

    const CliLists cli = RunCli(out, path);
    QCOMPARE(TempTree::Read(tree_list), TempTree::Read(cli.tree_list));
    QVERIFY(!TempTree::Read(tree_list).empty());
    QCOMPARE(Masked(FileLines(id_list)), Masked(FileLines(cli.id_list)));
    QCOMPARE(FileLines(id_list).front()[kStateColumn - 1], 'F');
  }

  void CancelStampsTheListAndContinueCompletesIt() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    int file_count = 0;
    BuildTree(&tree, &file_count);
    platform::MakeDirs(env.dir() + "xBase/");
    auto window = OpenWindow();
    QVERIFY(window);
    const std::string path = Prepare(&env, window.get(), tree);
    const std::string id_list = TextOf(window.get(), "lHdList");

    QSignalSpy spy(window->link(), &JobLink::notified);
    bool cancelled = false;
    bool label_shown = false;
    auto connection = connect(window->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyProgress || cancelled) return;
      cancelled = true;
      QTest::mouseClick(Find<QPushButton>(window.get(), "bcRun09"), Qt::LeftButton);
      label_shown = Find<QLabel>(window.get(), "liCancel")->isVisible();
    });
    QTest::mouseClick(Find<QPushButton>(window.get(), "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd,
                             kRunTimeout);
    disconnect(connection);
    QVERIFY(cancelled);
    QVERIFY(label_shown);
    QVERIFY(!Find<QLabel>(window.get(), "liCancel")->isVisible());
    QCOMPARE(TextOf(window.get(), "liFil"), std::string(" Cancelled"));
    // A stopped run still has its rest to do, and the directory it stopped in its speed.
    QVERIFY(TextOf(window.get(), "liTotPrc") != "100.00 %");
    QVERIFY(TextOf(window.get(), "liLeft") != "0");
    QVERIFY(!TextOf(window.get(), "liLeft").empty());
    QVERIFY(TextOf(window.get(), "liDirSpeed").ends_with(" kB/s"));
    const std::vector<std::string> stopped = FileLines(id_list);
    QCOMPARE(stopped.front()[kStateColumn - 1], 'C');
    QVERIFY(FileRecords(stopped).size() < static_cast<size_t>(file_count));

    spy.clear();
    // The stopped run's figures go when the Continue starts: bar and label agree.
    std::string at_start = "unset";
    connection = connect(window->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyStart) return;
      at_start = TextOf(window.get(), "liTotPrc") + "|" +
                 Find<QProgressBar>(window.get(), "pbRun")->text().toStdString();
    });
    QVERIFY(Find<QPushButton>(window.get(), "bcRun02")->isEnabled());
    QTest::mouseClick(Find<QPushButton>(window.get(), "bcRun02"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd,
                             kRunTimeout);
    disconnect(connection);
    QCOMPARE(at_start, std::string("|"));
    QCOMPARE(TextOf(window.get(), "liFil"), std::string(" Finished"));
    const CliLists cli = RunCli(out, path);
    QCOMPARE(FileRecords(FileLines(id_list)), FileRecords(FileLines(cli.id_list)));
    QCOMPARE(FileRecords(FileLines(id_list)).size(), static_cast<size_t>(file_count));
  }

  void CreateOnAFreshSettingsFolderMakesTheListAndBackupFolders() {
    AppEnv env;
    TempTree tree;
    tree.File("a.txt", "apples");
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    Prepare(&env, w, tree);
    const std::string list_folder = env.dir() + lists::kDefaultVolPath;
    const std::string backups = env.dir() + lists::kDefaultBackUps;
    QCOMPARE(FolderOf(TextOf(w, "lHdList")), list_folder);
    QVERIFY(!support::DirExistsSx(list_folder));
    QVERIFY(Find<QLabel>(w, "lBackUps")->autoFillBackground());  // shown missing
    // Before any run: no figures, no placeholder date.
    QCOMPARE(Find<QProgressBar>(w, "pbRun")->text(), QString());
    QCOMPARE(TextOf(w, "liTime1") + TextOf(w, "liTotPrc"), std::string());

    QVERIFY(Find<QPushButton>(w, "bcRun01")->isEnabled());
    QSignalSpy spy(w->link(), &JobLink::notified);
    QTest::mouseClick(Find<QPushButton>(w, "bcRun01"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);

    QVERIFY(support::DirExistsSx(backups));
    QVERIFY(support::FileExistsSx(TextOf(w, "lHdList"), 0));
    QCOMPARE(TextOf(w, "liFil"), std::string(" Finished"));
    QVERIFY(!Find<QLabel>(w, "lBackUps")->autoFillBackground());
  }

  // The default List parameters leave "*.tmp" out, whose bytes still count in the total;
  // the default directory parameters leave "temp" out, a note of the problems list.
  void FinishedRunWithFilesLeftOutFillsTheBarAsItsLabel() {
    AppEnv env;
    TempTree tree;
    tree.File("kept.txt", std::string(1000, 'k'));
    tree.File("sub/kept.bin", std::string(3000, 'b'));
    tree.File("left out.tmp", std::string(4000, 't'));
    tree.File("sub/Temp/photo.jpg", "photo");
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    Prepare(&env, w, tree);
    const auto* bar = Find<QProgressBar>(w, "pbRun");
    QSignalSpy spy(w->link(), &JobLink::notified);
    bool bar_as_label = true;
    int progress_seen = 0;
    connect(w->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyProgress || TextOf(w, "liTotPrc").empty()) return;
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
    const auto* list = Find<ProblemsList>(w, "lvProblems");
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->path(0).toStdString(), tree.root() + "sub/Temp/");
    QCOMPARE(list->reason(0), QString("left out by the parameters (/EP temp)"));
    QCOMPARE(TextOf(w, "liError"), std::string("0"));
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
    Prepare(&env, w, tree);
    auto* list = Find<ProblemsList>(w, "lvProblems");
    QVERIFY(list != nullptr);
    QSignalSpy spy(w->link(), &JobLink::notified);
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
    QCOMPARE(TextOf(w, "lProblems"), std::string(" Problems 2"));
    QCOMPARE(TextOf(w, "liError"), std::string("2"));

    // A double-click opens the directory itself, or the folder of a file.
    std::vector<std::string> opened;
    list->SetFolderOpener([&](const QString& folder) {
      opened.push_back(folder.toStdString());
      return true;
    });
    auto* rows = list->findChild<QTreeWidget*>("tvProblems");
    for (int row = 0; row < list->count(); ++row) {
      const QPoint at = rows->visualItemRect(rows->topLevelItem(row)).center();
      QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, at);
      QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, at);
    }
    std::sort(opened.begin(), opened.end());
    QCOMPARE(opened, (std::vector<std::string>{tree.root(), closed}));
  }
};

namespace {
RegisterSuite<RunTest> run_suite;
}

}  // namespace testing_support

#include "run_test.moc"
