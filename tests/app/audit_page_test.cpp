// Verify and compare from the window: the Audit page's counts and filters, and its saved
// report against what checker-cli writes for the same lists.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/audit/audit_model.h"
#include "app/kit/file_box.h"
#include "app_fixture.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "fs/volume_info.h"
#include "lists/list_format.h"
#include "suites.h"
#include "support/msg.h"

namespace testing_support {

namespace {

constexpr int kAuditTimeout = 60000;
constexpr time_t kBaseTime = 1588336496;  // 2020-05-01 12:34:56 UTC

// Verify reads the disk and calls a file whose pages are not all on it yet "changed":
// what the test wrote goes to the disk first.
void SyncTree(const TempTree& tree) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.root())) {
    if (!entry.is_regular_file()) continue;
    const int fd = open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) continue;
    fsync(fd);
    close(fd);
  }
}

// Eight files, then one of each kind of change a verify can see on a healthy disk:
// same size and time with other bytes, another size, a move, a removal, a new file.
// Scans the tree into `list` (its tree list beside it) with the command line; its exit code.
int ScanTree(const TempTree& tree, const std::string& list) {
  const std::string root = tree.root().substr(0, tree.root().size() - 1);
  return RunCommand(CHECKER_CLI_PATH,
                    {"scan", "--quiet", "--list", list, "--tree", list + ".t", root})
      .exit_code;
}

// Returns the classes the changes must give, by path below the root.
std::map<std::string, std::string> BuildAndChange(TempTree* tree, const std::string& list) {
  const std::vector<std::string> names = {"a.txt",   "b.bin",     "sub/c.dat", "sub/d.txt",
                                          "e f.txt", "Äpfel.txt", "sub/g.log", "empty"};
  for (size_t i = 0; i < names.size(); ++i) {
    tree->File(names[i], names[i] == "empty" ? "" : std::string(100 + 7 * i, char('a' + i)));
  }
  if (ScanTree(*tree, list) != 0) return {{"scan failed", ""}};

  namespace fs = std::filesystem;
  const fs::file_time_type time = fs::last_write_time(tree->Path("a.txt"));
  tree->File("a.txt", std::string(100, 'z'));
  fs::last_write_time(tree->Path("a.txt"), time);
  tree->File("b.bin", "longer now than it was, and other bytes as well " + std::string(80, 'q'));
  tree->Dir("moved");
  fs::rename(tree->Path("sub/c.dat"), tree->Path("moved/c.dat"));
  fs::remove(tree->Path("sub/d.txt"));
  tree->File("sub/new.txt", "new");
  SyncTree(*tree);
  return {{"a.txt", "corrupted"},
          {"b.bin", "changed"},
          {"sub/c.dat", "moved"},
          {"sub/d.txt", "missing"},
          {"sub/new.txt", "new"}};
}

QAbstractItemModel* Table(TViv050* w) { return Find<QTableView>(w, "tvAudit")->model(); }

void SelectList(TViv050* w, const TempTree& out, const std::string& name) {
  auto* box = Find<FileBox>(w, "bFil");
  box->SetFolder(out.root());
  const std::vector<std::string>& names = box->names();
  box->setCurrentRow(static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin()));
}

bool AuditShown(TViv050* w) {
  return Find<QTabWidget>(w, "pcCln")->currentIndex() == TViv050::kPageAudit;
}

// The column headed "Reason"; -1 when there is none.
int ReasonColumn(const QAbstractItemModel* table) {
  for (int c = 0; c < table->columnCount(); ++c) {
    if (table->headerData(c, Qt::Horizontal).toString() == "Reason") return c;
  }
  return -1;
}

// The rows the table shows, as "class path".
std::vector<std::string> Rows(TViv050* w) {
  std::vector<std::string> rows;
  QAbstractItemModel* model = Table(w);
  for (int r = 0; r < model->rowCount(); ++r) {
    rows.push_back(model->index(r, 0).data().toString().toStdString() + " " +
                   model->index(r, 1).data().toString().toStdString());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string SaveReport(AppEnv* env, TViv050* w, const std::string& file) {
  env->files.Answer(file);
  QTest::mouseClick(Find<QPushButton>(w, "bcAudSave"), Qt::LeftButton);
  return TempTree::Read(file);
}

// A report's second line, "Date: yyyy-mm-dd hh:nn:ss", as "Date: -": the two front ends
// compare at different seconds. Anything else in that line stays and shows.
std::string WithoutDate(std::string report) {
  const size_t start = report.find('\n') + 1;
  const size_t end = report.find('\n', start);
  const std::string line = report.substr(start, end - start);
  const bool date = line.size() == 25 && line.starts_with("Date: ") &&
                    std::all_of(line.begin() + 6, line.end(), [](char c) {
                      return (c >= '0' && c <= '9') || c == '-' || c == ' ' || c == ':';
                    });
  if (date) report.replace(start, end - start, "Date: -");
  return report;
}

// What checker-cli saves with --output for the same arguments, its date masked; the
// header it begins with is checked against its stdout and stderr as well.
std::string CliReport(const std::vector<std::string>& args, const std::string& file,
                      const std::string& title, int status) {
  const CommandResult shown = RunCommand(CHECKER_CLI_PATH, args);
  std::vector<std::string> saving = args;
  saving.insert(saving.end() - (args[0] == "verify" ? 1 : 2), {"--output", file});
  const CommandResult saved = RunCommand(CHECKER_CLI_PATH, saving);
  if (shown.exit_code != status || saved.exit_code != status || !saved.out.empty()) {
    return "checker-cli: " + shown.err + saved.err;
  }
  // Title, date, the counts of stderr, a blank line, then what stdout shows.
  const std::string report = WithoutDate(TempTree::Read(file));
  const std::string expected = title + "\nDate: -\n" + shown.err + "\n" + shown.out;
  return report == expected ? report : "not as shown: " + report + "\nbut " + expected;
}

}  // namespace

class AuditPageTest : public QObject {
  Q_OBJECT

 private slots:
  void VerifyCountsEachChangeAndSavesTheCommandLinesReport() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    const std::string list = out.Path("old.v00");
    const std::map<std::string, std::string> changes = BuildAndChange(&tree, list);
    QCOMPARE(changes.count("scan failed"), size_t{0});
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old.v00");
    Find<QAction>(w, "miFilVerify")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);

    // Eight files: four changed as the tree was, the other four unchanged; one new.
    const std::map<std::string, std::string> counts = {
        {"Unchanged", "4 files"}, {"Corrupted", "1 file"}, {"Changed", "1 file"},
        {"Moved", "1 file"},      {"Missing", "1 file"},   {"New", "1 file"},
        {"Touched", "0 files"},   {"Unreadable", "0 files"}};
    for (const auto& [name, text] : counts) {
      const std::string shown = TextOf(w, ("liAudFiles" + name).c_str());
      QVERIFY2(shown == text, (name + ": " + shown).c_str());
    }
    std::vector<std::string> expected;
    for (const auto& [path, change] : changes) expected.push_back(change + " " + tree.Path(path));
    std::sort(expected.begin(), expected.end());
    QCOMPARE(Rows(w), expected);
    QVERIFY(TempTree::Read(list).find("moved/") == std::string::npos);  // never written

    // Against the path the list's scan was given.
    const std::string title =
        "Verify of " + list + " against " + tree.root().substr(0, tree.root().size() - 1);
    QCOMPARE(QString::fromStdString(TextOf(w, "liAudLists")), QString::fromStdString(title));
    QCOMPARE(WithoutDate(SaveReport(&env, w, out.Path("report.txt"))),
             CliReport({"verify", "--quiet", list}, out.Path("cli.txt"), title, 3));
    Find<QCheckBox>(w, "cbAudUnchanged")->setChecked(true);
    Find<QCheckBox>(w, "cbAudJson")->setChecked(true);
    const CommandResult json =
        RunCommand(CHECKER_CLI_PATH, {"verify", "--quiet", "--format", "jsonl", "--all", list});
    QCOMPARE(json.exit_code, 3);
    // JSON lines: one object of the report's facts, then the lines the command line shows.
    const std::string saved = SaveReport(&env, w, out.Path("report.jsonl"));
    const std::string head = "{\"report\":\"verify\",\"list\":\"" + list + "\",\"path\":\"" +
                             title.substr(title.rfind(' ') + 1) + "\",\"date\":\"";
    QVERIFY2(saved.starts_with(head), saved.c_str());
    QVERIFY2(saved.find("\"totals\":{\"unchanged\":{\"files\":4,") != std::string::npos,
             saved.c_str());
    QCOMPARE(saved.substr(saved.find('\n') + 1), json.out);
    QVERIFY(env.msg.messages().empty());
  }

  void CompareWithFiltersByClassAndText() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    const std::string old_list = out.Path("old.v00");
    const std::map<std::string, std::string> changes = BuildAndChange(&tree, old_list);
    QCOMPARE(changes.count("scan failed"), size_t{0});
    const std::string new_list = out.Path("new.v00");
    QCOMPARE(ScanTree(tree, new_list), 0);
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old.v00");
    env.files.Answer(new_list);
    QTest::mouseClick(Find<QPushButton>(w, "bcRunCompare"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);

    // The moved file shows once, by its old path.
    QCOMPARE(Table(w)->rowCount(), static_cast<int>(changes.size()));
    Find<QCheckBox>(w, "cbAudChanged")->setChecked(false);
    Find<QCheckBox>(w, "cbAudUnchanged")->setChecked(true);
    // Eight old files, each a row (the moved one too), and the new one; less the changed.
    QCOMPARE(Table(w)->rowCount(), 8 + 1 - 1);
    Enter(w, "eAudFilter", "SUB/");
    std::vector<std::string> expected;
    for (const std::string path : {"sub/c.dat", "sub/d.txt", "sub/g.log", "sub/new.txt"}) {
      const auto change = changes.find(path);
      expected.push_back((change != changes.end() ? change->second : "unchanged") + " " +
                         tree.Path(path));
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(Rows(w), expected);
    // The moved file's new path passes the filter too.
    Enter(w, "eAudFilter", "moved/");
    QCOMPARE(Rows(w), std::vector<std::string>{"moved " + tree.Path("sub/c.dat")});

    const std::string title = "Compare " + old_list + " with " + new_list;
    QCOMPARE(WithoutDate(SaveReport(&env, w, out.Path("report.txt"))),
             CliReport({"compare", "--all", old_list, new_list}, out.Path("cli.txt"), title, 3));
  }

  // A comparison that runs holds the window as a run does: it asks, goes only when told
  // to, and the window's end waits for the comparison's thread. "Yes" and "No" stop it,
  // and the page says so until it has ended.
  void CloseDuringACompareAsksAndWaitsForIt() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    tree.File("a.txt", "some bytes");
    const std::string list = out.Path("old.v00");
    QCOMPARE(ScanTree(tree, list), 0);
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old.v00");
    const auto* cancelling = Find<QLabel>(w, "liCancel");
    for (const int answer : {support::kIdCancel, support::kIdNo, support::kIdYes}) {
      env.files.Answer(list);
      env.msg.Answer(answer);
      QTest::mouseClick(Find<QPushButton>(w, "bcRunCompare"), Qt::LeftButton);
      // No event has run since the click: the comparison's end is not known yet.
      // The window never goes while its comparison runs: Yes closes it at the end.
      QVERIFY(!w->close());
      QCOMPARE(!cancelling->isHidden(), answer != support::kIdCancel);
      if (answer == support::kIdYes) QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), kAuditTimeout);
      if (answer == support::kIdCancel) QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);
      if (answer == support::kIdNo) {
        QTRY_VERIFY_WITH_TIMEOUT(Find<QPushButton>(w, "bcRunCompare")->isEnabled(),
                                 kAuditTimeout);
        QVERIFY(cancelling->isHidden());
      }
    }
    QCOMPARE(env.msg.messages().size(), size_t{3});
    QCOMPARE(env.msg.messages()[1].text,
             std::string("Thread is still active, terminate it ( as soon as possible )"));
    window.reset();
  }

  void CompareWithAListThatIsNoneSaysWhyAndShowsNothing() {
    AppEnv env;
    TempTree out;
    out.File("old.v00", "not a list\r\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old.v00");
    env.files.Answer(out.Path("old.v00"));
    QTest::mouseClick(Find<QPushButton>(w, "bcRunCompare"), Qt::LeftButton);
    QTRY_VERIFY(Find<QPushButton>(w, "bcRunCompare")->isEnabled() &&
                TextOf(w, "lInfo").find("line 1") != std::string::npos);
    QVERIFY(!AuditShown(w));
    QCOMPARE(Table(w)->rowCount(), 0);
  }

  // A list of no run names no search path: the window says so without the command line's
  // options.
  // The new lists of a verify name the volume it scans, from the window as from the
  // command line: its label and serial, as its record gives them.
  void VerifyNamesTheVolumeItScans() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    tree.File("a.txt", "a");
    fs::TVolumeInfo volume;
    if (!fs::GetVolumeInfoSx(tree.root(), &volume) || volume.serial_number == 0) {
      QSKIP("the temp folder is on a volume without a serial number");
    }
    const std::string list = out.Path("old.v00");
    QCOMPARE(ScanTree(tree, list), 0);
    SyncTree(tree);
    const std::string cli_list = out.Path("cli.v00");
    QCOMPARE(
        RunCommand(CHECKER_CLI_PATH, {"verify", "--quiet", "--write", cli_list, list}).exit_code,
        0);
    lists::RunHeader cli_header;
    const std::string cli_text = TempTree::Read(cli_list);
    QVERIFY(lists::ReadRunHeader(cli_text.substr(0, cli_text.find('\r')), &cli_header));
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old.v00");
    Find<QAction>(w, "miFilVerify")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);
    const auto* model = dynamic_cast<AuditModel*>(Table(w));
    QVERIFY(model != nullptr && model->result() != nullptr);
    const lists::RunHeader& header = model->result()->new_list.last_header();
    QCOMPARE(cli_header.serial, volume.serial_number);
    QCOMPARE(cli_header.label, volume.label);
    QCOMPARE(header.serial, volume.serial_number);
    QCOMPARE(header.label, volume.label);
  }

  void VerifyOfAListWithoutSearchPathNamesNoOption() {
    AppEnv env;
    TempTree out;
    out.File("empty.v00", "");
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "empty.v00");
    Find<QAction>(w, "miFilVerify")->trigger();
    QTRY_COMPARE(TextOf(w, "lInfo"), " " + out.Path("empty.v00") + " names no search path");
    QVERIFY(!AuditShown(w));
  }

  // A direction mark names itself in the table, its tooltips and the title; a row that is
  // not comparable says why.
  void NamesShowTheirMarksAndRowsTheirReasons() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    const std::string rlo = "\xE2\x80\xAE";
    const std::string list = out.Path("old" + rlo + ".v00");
    tree.File("keep.txt", "kept");
    tree.File("a\nb.txt", "a name with a line break");
    const std::string root = tree.root().substr(0, tree.root().size() - 1);
    // The line break is an error of the run.
    QVERIFY(RunCommand(CHECKER_CLI_PATH,
                       {"scan", "--quiet", "--list", list, "--tree", out.Path("old.t00"), root})
                .exit_code <= 1);
    tree.File("zzz" + rlo + "FDP.exe", "came later");
    SyncTree(tree);
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old" + rlo + ".v00");
    Find<QAction>(w, "miFilVerify")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);

    QCOMPARE(QString::fromStdString(TextOf(w, "liAudLists")),
             QString::fromStdString("Verify of " + out.Path("old[RLO].v00") + " against " + root));
    QCOMPARE(Find<QLabel>(w, "liAudLists")->toolTip(), Find<QLabel>(w, "liAudLists")->text());
    QAbstractItemModel* table = Table(w);
    std::vector<std::string> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
      const auto cell = [&](int c, int role = Qt::DisplayRole) {
        return table->index(r, c).data(role).toString().toStdString();
      };
      QCOMPARE(cell(1, Qt::ToolTipRole), cell(1));
      rows.push_back(cell(0) + "|" + cell(1) + "|" + cell(ReasonColumn(table)));
    }
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows, (std::vector<std::string>{
                       "new|" + tree.Path("zzz[RLO]FDP.exe") + "|",
                       "not comparable|" + tree.Path("a?b.txt") +
                           "|the name holds a line break; the list shows it as \"?\""}));
  }

  // A file the verify cannot open says the system's reason, not the list's code.
  void UnreadableFileSaysWhy() {
    if (geteuid() == 0) QSKIP("root reads every file");
    AppEnv env;
    TempTree tree;
    TempTree out;
    const std::string list = out.Path("old.v00");
    tree.File("open.txt", "anyone reads this");
    const std::string locked = tree.File("locked.txt", "nobody reads this");
    const std::string root = tree.root().substr(0, tree.root().size() - 1);
    QCOMPARE(RunCommand(CHECKER_CLI_PATH,
                        {"scan", "--quiet", "--list", list, "--tree", out.Path("old.t00"), root})
                 .exit_code,
             0);
    QCOMPARE(chmod(locked.c_str(), 0), 0);
    SyncTree(tree);
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "old.v00");
    Find<QAction>(w, "miFilVerify")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);
    QAbstractItemModel* table = Table(w);
    QCOMPARE(table->rowCount(), 1);
    const auto cell = [&](int c) { return table->index(0, c).data().toString().toStdString(); };
    QCOMPARE(cell(0) + "|" + cell(1) + "|" + cell(ReasonColumn(table)),
             "unreadable|" + locked + "|" + std::strerror(EACCES));
    chmod(locked.c_str(), 0600);
  }

  // The same tree listed at two places (a source and its backup copy) compares as
  // unchanged when paths are matched below each list's search path.
  void CompareBelowEachSearchPathFindsTheBackupUnchanged() {
    AppEnv env;
    TempTree tree;
    TempTree out;
    const std::vector<std::string> names = {"a.txt", "sub/b.bin", "sub/deeper/c.dat"};
    for (const std::string root : {"source/", "backup/"}) {
      for (size_t i = 0; i < names.size(); ++i) {
        const std::string file = tree.File(root + names[i], std::string(10 + i, char('a' + i)));
        const struct timespec times[2] = {{kBaseTime, 0}, {kBaseTime, 0}};
        QCOMPARE(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
      }
      const std::string name = std::string(root).substr(0, root.size() - 1);
      QCOMPARE(RunCommand(CHECKER_CLI_PATH, {"scan", "--quiet", "--list", out.Path(name + ".v00"),
                                             "--tree", out.Path(name + ".t00"), tree.Path(name)})
                   .exit_code,
               0);
    }
    auto window = OpenWindow();
    TViv050* w = window.get();
    SelectList(w, out, "source.v00");
    env.files.Answer(out.Path("backup.v00"));
    QTest::mouseClick(Find<QPushButton>(w, "bcRunCompare"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(AuditShown(w), kAuditTimeout);
    const std::string count = std::to_string(names.size()) + " files";
    // Matched whole, every path of the source is gone and its bytes are at another path.
    QCOMPARE(TextOf(w, "liAudFilesMoved"), count);

    // Ticked, the comparison is made again below each list's search path.
    auto* relative = Find<QCheckBox>(w, "cbAudRelative");
    QVERIFY(relative != nullptr && relative->isEnabled());
    relative->click();
    QTRY_VERIFY_WITH_TIMEOUT(TextOf(w, "liAudFilesUnchanged") == count, kAuditTimeout);
    for (const char* other : {"Missing", "New", "Moved", "Changed"}) {
      QCOMPARE(TextOf(w, (std::string("liAudFiles") + other).c_str()), std::string("0 files"));
    }
    QCOMPARE(Table(w)->rowCount(), 0);

    // A list without a search path (an empty one holds no run) says so, in the window's words.
    const std::string empty = out.File("empty.v00", "");
    env.files.Answer(empty);
    Find<QPushButton>(w, "bcRunCompare")->click();
    QTRY_COMPARE_WITH_TIMEOUT(
        TextOf(w, "lInfo"), " " + empty + " names no search path: paths cannot be matched below it",
        kAuditTimeout);
  }
};

RegisterSuite<AuditPageTest> audit_page_suite;

}  // namespace testing_support

#include "audit_page_test.moc"
