// Verify and compare from the window: the Audit page's counts and filters, and its saved
// report against what checker-cli writes for the same lists.

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/file_box.h"
#include "app_fixture.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "suites.h"

namespace testing_support {

namespace {

constexpr int kAuditTimeout = 60000;

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
// Returns the classes the changes must give, by path below the root.
std::map<std::string, std::string> BuildAndChange(TempTree* tree, const std::string& list) {
  const std::vector<std::string> names = {"a.txt",   "b.bin",     "sub/c.dat", "sub/d.txt",
                                          "e f.txt", "Äpfel.txt", "sub/g.log", "empty"};
  for (size_t i = 0; i < names.size(); ++i) {
    tree->File(names[i], names[i] == "empty" ? "" : std::string(100 + 7 * i, char('a' + i)));
  }
  const std::string root = tree->root().substr(0, tree->root().size() - 1);
  const CommandResult scan = RunCommand(
      CHECKER_CLI_PATH, {"scan", "--quiet", "--list", list, "--tree", list + ".t", root});
  if (scan.exit_code != 0) return {{"scan failed", scan.err}};

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
        {"Unchanged", "4 files"}, {"Corrupted", "1 files"}, {"Changed", "1 files"},
        {"Moved", "1 files"},     {"Missing", "1 files"},   {"New", "1 files"},
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

    const CommandResult text = RunCommand(CHECKER_CLI_PATH, {"verify", "--quiet", list});
    QCOMPARE(text.exit_code, 3);
    QCOMPARE(SaveReport(&env, w, out.Path("report.txt")), text.out);
    Find<QCheckBox>(w, "cbAudUnchanged")->setChecked(true);
    Find<QCheckBox>(w, "cbAudJson")->setChecked(true);
    const CommandResult json =
        RunCommand(CHECKER_CLI_PATH, {"verify", "--quiet", "--format", "jsonl", "--all", list});
    QCOMPARE(json.exit_code, 3);
    QCOMPARE(SaveReport(&env, w, out.Path("report.jsonl")), json.out);
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
    const std::string root = tree.root().substr(0, tree.root().size() - 1);
    QCOMPARE(RunCommand(CHECKER_CLI_PATH,
                        {"scan", "--quiet", "--list", new_list, "--tree", new_list + ".t", root})
                 .exit_code,
             0);
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

    const CommandResult cli =
        RunCommand(CHECKER_CLI_PATH, {"compare", "--all", old_list, new_list});
    QCOMPARE(cli.exit_code, 3);
    QCOMPARE(SaveReport(&env, w, out.Path("report.txt")), cli.out);
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
};

RegisterSuite<AuditPageTest> audit_page_suite;

}  // namespace testing_support

#include "audit_page_test.moc"
