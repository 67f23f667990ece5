// "Scrub now" from the Find page over a list a real scan wrote of a tree on the disk the
// test runs on: a file rotted with its times kept, found on the Run page, detailed on the
// Audit page and coloured in the volumes table; and a scrub cancelled keeping its checks.

#include <fcntl.h>
#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QBrush>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <string>
#include <vector>

#include "app/find/find_page.h"
#include "app_fixture.h"
#include "catalogue/sqlite_db.h"
#include "common/run_command.h"
#include "common/scoped_env.h"
#include "common/temp_tree.h"
#include "suites.h"

namespace testing_support {

namespace {

constexpr int kTimeout = 60000;
constexpr int kListColumn = 0;

// Rewrites a file's bytes and sets its times back, as rot under the file system leaves it.
bool RotKeepingTimes(const std::string& path, const std::string& bytes) {
  struct stat before;
  if (stat(path.c_str(), &before) != 0) return false;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// A volume on the test's own disk (so mounted now), its list in a catalogue folder, and
// the window's Find page over that folder; the history and the index in temp folders.
class ScrubSetUp {
 public:
  ScrubSetUp()
      : data_("XDG_DATA_HOME", tree_.Dir("data")), cache_("XDG_CACHE_HOME", tree_.Dir("cache")) {}

  std::string Data(const std::string& name, const std::string& content) {
    return tree_.File("volume/" + name, content);
  }

  bool Open() {
    const std::string root = tree_.Dir("volume");
    const CommandResult scan =
        RunCommand(CHECKER_CLI_PATH,
                   {"scan", "--quiet", "--no-backup", "--list", list(), "--tree",
                    tree_.Path("Here.t00"), "--label", "HERE", root.substr(0, root.size() - 1)});
    if (scan.exit_code != 0) return false;
    window = OpenWindow();
    QSignalSpy refreshed(window->find_page(), &FindPage::refreshed);
    Find<QTabWidget>(window.get(), "pcCln")->setCurrentIndex(TViv050::kPageFind);
    env.folders.Answer(tree_.Dir("catalogue"));
    QTest::mouseClick(Find<QPushButton>(window.get(), "bcFndAddFolder"), Qt::LeftButton);
    return refreshed.wait(kTimeout) || refreshed.count() > 0;
  }

  std::string list() { return tree_.Dir("catalogue") + "Here.v00"; }

  QTableView* volumes() const { return Find<QTableView>(window.get(), "tvFndVolumes"); }
  // The column under that header; -1 when none is.
  int Column(const QString& header) const {
    const QAbstractItemModel* model = volumes()->model();
    for (int c = 0; c < model->columnCount(); ++c) {
      if (model->headerData(c, Qt::Horizontal) == header) return c;
    }
    return -1;
  }
  int LastCheckColumn() const { return Column("Last check"); }
  int CycleColumn() const { return Column("Checked in cycle"); }
  QModelIndex Cell(int column) const { return volumes()->model()->index(0, column); }
  std::string CellText(int column, int role = Qt::DisplayRole) const {
    return Cell(column).data(role).toString().toStdString();
  }

  // Chooses the volume and presses "Scrub now"; false when it is off.
  bool ScrubNow() {
    volumes()->setCurrentIndex(Cell(kListColumn));
    auto* button = Find<QPushButton>(window.get(), "bcFndScrub");
    if (!button->isEnabled()) return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
  }

  // The Run page's last line once the scrub has ended; empty when it has not.
  std::string WaitForEnd() const {
    const bool ended = QTest::qWaitFor(
        [this] {
          return TextOf(window.get(), "liFil").starts_with("scrub ") &&
                 !Find<QPushButton>(window.get(), "bcRun09")->isEnabled();
        },
        kTimeout);
    return ended ? TextOf(window.get(), "liFil") : std::string();
  }

  int64_t Checked() {
    catalogue::Database db;
    if (!db.Open(tree_.Path("data/checker/history.db"))) return -1;
    catalogue::Statement count;
    if (!db.Prepare("SELECT count(checked) FROM checks", &count)) return -1;
    return count.Step() ? count.Int(0) : -1;
  }

  AppEnv env;
  std::unique_ptr<TViv050> window;

 private:
  TempTree tree_;
  ScopedEnv data_;
  ScopedEnv cache_;
};

std::vector<std::string> Rows(const QTreeWidget* problems) {
  std::vector<std::string> rows;
  for (int r = 0; r < problems->topLevelItemCount(); ++r) {
    const QTreeWidgetItem* item = problems->topLevelItem(r);
    rows.push_back(item->text(0).toStdString() + "|" + item->text(1).toStdString());
  }
  return rows;
}

// Class, path and reason of each row of the Audit page.
std::vector<std::string> AuditRows(const QTableView* table) {
  std::vector<std::string> rows;
  const QAbstractItemModel* model = table->model();
  for (int r = 0; r < model->rowCount(); ++r) {
    rows.push_back(model->index(r, 0).data().toString().toStdString() + "|" +
                   model->index(r, 1).data().toString().toStdString() + "|" +
                   model->index(r, 2).data().toString().toStdString());
  }
  return rows;
}

}  // namespace

class ScrubWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ScrubNowFindsTheRotAndTheVolumeShowsIt() {
    ScrubSetUp set_up;
    // Equal sizes: a twentieth of the bytes is the one file always read, the first listed.
    const std::string rotten = set_up.Data("a_photo.jpg", "photo bytes, all good");
    set_up.Data("b_notes.txt", "some notes, all fine.");
    set_up.Data("c_plans.txt", "some plans, all done.");
    QVERIFY(set_up.Open());
    QCOMPARE(set_up.CellText(set_up.LastCheckColumn()), std::string("never"));
    QCOMPARE(set_up.CellText(set_up.CycleColumn()), std::string("0%"));
    QVERIFY(RotKeepingTimes(rotten, "photo bytes, ALL good"));

    QVERIFY(set_up.ScrubNow());
    TViv050* w = set_up.window.get();
    QCOMPARE(Find<QTabWidget>(w, "pcCln")->currentIndex(), int{TViv050::kPageRun});
    const std::string size = std::to_string(std::string("photo bytes, ALL good").size());
    QCOMPARE(set_up.WaitForEnd(),
             "scrub Here: 1 files, " + size + " bytes; 1 problem, shown on the Audit page");
    QCOMPARE(Rows(Find<QTreeWidget>(w, "tvProblems")),
             std::vector<std::string>{rotten + "|corrupted"});
    QCOMPARE(TextOf(w, "liError"), std::string("1"));
    QCOMPARE(AuditRows(Find<QTableView>(w, "tvAudit")),
             std::vector<std::string>{"corrupted|" + rotten + "|"});
    QCOMPARE(TextOf(w, "liAudLists"), "Scrub of " + set_up.list());

    // The volumes table after the refresh the end brings: a third checked, damage shown.
    QTRY_COMPARE_WITH_TIMEOUT(set_up.CellText(set_up.CycleColumn()), std::string("33%"), kTimeout);
    // The last check to the minute, to the second in its hint.
    const std::string minute = set_up.CellText(set_up.LastCheckColumn());
    QCOMPARE(minute.size(), std::string("yyyy-mm-dd hh:nn").size());
    const std::string second = set_up.CellText(set_up.LastCheckColumn(), Qt::ToolTipRole);
    QVERIFY2(second.starts_with(minute + ":") && second.find("\n1 file waits") == 19,
             second.c_str());
    QCOMPARE(set_up.Cell(kListColumn).data(Qt::BackgroundRole).value<QBrush>().color(),
             QColor(0xFFC8C8));
    QCOMPARE(set_up.CellText(set_up.CycleColumn(), Qt::ToolTipRole),
             "33%\n1 file waits to be mended: checker-cli repair --all " + set_up.list());
    QCOMPARE(set_up.Checked(), int64_t{1});
  }

  // At the window's first size a new user sees the scrub columns whole, without scrolling,
  // and a few volumes at once.
  void ScrubColumnsShowAtTheFirstSize() {
    ScrubSetUp set_up;
    set_up.Data("a_photo.jpg", "photo bytes");
    QVERIFY(set_up.Open());
    // The size the window opens at on a screen that holds it (the test's screen is smaller).
    set_up.window->resize(1048, 683);
    QApplication::processEvents();
    const QTableView* volumes = set_up.volumes();
    const int width = volumes->viewport()->width();
    for (const int column : {set_up.LastCheckColumn(), set_up.CycleColumn()}) {
      const QRect cell = volumes->visualRect(set_up.Cell(column));
      QVERIFY2(cell.left() >= 0 && cell.right() < width,
               qPrintable(QString("column %1 at %2..%3 of %4 in a window %5 wide")
                              .arg(column)
                              .arg(cell.left())
                              .arg(cell.right())
                              .arg(width)
                              .arg(set_up.window->width())));
    }
    const int rows =
        volumes->viewport()->height() / volumes->verticalHeader()->defaultSectionSize();
    QVERIFY2(rows >= 4, qPrintable(QString("%1 rows").arg(rows)));
  }

  // Cancel stops between files; every file the run counted is in the history.
  void CancelKeepsWhatWasChecked() {
    ScrubSetUp set_up;
    for (int i = 0; i < 2000; ++i) {
      set_up.Data("many/" + std::to_string(10000 + i) + ".txt", std::string(1024, 'x'));
    }
    QVERIFY(set_up.Open());
    QVERIFY(set_up.ScrubNow());
    TViv050* w = set_up.window.get();
    // Cancel once the first file shows, unless the run was quicker.
    QTRY_VERIFY_WITH_TIMEOUT(
        TextOf(w, "liFil").ends_with(".txt") || TextOf(w, "liFil").starts_with("scrub "), kTimeout);
    auto* cancel = Find<QPushButton>(w, "bcRun09");
    if (cancel->isEnabled()) QTest::mouseClick(cancel, Qt::LeftButton);
    const std::string end = set_up.WaitForEnd();
    const std::string prefix = "scrub Here: ";
    QVERIFY(end.starts_with(prefix));
    const int64_t files = std::stoll(end.substr(prefix.size()));
    QVERIFY(files > 0);
    const std::string figures =
        prefix + std::to_string(files) + " files, " + std::to_string(files * 1024) + " bytes";
    QVERIFY2(end == figures || end == figures + "; cancelled: what was checked is kept",
             end.c_str());
    QCOMPARE(set_up.Checked(), files);
    QVERIFY(!Find<QLabel>(w, "liCancel")->isVisible());
  }
};

static RegisterSuite<ScrubWindowTest> register_scrub_window_test;

}  // namespace testing_support

#include "scrub_window_test.moc"
