// A first verify as a new user makes it: the file box on a fresh settings folder, the id
// list a Create wrote selected, Verify from the Run page, and what the list and report
// dialogs offer and where they open.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <string>
#include <vector>

#include "app/kit/file_box.h"
#include "app/kit/folder_picker.h"
#include "app/run/job_link.h"
#include "app_fixture.h"
#include "common/run_command.h"
#include "common/temp_tree.h"
#include "lists/list_paths.h"
#include "platform/files.h"
#include "suites.h"
#include "support/toolkit.h"

namespace testing_support {

namespace {

constexpr int kTimeout = 60000;
const std::string kAllFiles = "All files (*)";

int Page(TViv050* w) { return Find<QTabWidget>(w, "pcCln")->currentIndex(); }

// The search path chosen through its dialog; progress after every file.
void ChooseSearchPath(AppEnv* env, TViv050* w, const TempTree& tree) {
  env->folders.Answer(tree.root().substr(0, tree.root().size() - 1));
  QTest::mouseClick(Find<QPushButton>(w, "bcRun971"), Qt::LeftButton);
  Enter(w, "eTimer", "1");
}

bool Click(TViv050* w, const char* button) {
  auto* b = Find<QPushButton>(w, button);
  if (b == nullptr || !b->isEnabled()) return false;
  QTest::mouseClick(b, Qt::LeftButton);
  return true;
}

// The list the command-line program writes of `tree`, in `out`.
std::string ScanList(const TempTree& tree, const TempTree& out, const std::string& name) {
  const std::string list = out.Path(name);
  const std::string root = tree.root().substr(0, tree.root().size() - 1);
  const CommandResult result = RunCommand(
      CHECKER_CLI_PATH, {"scan", "--quiet", "--list", list, "--tree", list + ".t", root});
  return result.exit_code == 0 ? list : "";
}

}  // namespace

class FirstVerifyTest : public QObject {
  Q_OBJECT

 private slots:
  void CreateOnAFreshInstallLeadsStraightToItsVerify() {
    AppEnv env;
    TempTree tree;
    tree.File("a.txt", "apples");
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    ChooseSearchPath(&env, w, tree);
    const std::string list_folder = env.dir() + lists::kDefaultVolPath;
    auto* box = Find<FileBox>(w, "bFil");
    QVERIFY(!support::DirExistsSx(list_folder));
    QCOMPARE(box->note(), "Lists will be written to " + list_folder);

    QSignalSpy spy(w->link(), &JobLink::notified);
    QVERIFY(Click(w, "bcRun01"));
    QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd,
                             kTimeout);
    const std::string id_list = TextOf(w, "lHdList");
    QCOMPARE(id_list.substr(0, list_folder.size()), list_folder);
    QCOMPARE(box->note(), std::string());
    QCOMPARE(box->folder(), list_folder);
    QCOMPARE(TextOf(w, "cbPath"), list_folder);
    QCOMPARE(box->selectedPath(), id_list);

    QCOMPARE(Page(w), TViv050::kPageRun);
    QVERIFY(Click(w, "bcRunVerify"));
    QTRY_VERIFY_WITH_TIMEOUT(Page(w) == TViv050::kPageAudit, kTimeout);
    const std::string title = "Verify of " + id_list + " against ";
    QCOMPARE(TextOf(w, "liAudLists").substr(0, title.size()), title);
  }

  void VerifyWithNoListChosenSaysWhyOnTheRunPage() {
    AppEnv env;
    auto window = OpenWindow();
    QVERIFY(window);
    TViv050* w = window.get();
    Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageRun);
    QVERIFY(Click(w, "bcRunVerify"));
    QCOMPARE(Page(w), TViv050::kPageRun);
    const std::string why = " Select the id list to verify in the file box";
    QCOMPARE(TextOf(w, "sbInfo"), why);
    QVERIFY(Find<QLabel>(w, "sbInfo")->isVisible());
  }

  // Id lists first by the extensions the Settings page names them with, in the list folder.
  void CompareOffersIdListsFirstInTheListFolder() {
    struct Case {
      QString id_ext, tree_ext;
      std::vector<std::string> filters;
    };
    const Case cases[] = {
        {"", "", {"Id lists (*.v00)", "Tree lists (*.t00)", kAllFiles}},
        {"idl", "tdl", {"Id lists (*.idl)", "Tree lists (*.tdl)", kAllFiles}},
    };
    for (const Case& c : cases) {
      AppEnv env;
      TempTree tree;
      tree.File("a.txt", "apples");
      const std::string list_folder = env.dir() + lists::kDefaultVolPath;
      QVERIFY(platform::MakeDirs(list_folder));
      TempTree out;
      auto window = OpenWindow();
      TViv050* w = window.get();
      Enter(w, "eLstExt", c.id_ext);
      Enter(w, "eDirExt", c.tree_ext);
      auto* box = Find<FileBox>(w, "bFil");
      // Leaving an extension field shows the list folder again: leave it first.
      QApplication::setActiveWindow(w);
      QVERIFY(QTest::qWaitForWindowActive(w));
      box->setFocus();
      QTRY_VERIFY(box->hasFocus());
      const std::string list = ScanList(tree, out, "old.v00");
      QVERIFY(!list.empty());
      box->SetFolder(out.root());
      QVERIFY(box->SelectFile(list));
      QVERIFY(Click(w, "bcRunCompare"));
      QCOMPARE(env.files.choices().size(), size_t{1});
      const FileChoice& asked = env.files.choices().back();
      QCOMPARE(asked.filters, c.filters);
      QCOMPARE(asked.start, list_folder);
      QVERIFY(!asked.save);
    }
  }

  // A list opened shows selected in the file box; one its filter leaves out says so.
  void OpenListSelectsTheListInTheFileBox() {
    AppEnv env;
    TempTree tree;
    tree.File("a.txt", "apples");
    TempTree out;
    const std::string list = ScanList(tree, out, "old.v00");
    QVERIFY(!list.empty());
    const std::string list_folder = env.dir() + lists::kDefaultVolPath;
    QVERIFY(platform::MakeDirs(list_folder));
    auto window = OpenWindow();
    TViv050* w = window.get();
    env.files.Answer(list);
    w->OpenList();
    QCOMPARE(env.files.choices().back().start, list_folder);
    QCOMPARE(env.files.choices().back().filters.front(), std::string("Id lists (*.v00)"));
    auto* box = Find<FileBox>(w, "bFil");
    QCOMPARE(box->selectedPath(), list);
    QCOMPARE(TextOf(w, "cbPath"), out.root());

    const std::string other = out.File("notes.txt", "notes");
    env.files.Answer(other);
    w->OpenList();
    QCOMPARE(box->selectedPath(), list);  // the choice before stands
    QCOMPARE(TextOf(w, "sbInfo"), " " + other + " is not in the file box: its filter is *.v*");
  }

  void SaveReportSuggestsANameWithItsExtension() {
    AppEnv env;
    TempTree tree;
    tree.File("a.txt", "apples");
    TempTree out;
    const std::string old_list = ScanList(tree, out, "old.v00");
    tree.File("b.txt", "bananas");
    const std::string new_list = ScanList(tree, out, "new.v00");
    QVERIFY(!old_list.empty() && !new_list.empty());
    auto window = OpenWindow();
    TViv050* w = window.get();
    auto* box = Find<FileBox>(w, "bFil");
    box->SetFolder(out.root());
    QVERIFY(box->SelectFile(old_list));
    env.files.Answer(new_list);
    QVERIFY(Click(w, "bcRunCompare"));
    QTRY_VERIFY_WITH_TIMEOUT(Page(w) == TViv050::kPageAudit, kTimeout);

    const struct {
      bool jsonl;
      std::string start;
      std::string filter;
    } cases[] = {{false, out.Path("old-report.txt"), "Reports (*.txt)"},
                 {true, out.Path("old-report.jsonl"), "JSON lines (*.jsonl)"}};
    for (const auto& c : cases) {
      Find<QCheckBox>(w, "cbAudJson")->setChecked(c.jsonl);
      QVERIFY(Click(w, "bcAudSave"));
      const FileChoice& asked = env.files.choices().back();
      QVERIFY(asked.save);
      QCOMPARE(asked.start, c.start);
      QCOMPARE(asked.filters, (std::vector<std::string>{c.filter, kAllFiles}));
    }
  }
};

namespace {
RegisterSuite<FirstVerifyTest> first_verify_suite;
}

}  // namespace testing_support

#include "first_verify_test.moc"
