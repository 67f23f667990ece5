// Commands: list names, refused starts, cancelling, the interval of a running job,
// closing during a run, and the backups a Create makes.

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/kit/file_box.h"
#include "app/run/job_link.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "platform/files.h"
#include "suites.h"
#include "support/msg.h"
#include "support/toolkit.h"

namespace testing_support {

namespace {

constexpr int kRunTimeout = 60000;
constexpr size_t kStateColumn = 71;

void Click(TViv050* window, const char* name) {
  QTest::mouseClick(Find<QPushButton>(window, name), Qt::LeftButton);
}

bool Enabled(TViv050* window, const char* name) {
  return Find<QPushButton>(window, name)->isEnabled();
}

QColor TextColour(TViv050* window, const char* name) {
  return Find<QWidget>(window, name)->palette().color(QPalette::WindowText);
}

// A window with its list folder, a tree of `files` files as its search path and the
// custom name `name`; progress after every file.
struct Prepared {
  AppEnv env;
  TempTree tree;
  std::unique_ptr<TViv050> window;
  std::string folder;

  explicit Prepared(int files = 20, const char* name = "Vol7") {
    folder = env.dir() + "xBase/";
    platform::MakeDirs(folder);
    for (int i = 0; i < files; ++i) {
      tree.File("d" + std::to_string(i % 3) + "/f" + std::to_string(i), std::string(i * 7, 'q'));
    }
    window = OpenWindow();
    TViv050* w = window.get();
    Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(tree.root()));
    Find<QComboBox>(w, "cName")->setEditText(name);
    Click(w, "bcRun041");
    Enter(w, "eTimer", "1");
  }
  TViv050* w() const { return window.get(); }
  std::string id_list() const { return TextOf(window.get(), "lHdList"); }
  std::string tree_list() const { return TextOf(window.get(), "lHdDirs"); }
};

bool Ended(const QSignalSpy& spy) {
  return !spy.isEmpty() && spy.last().at(0).toInt() == scan::kNotifyEnd;
}

char State(const std::string& id_list) {
  const std::vector<std::string> lines = FileLines(id_list);
  return lines.empty() || lines[0].size() < kStateColumn ? '?' : lines[0][kStateColumn - 1];
}

// Starts a Create and asks to close the window at the first progress notification, the
// question answered with `answer`. Returns whether the window closed; when it stayed,
// the run has ended too. *cancelling (may be null): " CANCELLING " showed after the close.
bool CloseAtFirstProgress(Prepared* p, int answer, bool* cancelling = nullptr) {
  QSignalSpy spy(p->w()->link(), &JobLink::notified);
  bool closed = false;
  bool asked = false;
  p->env.msg.Answer(answer);
  QMetaObject::Connection c =
      QObject::connect(p->w()->link(), &JobLink::notified, p->w(), [&](int code) {
        if (code != scan::kNotifyProgress || asked) return;
        asked = true;
        closed = p->w()->close();
        if (cancelling != nullptr) *cancelling = Find<QLabel>(p->w(), "liCancel")->isVisible();
      });
  Click(p->w(), "bcRun01");
  if (!QTest::qWaitFor([&] { return closed || Ended(spy); }, kRunTimeout)) return false;
  QObject::disconnect(c);
  return closed;
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void NamesFromTheCustomNameOrTheParts() {
    AppEnv env;
    platform::MakeDirs(env.dir() + "xBase/");
    auto window = OpenWindow();
    TViv050* w = window.get();
    const std::string folder = env.dir() + "xBase/";
    // Passing through an empty name box leaves " Name" as it was: there is no name to use.
    auto* name_box = Find<QComboBox>(w, "cName");
    name_box->lineEdit()->setFocus();
    QTest::keyClick(name_box->lineEdit(), Qt::Key_Tab);
    Enter(w, "cName", "");
    QVERIFY(!Find<QCheckBox>(w, "cbName")->isChecked());
    Enter(w, "cName", "Vol7");
    QVERIFY(Find<QCheckBox>(w, "cbName")->isChecked());
    Find<QCheckBox>(w, "cbName")->setChecked(true);
    Find<QComboBox>(w, "cName")->setEditText("Vol7");
    Click(w, "bcRun041");
    QCOMPARE(TextOf(w, "lHdList"), folder + "Vol7.v00");
    QCOMPARE(TextOf(w, "lHdDirs"), folder + "Vol7.t00");

    Find<QComboBox>(w, "cName")->setEditText("  ");
    Enter(w, "eNetNam", "nas");
    Enter(w, "eLblNam", "Music");
    Enter(w, "eDirNam", "Pop");
    Enter(w, "eSerNam", "123");
    Click(w, "bcRun041");
    QCOMPARE(TextOf(w, "lHdList"), folder + "nas%Music^Pop~123.v00");

    Enter(w, "eLstExt", "");
    Enter(w, "eDirExt", "");
    QCOMPARE(TextOf(w, "lHdList"), folder + "nas%Music^Pop~123.v00");
    QCOMPARE(TextOf(w, "lHdDirs"), folder + "nas%Music^Pop~123.t00");

    Enter(w, "eLstExt", "v00");
    Enter(w, "eDirExt", "v00");
    QCOMPARE(TextOf(w, "lInfo"), std::string(" Tree and list filenames are the same"));
    QCOMPARE(TextColour(w, "lInfo"), QColor(Qt::red));
    QCOMPARE(TextColour(w, "lIdList"), QColor(Qt::red));
    QCOMPARE(TextColour(w, "lTreeFile"), QColor(Qt::red));
    Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(env.dir()));
    Click(w, "bcRun01");
    QVERIFY(!w->JobRunning());
    QVERIFY(!support::FileExistsSx(folder + "nas%Music^Pop~123.v00", 0));

    Enter(w, "eDirExt", "t00");
    QCOMPARE(TextColour(w, "lIdList"), QColor(Qt::black));
    platform::WriteWholeFile(folder + "nas%Music^Pop~123.t00", "/x/\r\n");
    Click(w, "bcRun041");
    QVERIFY(Enabled(w, "bcRun02"));
    QVERIFY(!Enabled(w, "bcRun03"));
    QCOMPARE(TextColour(w, "lHdDirs"), QColor(0x0000FF));
    QCOMPARE(TextColour(w, "lHdList"), QColor(Qt::black));
  }

  void RefusedStartsWriteNothing() {
    Prepared p;
    TViv050* w = p.w();
    const std::string id_list = p.id_list();

    Enter(w, "eTimer", "1x");
    const bool create_before = Enabled(w, "bcRun01");
    Click(w, "bcRun01");
    QCOMPARE(p.env.msg.messages().size(), size_t{1});
    QCOMPARE(p.env.msg.messages()[0].text, std::string("'1x' is not a valid integer"));
    QCOMPARE(p.env.msg.messages()[0].caption, std::string("app_tests"));
    QCOMPARE(Enabled(w, "bcRun01"), create_before);
    QVERIFY(!w->JobRunning());
    Enter(w, "eTimer", "1");

    // Every number outside its range is refused on the info line, as checker-cli does.
    const struct {
      const char* field;
      const char* given;
      const char* info;
    } kOutOfRange[] = {
        {"eThreads", "-1", " Readers must be 0 (chosen by the disk) to 64: -1"},
        {"eThreads", "65", " Readers must be 0 (chosen by the disk) to 64: 65"},
        {"eTimer", "40000", " Interval must be -32768 to 32767: 40000"},
        {"eBufPrc", "150", " Max buffer % must be 0 to 100: 150"},
        {"eBufMax", "-2", " Max buffer bytes must be -1 to 2147483647: -2"},
        {"eExpand", "-1", " Expand must be 0 to 2147483647: -1"},
        {"eMinBlk", "100", " Min block count must be 0 to 99: 100"},
    };
    for (const auto& row : kOutOfRange) {
      const std::string valid = TextOf(w, row.field);
      Enter(w, row.field, row.given);
      Click(w, "bcRun01");
      QVERIFY(!w->JobRunning());
      QCOMPARE(TextOf(w, "lInfo"), std::string(row.info));
      QCOMPARE(Find<QLabel>(w, "lInfo")->property("tag").toInt(), kInfoAlert);
      Enter(w, row.field, QString::fromStdString(valid));
    }

    for (const std::string& path : {p.tree.root() + "missing", std::string("relative/dir")}) {
      Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(path));
      Click(w, "bcRun01");
      QVERIFY(!w->JobRunning());
      QCOMPARE(Find<QLabel>(w, "lInfo")->property("tag").toInt(), kInfoAlert);
      QVERIFY(TextOf(w, "lInfo").find(path) != std::string::npos);
    }
    QVERIFY(!support::FileExistsSx(id_list, 0));
    QVERIFY(!support::FileExistsSx(p.tree_list(), 0));

    // An id list another run holds: the tree list stays as it was.
    Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(p.tree.root()));
    platform::WriteWholeFile(id_list, "held");
    platform::WriteWholeFile(p.tree_list(), "tree of the other run");
    platform::File held;
    QVERIFY(held.Open(id_list, platform::OpenMode::kReadWriteLocked));
    Click(w, "bcRun01");
    QVERIFY(!w->JobRunning());
    QVERIFY(TextOf(w, "lInfo").find("cannot open the id list") != std::string::npos);
    QCOMPARE(TempTree::Read(p.tree_list()), std::string("tree of the other run"));
  }

  void SerialDigitsReachTheHeader() {
    Prepared p(2);
    Enter(p.w(), "eSerNam", "01-23");
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    QVERIFY(FileLines(p.id_list())[0].find(" 00000 00123 ") != std::string::npos);
  }

  void CancelTwiceWithdrawsTheRequest() {
    Prepared p;
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    bool hidden = false;
    auto c = connect(p.w()->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyStart) return;
      Click(p.w(), "bcRun09");
      Click(p.w(), "bcRun09");
      hidden = !Find<QLabel>(p.w(), "liCancel")->isVisible();
    });
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    disconnect(c);
    QVERIFY(hidden);
    QCOMPARE(State(p.id_list()), 'F');
  }

  void FieldsLeftDuringARunDoNotEnableCreate() {
    Prepared p;
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    bool create_enabled = true;
    bool done = false;
    auto c = connect(p.w()->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyProgress || done) return;
      done = true;
      Enter(p.w(), "eVolPath", "xBase/");
      create_enabled = Enabled(p.w(), "bcRun01") || Enabled(p.w(), "bcRun02");
    });
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    disconnect(c);
    QVERIFY(done);
    QVERIFY(!create_enabled);
    QVERIFY(Enabled(p.w(), "bcRun01"));
  }

  void IntervalZeroStopsTheProgressNotifications() {
    Prepared p;
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    bool set = false;
    auto c = connect(p.w()->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyProgress || set) return;
      set = true;
      Enter(p.w(), "eTimer", "0");
      Click(p.w(), "bcRun08");
    });
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    disconnect(c);
    std::vector<int> codes;
    for (const QList<QVariant>& call : spy) codes.push_back(call.at(0).toInt());
    const auto first = std::find(codes.begin(), codes.end(), int{scan::kNotifyProgress});
    // The first progress, the one that hands the 0 over, then only the end.
    QVERIFY(codes.end() - first <= 3);
    QCOMPARE(codes.back(), int{scan::kNotifyEnd});
    QCOMPARE(State(p.id_list()), 'F');
  }

  void OnlyTheLastIntervalIsHandedOver() {
    Prepared p;
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    int stage = 0;
    int16_t handed = 0;
    auto c = connect(p.w()->link(), &JobLink::notified, this, [&](int code) {
      if (code != scan::kNotifyProgress) return;
      if (stage == 0) {
        Enter(p.w(), "eTimer", "500");
        Click(p.w(), "bcRun08");
        Enter(p.w(), "eTimer", "250");
        Click(p.w(), "bcRun08");
      } else if (stage == 1) {
        handed = p.w()->running_job()->interval();
      }
      ++stage;
    });
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    disconnect(c);
    QVERIFY(stage >= 2);
    QCOMPARE(handed, int16_t{250});
  }

  void FailedRunIsShownAsAFailure() {
    // A directory where the tree list should be: the run fails when it takes its lock.
    Prepared p(3, "Vol7");
    platform::MakeDirs(p.tree_list());
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    const std::string failure = TextOf(p.w(), "liFil");
    QVERIFY2(failure.rfind(" cannot open the tree list ", 0) == 0, failure.c_str());
    QCOMPARE(TextOf(p.w(), "lInfo"), failure);
    QCOMPARE(Find<QLabel>(p.w(), "lInfo")->property("tag").toInt(), kInfoAlert);

    // A directory where the id list should be is refused before anything is written.
    Prepared q(3, "Vol8");
    platform::MakeDirs(q.id_list());
    Click(q.w(), "bcRun01");
    QVERIFY(!q.w()->JobRunning());
    QVERIFY(TextOf(q.w(), "lInfo").find("cannot open the id list") != std::string::npos);
    QVERIFY(!support::FileExistsSx(q.tree_list(), 0));
  }

  void StopBeforeTheScanWritesNoList() {
    Prepared p;
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    auto c = connect(p.w()->link(), &JobLink::notified, this, [&](int code) {
      if (code == scan::kNotifyStart) p.w()->running_job()->Terminate();
    });
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    disconnect(c);
    QVERIFY(!support::FileExistsSx(p.id_list(), 0));
    QVERIFY(!support::FileExistsSx(p.tree_list(), 0));
    QVERIFY(TextOf(p.w(), "liTime2").rfind("1899", 0) != 0);
    // Stopped is not finished.
    QCOMPARE(TextOf(p.w(), "liFil"), std::string(" Cancelled"));
  }

  void CloseDuringARun() {
    {
      // No: the window stays and the run stops at its next notification.
      Prepared p;
      bool cancelling = false;
      QVERIFY(!CloseAtFirstProgress(&p, support::kIdNo, &cancelling));
      QVERIFY(cancelling);
      QVERIFY(!Find<QLabel>(p.w(), "liCancel")->isVisible());
      QVERIFY(p.w()->isVisible());
      QCOMPARE(p.env.msg.messages().size(), size_t{1});
      QCOMPARE(p.env.msg.messages()[0].text,
               std::string("Thread is still active, terminate it ( as soon as possible )"));
      QCOMPARE(p.env.msg.messages()[0].caption, std::string("Viv050- Terminate thread"));
      QCOMPARE(p.env.msg.messages()[0].flags & 0xFF, 0x23);
      QCOMPARE(State(p.id_list()), 'C');
    }
    {
      // Cancel: nothing changes.
      Prepared p;
      bool cancelling = true;
      QVERIFY(!CloseAtFirstProgress(&p, support::kIdCancel, &cancelling));
      QVERIFY(!cancelling);
      QCOMPARE(State(p.id_list()), 'F');
    }
    {
      // Yes: the run stops at its next notification and stamps its list; the window shows
      // " CANCELLING " until then and goes at the run's end, never before.
      Prepared p;
      bool cancelling = false;
      bool hidden_during_run = false;
      QObject::connect(p.w()->link(), &JobLink::notified, p.w(), [&](int code) {
        if (code != scan::kNotifyEnd && !p.w()->isVisible()) hidden_during_run = true;
      });
      QVERIFY(!CloseAtFirstProgress(&p, support::kIdYes, &cancelling));
      QVERIFY(cancelling);
      QVERIFY(!hidden_during_run);
      QTRY_VERIFY_WITH_TIMEOUT(!p.w()->isVisible(), kRunTimeout);
      const std::shared_future<scan::ScanOutcome> done = p.w()->job_done();
      QTRY_VERIFY_WITH_TIMEOUT(done.wait_for(std::chrono::seconds(0)) == std::future_status::ready,
                               kRunTimeout);
      QVERIFY(done.get().stopped);
      QCOMPARE(State(p.id_list()), 'C');
    }
  }

  void CreateBacksUpTheListsItReplaces() {
    Prepared p(3);
    QSignalSpy spy(p.w()->link(), &JobLink::notified);
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    const std::string first_ids = TempTree::Read(p.id_list());
    const std::string first_tree = TempTree::Read(p.tree_list());
    auto stamp = [](const std::string& path) {
      return QFileInfo(QString::fromStdString(path)).lastModified().toString("yyyyMMdd-hhmmss");
    };
    const std::string backups = p.env.dir() + "xxBackUp/";
    const std::string id_backup = backups + "Vol7." + stamp(p.id_list()).toStdString() + ".v00";
    const std::string tree_backup = backups + "Vol7." + stamp(p.tree_list()).toStdString() + ".t00";

    spy.clear();
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    QCOMPARE(TempTree::Read(id_backup), first_ids);
    QCOMPARE(TempTree::Read(tree_backup), first_tree);

    // " No BackUp": nothing more in the folder.
    Find<QCheckBox>(p.w(), "cOpt1")->setChecked(true);
    {
      // A write time of its own, so that a backup made by mistake would show up.
      QFile list(QString::fromStdString(p.id_list()));
      QVERIFY(list.open(QIODevice::ReadWrite));
      QVERIFY(list.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)),
                               QFileDevice::FileModificationTime));
    }
    spy.clear();
    Click(p.w(), "bcRun01");
    QTRY_VERIFY_WITH_TIMEOUT(Ended(spy), kRunTimeout);
    QCOMPARE(QDir(QString::fromStdString(backups)).entryList(QDir::Files).size(), 2);

    // A backup that cannot be written refuses the start and keeps the lists.
    Find<QCheckBox>(p.w(), "cOpt1")->setChecked(false);
    platform::WriteWholeFile(p.env.dir() + "not a folder", "x");
    Enter(p.w(), "eBackUps", "not a folder");
    const std::string before = TempTree::Read(p.id_list());
    Click(p.w(), "bcRun01");
    QVERIFY(!p.w()->JobRunning());
    QVERIFY(TextOf(p.w(), "lInfo").find("backup") != std::string::npos);
    QCOMPARE(TempTree::Read(p.id_list()), before);
  }

  void KeysFileBoxAndInfoLine() {
    AppEnv env;
    TempTree tree;
    tree.File("lists/a.v00", "x");
    tree.File("lists/b.t00", "x");
    const std::string photos = tree.Dir("Photos");
    auto window = OpenWindow();
    TViv050* w = window.get();
    auto* info = Find<QLabel>(w, "lInfo");

    Find<QComboBox>(w, "cDirPar")->setFocus();
    QCOMPARE(TextOf(w, "lInfo"), std::string(" String parmeters for directory list iteration"));
    QCOMPARE(info->property("tag").toInt(), kInfoField);
    Find<QPushButton>(w, "bcRun045")->setFocus();
    QCOMPARE(TextOf(w, "lInfo"), std::string(" Generate file name from given path"));
    QCOMPARE(info->property("tag").toInt(), kInfoButton);

    // The file box folder and mask, committed with Return and F5; F12 keeps a history.
    Enter(w, "cbPath", QString::fromStdString(tree.root() + "lists"));
    auto* box = Find<FileBox>(w, "bFil");
    QCOMPARE(box->names(), (std::vector<std::string>{"a.v00"}));
    auto* mask = Find<QComboBox>(w, "cbMask");
    mask->lineEdit()->setFocus();
    mask->setEditText("*.t00");
    QTest::keyClick(mask->lineEdit(), Qt::Key_F5);
    QCOMPARE(box->names(), (std::vector<std::string>{"b.t00"}));
    mask->setEditText("*.x");
    QTest::keyClick(mask->lineEdit(), Qt::Key_F12);
    QCOMPARE(mask->itemText(0), QString("*.x"));
    QCOMPARE(box->names(), (std::vector<std::string>{"b.t00"}));
    Enter(w, "cbMask", "");
    QCOMPARE(TextOf(w, "cbMask"), std::string("*.*"));
    QCOMPARE(box->names(), (std::vector<std::string>{"a.v00", "b.t00"}));

    // "Get": a custom name from the search path, with the separators.
    Find<QComboBox>(w, "cPath")->setEditText(QString::fromStdString(photos));
    QTest::mouseClick(Find<QPushButton>(w, "bcRun045"), Qt::LeftButton);
    QVERIFY(Find<QCheckBox>(w, "cbName")->isChecked());
    QVERIFY(TextOf(w, "cName").find("^Photos~") != std::string::npos);
  }
};

namespace {
RegisterSuite<CommandsTest> commands_suite;
}

}  // namespace testing_support

#include "commands_test.moc"
