// The Find page over lists that real scans wrote: several volumes faked with --label and
// --serial and one on the disk the test runs on, the answers worked out from the trees.

#include "app/find/find_page.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStringListModel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/audit/audit_page.h"
#include "app/find/find_model.h"
#include "app_fixture.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "common/test_text.h"
#include "suites.h"

namespace testing_support {

namespace {

constexpr int kTimeout = 30000;
constexpr time_t kBaseTime = 1588336496;  // 2020-05-01 12:34:56 UTC

struct Made {
  std::string volume;  // the list's name
  std::string label;
  uint32_t serial;  // 0: the volume the test runs on
  std::string path;
  std::string content;
  time_t time;
};

using testing_support::Lower;
using testing_support::TimeText;

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The row a table shows for a made file.
std::string RowOf(const Made& file) {
  return file.volume + "|" + file.path + "|" + testing_support::Grouped(file.content.size()) + "|" +
         TimeText(file.time);
}

std::vector<std::string> Rows(const QAbstractItemModel* model) {
  std::vector<std::string> rows;
  for (int r = 0; r < model->rowCount(); ++r) {
    std::string row;
    for (int c = 0; c < model->columnCount(); ++c) {
      row += (c == 0 ? "" : "|") + model->index(r, c).data().toString().toStdString();
    }
    rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

class Catalogue {
 public:
  Catalogue() { setenv("XDG_CACHE_HOME", tree_.Dir("cache").c_str(), 1); }

  // Writes the files below "volumes/NAME/" and scans them into the catalogue folder.
  bool MakeVolume(const std::string& name, const std::string& label, uint32_t serial,
                  const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string root = tree_.Dir("volumes/" + name);
    for (const auto& [relative, content] : files) {
      const std::string path = tree_.File("volumes/" + name + "/" + relative, content);
      const time_t time = kBaseTime + 3600 * static_cast<time_t>(made.size());
      const struct timespec times[2] = {{time, 0}, {time, 0}};
      if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return false;
      made.push_back({name, label, serial, path, content, time});
    }
    std::vector<std::string> args = {"scan",
                                     "--quiet",
                                     "--no-backup",
                                     "--list",
                                     folder() + name + ".v00",
                                     "--tree",
                                     tree_.Path(name + ".t00"),
                                     "--label",
                                     label};
    if (serial != 0) args.insert(args.end(), {"--serial", std::to_string(serial)});
    args.push_back(root.substr(0, root.size() - 1));
    return RunCommand(CHECKER_CLI_PATH, args).exit_code == 0;
  }

  // Photos and Backup on made-up volumes, Backup holding a copy of one photo; Here on
  // the test's own disk.
  bool MakeThree() {
    return MakeVolume("Photos", "PHOTOS", 1111,
                      {{"2020/Holiday_Beach.JPG", "sand and sea, a long photo"},
                       {"2020/holiday_town.jpg", "streets and houses"},
                       {"notes/readme.txt", "read me first, then the rest"},
                       {"notes/empty.txt", ""}}) &&
           MakeVolume("Backup", "BACKUP", 2222,
                      {{"old/Holiday_Beach.JPG", "sand and sea, a long photo"},
                       {"old/other holiday.jpg", "a different day"},
                       {"empty.txt", ""}}) &&
           MakeVolume("Here", "HERE", 0, {{"docs/holiday plan.txt", "where to go this year"}});
  }

  template <typename Rule>
  std::vector<std::string> Expected(Rule rule) const {
    std::vector<std::string> rows;
    for (const Made& file : made) {
      if (rule(file)) rows.push_back(RowOf(file));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  std::string folder() { return tree_.Dir("catalogue"); }

  std::vector<Made> made;

 private:
  TempTree tree_;
};

FindPage* PageOf(TViv050* w) { return w->find_page(); }

// Opens the Find page with the catalogue folder added, its index up to date.
bool OpenFind(AppEnv* env, TViv050* w, Catalogue* catalogue) {
  QSignalSpy refreshed(PageOf(w), &FindPage::refreshed);
  Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageFind);
  env->folders.Answer(catalogue->folder());
  QTest::mouseClick(Find<QPushButton>(w, "bcFndAddFolder"), Qt::LeftButton);
  return refreshed.wait(kTimeout) || refreshed.count() > 0;
}

// Three volumes written by real scans, and a window showing their catalogue on the Find
// page.
struct FindSetUp {
  AppEnv env;
  Catalogue catalogue;
  std::unique_ptr<TViv050> window;
  bool Open() {
    if (!catalogue.MakeThree()) return false;
    window = OpenWindow();
    return OpenFind(&env, window.get(), &catalogue);
  }
};

// Sets the fields as a person types them and presses Return, then waits for that search
// to end: a search still running from before (the one a refresh starts) is dropped, so
// the next end is this one's.
void Search(TViv050* w, const std::string& name, const std::string& min_size = "",
            const std::string& volume = "") {
  Find<QLineEdit>(w, "eFndMinSize")->setText(QString::fromStdString(min_size));
  Find<QLineEdit>(w, "eFndVolume")->setText(QString::fromStdString(volume));
  Find<QLineEdit>(w, "eFndName")->clear();
  QTest::keyClicks(Find<QLineEdit>(w, "eFndName"), QString::fromStdString(name));
  QSignalSpy searched(PageOf(w), &FindPage::searched);
  QTest::keyClick(Find<QLineEdit>(w, "eFndName"), Qt::Key_Return);
  QTRY_VERIFY_WITH_TIMEOUT(searched.count() > 0, kTimeout);
}

std::vector<std::string> Results(TViv050* w) { return Rows(PageOf(w)->results()); }

}  // namespace

class FindPageTest : public QObject {
  Q_OBJECT

 private slots:
  void TypedNamesAndFiltersFindWhatTheTreesHold() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    Catalogue& catalogue = set_up.catalogue;
    TViv050* w = set_up.window.get();
    struct Case {
      std::string name, min_size, volume;
      std::function<bool(const Made&)> rule;
    };
    const std::vector<Case> cases = {
        {"holiday", "", "",
         [](const Made& f) { return Lower(NameOf(f.path)).find("holiday") != std::string::npos; }},
        {"*.JPG", "", "", [](const Made& f) { return Lower(NameOf(f.path)).ends_with(".jpg"); }},
        {"*.jpg", "20", "",
         [](const Made& f) {
           return Lower(NameOf(f.path)).ends_with(".jpg") && f.content.size() >= 20;
         }},
        // A size with a unit: a hundredth of 1024 bytes is 10 whole bytes.
        {"*", "0.01k", "", [](const Made& f) { return f.content.size() >= 10; }},
        {"holiday", "", "backup",
         [](const Made& f) {
           return f.label == "BACKUP" && Lower(NameOf(f.path)).find("holiday") != std::string::npos;
         }},
        {"*.txt", "", "00000_01111",
         [](const Made& f) { return f.serial == 1111 && NameOf(f.path).ends_with(".txt"); }},
        {"no such name", "", "", [](const Made&) { return false; }},
    };
    for (const Case& c : cases) {
      Search(w, c.name, c.min_size, c.volume);
      QTRY_COMPARE_WITH_TIMEOUT(Results(w), catalogue.Expected(c.rule), kTimeout);
    }
    QTRY_COMPARE(Text(Find<QLabel>(w, "liFndMore")), std::string("Nothing found"));
    Search(w, "*", "1.5x");
    QTRY_COMPARE(Text(Find<QLabel>(w, "liFndMore")),
                 std::string("Size takes bytes or a size such as 390k or 1.5G, not '1.5x'"));
  }

  // Ctrl+F outside an editor opens the Find page, ready to type; opening the page by its
  // tab does the same.
  void CtrlFOpensThePageWithItsNameFieldReady() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    auto* pages = Find<QTabWidget>(w, "pcCln");
    auto* name = Find<QLineEdit>(w, "eFndName");
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    auto* path = Find<QComboBox>(w, "cPath");
    path->lineEdit()->setFocus();
    QTRY_VERIFY(path->lineEdit()->hasFocus());
    QTest::keyClick(path->lineEdit(), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(pages->currentIndex(), int{TViv050::kPageFind});
    QTRY_VERIFY(name->hasFocus());
    pages->setCurrentIndex(TViv050::kPageSettings);
    pages->setCurrentIndex(TViv050::kPageFind);
    QTRY_VERIFY(name->hasFocus());
  }

  void LimitSaysHowManyMoreMatched() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    Catalogue& catalogue = set_up.catalogue;
    TViv050* w = set_up.window.get();
    Find<QSpinBox>(w, "sFndLimit")->setValue(2);
    const size_t all = catalogue.Expected([](const Made&) { return true; }).size();
    Search(w, "*");
    QTRY_COMPARE_WITH_TIMEOUT(Results(w).size(), size_t{2}, kTimeout);
    QTRY_COMPARE(Text(Find<QLabel>(w, "liFndMore")), std::to_string(all - 2) + " more matched (" +
                                                         std::to_string(all) +
                                                         " in all; raise the limit to see more)");
  }

  void ResultShowsItsCopiesAndOpensItsFolderWhereMounted() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    Catalogue& catalogue = set_up.catalogue;
    TViv050* w = set_up.window.get();
    std::vector<std::string> opened;
    const AuditPage::FolderOpener previous = AuditPage::SetFolderOpener(
        [&opened](const std::string& folder) {
          opened.push_back(folder);
          return true;
        });
    auto* view = Find<QTableView>(w, "tvFndResults");
    auto* open = Find<QPushButton>(w, "bcFndOpen");
    // Each result and its copies: a file of another volume with the same bytes, never an
    // empty file.
    Search(w, "*");
    QTRY_COMPARE_WITH_TIMEOUT(Results(w).size(), catalogue.made.size(), kTimeout);
    for (int r = 0; r < view->model()->rowCount(); ++r) {
      const std::string path = view->model()->index(r, 1).data().toString().toStdString();
      const auto own = std::find_if(catalogue.made.begin(), catalogue.made.end(),
                                    [&](const Made& f) { return f.path == path; });
      QVERIFY(own != catalogue.made.end());
      const std::vector<std::string> expected = catalogue.Expected([&](const Made& f) {
        return f.volume != own->volume && !f.content.empty() && f.content == own->content;
      });
      QSignalSpy shown(PageOf(w), &FindPage::copiesShown);
      view->setCurrentIndex(view->model()->index(r, 0));
      QVERIFY(shown.wait(kTimeout));
      QCOMPARE(Rows(PageOf(w)->copies()), expected);
      // Only the volume of the test's own disk is mounted.
      QCOMPARE(open->isEnabled(), own->serial == 0);
      if (own->serial != 0) continue;
      QTest::mouseClick(open, Qt::LeftButton);
      const std::string folder = own->path.substr(0, own->path.rfind('/') + 1);
      QCOMPARE(opened, std::vector<std::string>{folder});
      // A desktop with no program for folders: the page says so instead of nothing.
      const AuditPage::FolderOpener recording =
          AuditPage::SetFolderOpener([](const std::string&) { return false; });
      QTest::mouseClick(open, Qt::LeftButton);
      QCOMPARE(Text(Find<QLabel>(w, "liFndState")),
               "Cannot open " + folder + ": no program to open folders is set up on this desktop");
      AuditPage::SetFolderOpener(recording);
      QTest::mouseClick(Find<QPushButton>(w, "bcFndCopy"), Qt::LeftButton);
      QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), own->path);
    }
    QCOMPARE(opened.size(), size_t{1});
    AuditPage::SetFolderOpener(previous);
  }

  // A file chosen while the copies of the one before are still looked for: only its own
  // copies and path show, never the other's on the way.
  void AChoiceMadeMeanwhileShowsOnlyItsOwn() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    TViv050* w = set_up.window.get();
    auto* view = Find<QTableView>(w, "tvFndResults");
    Search(w, "*");
    QTRY_COMPARE_WITH_TIMEOUT(Results(w).size(), set_up.catalogue.made.size(), kTimeout);
    std::vector<std::string> shown_paths;
    QObject::connect(PageOf(w), &FindPage::copiesShown, w, [&] {
      QTest::mouseClick(Find<QPushButton>(w, "bcFndCopy"), Qt::LeftButton);
      shown_paths.push_back(QGuiApplication::clipboard()->text().toStdString());
    });
    view->setCurrentIndex(view->model()->index(0, 0));
    view->setCurrentIndex(view->model()->index(1, 0));
    const std::string second = view->model()->index(1, 1).data().toString().toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(!shown_paths.empty(), kTimeout);
    QCOMPARE(shown_paths.front(), second);
  }

  void VolumesShowEachListAndWhetherItIsMounted() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    Catalogue& catalogue = set_up.catalogue;
    TViv050* w = set_up.window.get();
    std::vector<std::string> expected;
    for (const char* volume : {"Backup", "Here", "Photos"}) {
      uint64_t files = 0;
      uint64_t bytes = 0;
      const Made* one = nullptr;
      for (const Made& f : catalogue.made) {
        if (f.volume != volume) continue;
        ++files;
        bytes += f.content.size();
        one = &f;
      }
      char serial[16];
      std::snprintf(serial, sizeof(serial), "%05u_%05u", one->serial >> 16, one->serial & 0xFFFF);
      expected.push_back(std::string(volume) + "|" + one->label + "|" +
                         (one->serial == 0 ? "*" : serial) + "|" + std::to_string(files) + "|" +
                         std::to_string(bytes) + "|" +
                         (one->serial == 0 ? "mounted" : "not mounted"));
    }
    std::vector<std::string> shown;
    const QAbstractItemModel* model = PageOf(w)->volumes();
    for (int r = 0; r < model->rowCount(); ++r) {
      const auto cell = [&](int c) { return model->index(r, c).data().toString().toStdString(); };
      const std::string list = cell(VolumesModel::kList);
      const std::string mounted = cell(VolumesModel::kMounted);
      shown.push_back(list + "|" + cell(VolumesModel::kLabel) + "|" +
                      (list == "Here" ? "*" : cell(VolumesModel::kSerial)) + "|" +
                      cell(VolumesModel::kFiles) + "|" + cell(VolumesModel::kBytes) + "|" +
                      (mounted == "not mounted" ? mounted : "mounted"));
      // A mounted volume's mount point holds the tree the list was made of.
      if (mounted != "not mounted")
        QVERIFY(cell(VolumesModel::kSearchPath).starts_with(mounted.substr(0, mounted.size() - 1)));
    }
    QCOMPARE(shown, expected);
  }

  // A volume is named by a part of its list's name or label, as the completer offers them.
  void VolumeFilterTakesPartOfANameOrLabel() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    Catalogue& catalogue = set_up.catalogue;
    TViv050* w = set_up.window.get();
    const QStringList offered =
        static_cast<QStringListModel*>(Find<QLineEdit>(w, "eFndVolume")->completer()->model())
            ->stringList();
    QCOMPARE(std::set<QString>(offered.begin(), offered.end()),
             (std::set<QString>{"Backup", "BACKUP", "Here", "HERE", "Photos", "PHOTOS"}));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ack", "Backup"}, {"OTO", "Photos"}, {"her", "Here"}};
    for (const auto& [part, volume] : cases) {
      Search(w, "*", "", part);
      QTRY_COMPARE_WITH_TIMEOUT(
          Results(w), catalogue.Expected([&](const Made& f) { return f.volume == volume; }),
          kTimeout);
    }
    Search(w, "*", "", "zz");
    QTRY_COMPARE(Text(Find<QLabel>(w, "liFndMore")),
                 std::string("No volume of the catalogue is named 'zz'"));
  }

  // Each row offers what applies to it: only the files of the mounted volume open and
  // verify, only files with bytes have copies.
  void RowMenusOfferWhatAppliesToEachRow() {
    FindSetUp set_up;
    QVERIFY(set_up.Open());
    Catalogue& catalogue = set_up.catalogue;
    TViv050* w = set_up.window.get();
    RecordedOpens opened;
    auto* view = Find<QTableView>(w, "tvFndResults");
    Search(w, "*");
    QTRY_COMPARE_WITH_TIMEOUT(Results(w).size(), catalogue.made.size(), kTimeout);
    const Made* here = nullptr;
    for (int r = 0; r < view->model()->rowCount(); ++r) {
      const std::string path = view->model()->index(r, 1).data().toString().toStdString();
      const Made& own = *std::find_if(catalogue.made.begin(), catalogue.made.end(),
                                      [&](const Made& f) { return f.path == path; });
      const auto on = [](bool enabled, const std::string& name) {
        return enabled ? name : "(" + name + ")";
      };
      const bool mounted = own.serial == 0;
      QMenu* menu = RowMenu(view, r);
      QVERIFY(menu != nullptr);
      QCOMPARE(Entries(menu),
               (std::vector<std::string>{on(mounted, "miOpen"), on(mounted, "miOpenFolder"),
                                         "miCopyPath", on(!own.content.empty(), "miShowCopies"),
                                         on(mounted, "miVerifyVolume")}));
      QVERIFY(Choose(menu, "miCopyPath"));
      QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), own.path);
      if (mounted) here = &own;
    }
    QVERIFY(here != nullptr);
    int shown = -1;
    for (int r = 0; r < view->model()->rowCount(); ++r) {
      if (view->model()->index(r, 1).data().toString().toStdString() == here->path) shown = r;
    }
    QVERIFY(shown >= 0);
    QVERIFY(Choose(RowMenu(view, shown), "miOpen"));
    QVERIFY(Choose(RowMenu(view, shown), "miOpenFolder"));
    const std::string folder = here->path.substr(0, here->path.rfind('/') + 1);
    QCOMPARE(opened.paths, (std::vector<std::string>{here->path, folder}));
    // The copies of a photo that has one on the backup.
    QSignalSpy copies(PageOf(w), &FindPage::copiesShown);
    for (int r = 0; r < view->model()->rowCount(); ++r) {
      if (!view->model()->index(r, 1).data().toString().endsWith("Holiday_Beach.JPG")) continue;
      QVERIFY(Choose(RowMenu(view, r), "miShowCopies"));
      QTRY_VERIFY_WITH_TIMEOUT(copies.count() > 0, kTimeout);
      QCOMPARE(Rows(PageOf(w)->copies()).size(), size_t{1});
      break;
    }
    // The volumes: only the mounted one opens, verifies and scrubs.
    auto* volumes = Find<QTableView>(w, "tvFndVolumes");
    int mounted_row = -1;
    for (int r = 0; r < volumes->model()->rowCount(); ++r) {
      const bool mounted = volumes->model()->index(r, 0).data().toString() == "Here";
      if (mounted) mounted_row = r;
      const auto on = [mounted](const std::string& name) {
        return mounted ? name : "(" + name + ")";
      };
      QCOMPARE(Entries(RowMenu(volumes, r)),
               (std::vector<std::string>{on("miOpenFolder"), "miCopyPath", on("miVerifyVolume"),
                                         on("miScrubNow")}));
    }
    // Verify this volume verifies its list: the window shows the verify's audit.
    QVERIFY(Choose(RowMenu(view, shown), "miVerifyVolume"));
    QTRY_COMPARE_WITH_TIMEOUT(Find<QTabWidget>(w, "pcCln")->currentIndex(),
                              int{TViv050::kPageAudit}, kTimeout);
    QCOMPARE(TextOf(w, "liAudLists").rfind("Verify of " + catalogue.folder() + "Here.v00", 0),
             size_t{0});
    QVERIFY(mounted_row >= 0);
  }

  // Every column sorts both ways; equal keys keep the order the files came in, and the
  // chosen file stays chosen.
  void ResultsSortByEveryColumn() {
    std::vector<FoundFile> rows;
    const std::vector<std::string> volumes = {"b", "a", "c", "a"};
    const std::vector<std::string> paths = {"/x/b", "/x/a", "/w/z", "/x/a"};
    const std::vector<uint64_t> sizes = {30, 10, 20, 10};
    const std::vector<uint64_t> times = {20200101000000, 20190101000000, 20210101000000,
                                         20190101000000};
    for (size_t i = 0; i < volumes.size(); ++i) {
      catalogue::CatalogueFile file;
      file.row = static_cast<int64_t>(i);
      file.path = paths[i];
      file.size = sizes[i];
      file.write_time = times[i];
      rows.push_back({volumes[i], file});
    }
    FindModel model;
    model.SetRows(rows);
    const QPersistentModelIndex chosen = model.index(2, 0);  // the file of row 2, "/w/z"
    const std::vector<std::pair<int, std::function<std::string(size_t)>>> columns = {
        {FindModel::kVolume, [&](size_t i) { return volumes[i]; }},
        {FindModel::kPath, [&](size_t i) { return paths[i]; }},
        {FindModel::kSize, [&](size_t i) { return std::to_string(100 + sizes[i]); }},
        {FindModel::kWriteTime, [&](size_t i) { return std::to_string(times[i]); }}};
    for (const auto& [column, key] : columns) {
      for (const bool down : {false, true}) {
        std::vector<size_t> expected = {0, 1, 2, 3};
        std::stable_sort(expected.begin(), expected.end(), [&, &key = key](size_t a, size_t b) {
          return down ? key(b) < key(a) : key(a) < key(b);
        });
        model.sort(column, down ? Qt::DescendingOrder : Qt::AscendingOrder);
        std::vector<size_t> shown;
        for (int r = 0; r < model.rowCount(); ++r) {
          shown.push_back(static_cast<size_t>(model.RowAt(r)->file.row));
        }
        QCOMPARE(shown, expected);
        QCOMPARE(model.RowAt(chosen.row())->file.path, std::string("/w/z"));
      }
    }
    // A new set of rows shows in the order last asked for.
    rows.pop_back();
    model.SetRows(rows);
    QCOMPARE(model.RowAt(0)->file.write_time, uint64_t{20210101000000});
  }

  // A direction mark turns "zzz<RLO>FDP.exe" into "zzzexe.PDF" where it acts: every
  // table of the page names it instead, in its cells and their tooltips.
  void NamesShowTheirDirectionMarks() {
    AppEnv env;
    Catalogue catalogue;
    const std::string rlo = "\xE2\x80\xAE";
    const std::string rli = "\xE2\x81\xA7";
    QVERIFY(
        catalogue.MakeVolume("Odd" + rlo, "ODD", 3333, {{"zzz" + rlo + "FDP.exe", "the same"}}));
    QVERIFY(catalogue.MakeVolume("Other", "OTHER", 4444, {{"c" + rli + "opy.exe", "the same"}}));
    const auto shown = [&](std::string text) {
      for (const auto& [mark, name] : {std::pair(rlo, "[RLO]"), std::pair(rli, "[RLI]")}) {
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
          text.replace(at, mark.size(), name);
        }
      }
      return text;
    };
    auto window = OpenWindow();
    TViv050* w = window.get();
    QVERIFY(OpenFind(&env, w, &catalogue));
    Search(w, "FDP");
    QTRY_COMPARE_WITH_TIMEOUT(Results(w), std::vector<std::string>{shown(RowOf(catalogue.made[0]))},
                              kTimeout);
    const QAbstractItemModel* results = PageOf(w)->results();
    QCOMPARE(results->index(0, 1).data(Qt::ToolTipRole).toString().toStdString(),
             shown(catalogue.made[0].path));
    QSignalSpy copies(PageOf(w), &FindPage::copiesShown);
    Find<QTableView>(w, "tvFndResults")->setCurrentIndex(results->index(0, 0));
    QVERIFY(copies.wait(kTimeout));
    QCOMPARE(Rows(PageOf(w)->copies()), std::vector<std::string>{shown(RowOf(catalogue.made[1]))});
    const QAbstractItemModel* volumes = PageOf(w)->volumes();
    std::vector<std::string> lists;
    for (int r = 0; r < volumes->rowCount(); ++r) {
      lists.push_back(volumes->index(r, 0).data().toString().toStdString() + "|" +
                      volumes->index(r, VolumesModel::kSearchPath)
                          .data(Qt::ToolTipRole)
                          .toString()
                          .toStdString());
    }
    std::sort(lists.begin(), lists.end());
    // The search path as the scan was given it: the volume's folder.
    const auto root = [&](const Made& f) { return f.path.substr(0, f.path.rfind('/')); };
    const std::vector<std::string> expected = {shown("Odd" + rlo + "|" + root(catalogue.made[0])),
                                               "Other|" + root(catalogue.made[1])};
    QCOMPARE(lists, expected);
  }
};

static RegisterSuite<FindPageTest> register_find_page_test;

}  // namespace testing_support

#include "find_page_test.moc"
