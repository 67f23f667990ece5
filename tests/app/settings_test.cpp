// Settings: defaults of a first start, the round trip through the ini files, bad stored
// values, and the folder display derived from them.

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>

#include "app/kit/controls.h"
#include "app/kit/file_box.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "platform/files.h"
#include "suites.h"
#include "support/sys_init.h"
#include "support/text.h"

namespace testing_support {

namespace {

const char* const kFieldNames[] = {"eNetNam", "eLblNam", "eDirNam", "eSerNam", "eTimer",
                                   "eExpand", "eBufPrc", "eBufMax", "eThreads", "eMinBlk", "eLstExt",
                                   "eDirExt", "eAppPath", "eVolPath", "eDirPath", "eBackUps"};
const char* const kBoxNames[] = {"cPath", "cName", "cDirPar", "cLstPar", "cbPath", "cbMask"};
const char* const kCheckNames[] = {"cbName", "cbDirs", "cOpt1", "cOpt2", "cOpt4", "cOpt8"};

bool Checked(TViv050* window, const char* name) {
  return Find<QCheckBox>(window, name)->isChecked();
}

int Page(TViv050* window) { return Find<QTabWidget>(window, "pcCln")->currentIndex(); }

// The keys of a section in file order, without the numbered history keys.
std::vector<std::string> Keys(const std::string& file, const std::string& section) {
  std::vector<std::string> keys;
  bool inside = false;
  for (const std::string& line : FileLines(file)) {
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + section + "]";
      continue;
    }
    const size_t equal = line.find('=');
    if (!inside || equal == std::string::npos) continue;
    const std::string key = line.substr(0, equal);
    if (key.find('#') == std::string::npos) keys.push_back(key);
  }
  return keys;
}

std::string Value(const std::string& file, const std::string& key) {
  for (const std::string& line : FileLines(file)) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "<missing>";
}

QStringList Items(TViv050* window, const char* name) {
  auto* box = Find<QComboBox>(window, name);
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartShowsEveryDefault() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    for (const char* name : {"cPath", "cName", "eNetNam", "eLblNam", "eDirNam", "eSerNam"}) {
      QCOMPARE(TextOf(w, name), std::string());
    }
    QCOMPARE(Find<TSplitterSx>(w, "spNetSep")->caption(), QString("%"));
    QCOMPARE(Find<TSplitterSx>(w, "spDirSep")->caption(), QString("^"));
    QCOMPARE(Find<TSplitterSx>(w, "spSerSep")->caption(), QString("~"));
    QCOMPARE(TextOf(w, "eTimer"), std::string("1000"));
    QCOMPARE(TextOf(w, "eExpand"), std::string("100000"));
    QCOMPARE(TextOf(w, "eBufPrc"), std::string("30"));
    QCOMPARE(TextOf(w, "eBufMax"), std::string("512000"));
    QCOMPARE(TextOf(w, "eThreads"), std::string("0"));
    QCOMPARE(TextOf(w, "eMinBlk"), std::string("4"));
    QCOMPARE(TextOf(w, "lMinBlk"), std::string(" x 15 = 60 chars "));
    QCOMPARE(TextOf(w, "cbMask"), std::string("*.v*"));
    QCOMPARE(TextOf(w, "cDirPar"),
             std::string("/EP recycler|recycled|temp|tmp|system volume information|#recycled"));
    QCOMPARE(TextOf(w, "cLstPar"), std::string("/EF thumbs.db|desktop.ini|*.tmp"));
    QCOMPARE(TextOf(w, "eAppPath"), env.dir());
    QCOMPARE(TextOf(w, "eVolPath"), std::string("xBase/"));
    QCOMPARE(TextOf(w, "eDirPath"), std::string("xData/"));
    QCOMPARE(TextOf(w, "eBackUps"), std::string("xxBackUp/"));
    QCOMPARE(TextOf(w, "eLstExt"), std::string("v00"));
    QCOMPARE(TextOf(w, "eDirExt"), std::string("t00"));
    for (const char* name : kCheckNames) QVERIFY(!Checked(w, name));
    QCOMPARE(Page(w), int{TViv050::kPageSettings});
    QVERIFY(!Find<QPushButton>(w, "bcRun01")->isEnabled());
    QVERIFY(!Find<QPushButton>(w, "bcRun02")->isEnabled());
    QCOMPARE(w->windowTitle(), QString("Checker"));

    Enter(w, "eMinBlk", "5");
    QCOMPARE(TextOf(w, "lMinBlk"), std::string(" x 15 = 75 characters "));
  }

  void EverySettingComesBack() {
    AppEnv env;
    TempTree tree;
    tree.Dir("lists");
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> boxes;
    QList<int> sizes;
    {
      auto window = OpenWindow();
      TViv050* w = window.get();
      int n = 0;
      for (const char* name : kFieldNames) {
        fields[name] = std::to_string(++n) + "v";
        Enter(w, name, QString::fromStdString(fields[name]));
      }
      fields["eAppPath"] = tree.root();
      Enter(w, "eAppPath", QString::fromStdString(tree.root()));
      for (const char* name : kBoxNames) {
        boxes[name] = std::string("text of ") + name;
        Find<QComboBox>(w, name)->setEditText(QString::fromStdString(boxes[name]));
      }
      for (const char* name : kCheckNames) Find<QCheckBox>(w, name)->setChecked(true);
      auto* names = Find<QSplitter>(w, "spNames");
      names->setSizes({70, 90, 187, 58});
      sizes = names->sizes();
      Find<QTabWidget>(w, "pcCln")->setCurrentIndex(TViv050::kPageRun);
      QVERIFY(w->close());
    }
    QCOMPARE(Value(env.ini_file(), "UseName"), std::string("1"));
    QCOMPARE(Value(env.ini_file(), "cbDirs"), std::string("1"));
    QCOMPARE(Value(env.ini_file(), "Options"), std::string("15"));
    QCOMPARE(Keys(env.ini_file(), "Viv050"),
             (std::vector<std::string>{
                 "Left", "Top", "Right", "Bottom", "MinX", "MinY", "MaxX", "MaxY", "Show",
                 "LastPage", "Path", "UseName", "Name", "NetNam", "NetSep", "LblNam", "DirSep",
                 "DirNam", "SerSep", "SerNam", "NetNam.Width", "LblNam.Width", "SerNam.Width",
                 "Options", "cbDirs", "DirPar", "LstPar", "Timer", "Expand", "BufPrc", "BufMax",
                 "Threads", "MinBlocks", "FileBoxPath", "FileBoxMask", "Edit1Second",
                 "Edit1Vertical", "Edit1Split", "Edit2Split", "ColumnstvAudit",
                 "ColumnstvFndCopies", "ColumnstvFndResults", "ColumnstvFndVolumes",
                 "ColumnstvProblems", "FileBoxWidth"}));
    QCOMPARE(Keys(env.base_file(), "NorvelBase"),
             (std::vector<std::string>{"AppPath", "VolPath", "DirPath", "BackUps", "LstExt",
                                       "DirExt"}));

    auto window = OpenWindow();
    TViv050* w = window.get();
    for (const auto& [name, text] : fields) QCOMPARE(TextOf(w, name.c_str()), text);
    for (const auto& [name, text] : boxes) QCOMPARE(TextOf(w, name.c_str()), text);
    for (const char* name : kCheckNames) QVERIFY(Checked(w, name));
    const QList<int> again = Find<QSplitter>(w, "spNames")->sizes();
    QCOMPARE(again[0], sizes[0]);
    QCOMPARE(again[1], sizes[1]);
    QCOMPARE(again[3], sizes[3]);
    QCOMPARE(Page(w), int{TViv050::kPageRun});
  }

  void OptionsAndHistoriesAsStored() {
    AppEnv env;
    platform::WriteWholeFile(env.ini_file(),
                             "[Viv050]\nOptions=13\nUseName=0\ncbDirs=1\nPath=/b\n"
                             "Path#0=/a\nPath#1=  spaced item  \nPath#2=/c\nPath#3=/d\n"
                             "Path#4=/e\n");
    {
      auto window = OpenWindow();
      TViv050* w = window.get();
      QVERIFY(Checked(w, "cOpt1"));
      QVERIFY(!Checked(w, "cOpt2"));
      QVERIFY(Checked(w, "cOpt4"));
      QVERIFY(Checked(w, "cOpt8"));
      QVERIFY(!Checked(w, "cbName"));
      QVERIFY(Checked(w, "cbDirs"));
      QCOMPARE(TextOf(w, "cPath"), std::string("/b"));
      QCOMPARE(Items(w, "cPath"), QStringList({"/a", "spaced item", "/c", "/d", "/e"}));
      auto* box = Find<QComboBox>(w, "cPath");
      while (box->count() > 2) box->removeItem(2);
      QVERIFY(w->close());
    }
    const std::vector<std::string> lines = FileLines(env.ini_file());
    for (const char* gone : {"Path#2=", "Path#3=", "Path#4="}) {
      QVERIFY(std::none_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(gone, 0) == 0; }));
    }
    QCOMPARE(Value(env.ini_file(), "Path#1"), std::string("spaced item"));
    QCOMPARE(Value(env.ini_file(), "UseName"), std::string("0"));
  }

  void LastPageChoosesTheStartPage() {
    AppEnv env;
    const std::pair<const char*, int> cases[] = {
        {"0", TViv050::kPageRun}, {"3", TViv050::kPageEdit1}, {"-1", TViv050::kPageSettings}};
    for (const auto& [stored, page] : cases) {
      platform::WriteWholeFile(env.ini_file(), std::string("[Viv050]\nLastPage=") + stored + "\n");
      auto window = OpenWindow();
      QCOMPARE(Page(window.get()), page);
      window->close();
    }
  }

  void BadNumberIsReportedAndTheRestStillLoads() {
    AppEnv env;
    platform::WriteWholeFile(env.ini_file(),
                             "[Viv050]\nOptions=abc\ncbDirs=1\nDirPar=/EP x\nDirPar#0=/EP x\n"
                             "Timer=250\nFileBoxMask=*.t00\n");
    platform::WriteWholeFile(env.base_file(), "[NorvelBase]\nVolPath=mine/\nLstExt=w01\n");
    auto window = OpenWindow();
    TViv050* w = window.get();
    QCOMPARE(env.msg.messages().size(), size_t{1});
    QVERIFY(env.msg.messages()[0].text.find("abc") != std::string::npos);
    QVERIFY(Checked(w, "cbDirs"));
    QCOMPARE(TextOf(w, "eTimer"), std::string("250"));
    QCOMPARE(Items(w, "cDirPar"), QStringList({"/EP x"}));
    QCOMPARE(TextOf(w, "cbMask"), std::string("*.t00"));
    QCOMPARE(Find<FileBox>(w, "bFil")->mask(), std::string("*.t00"));
    QCOMPARE(TextOf(w, "eVolPath"), std::string("mine/"));
    QCOMPARE(TextOf(w, "eLstExt"), std::string("w01"));
    QVERIFY(!Checked(w, "cOpt1"));
  }

  void BaseFileKeepsWhatIsNotOurs() {
    AppEnv env;
    const std::string before =
        "; shared by the family\n[Other]\nkey=1      ; note\n\n[NorvelBase]\nExtra=keep\n"
        "LstExt=v00\n[Last]\nx=y\n";
    platform::WriteWholeFile(env.base_file(), before);
    {
      auto window = OpenWindow();
      Enter(window.get(), "eLstExt", "v07");
      QVERIFY(window->close());
    }
    const std::string after = TempTree::Read(env.base_file());
    QCOMPARE(after.substr(0, after.find("[NorvelBase]")),
             std::string("; shared by the family\n[Other]\nkey=1      ; note\n\n"));
    QVERIFY(after.find("[NorvelBase]\nExtra=keep\nLstExt=v07\n") != std::string::npos);
    QVERIFY(after.find("[Last]\nx=y\n") != std::string::npos);
  }

  void MissingListFolderIsShownAndClearsWhenItExists() {
    AppEnv env;
    auto window = OpenWindow();
    TViv050* w = window.get();
    auto* label = Find<QLabel>(w, "lVolPath");
    auto* folder = Find<QLabel>(w, "ldPath");
    QVERIFY(label->autoFillBackground());
    QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(folder->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(TextOf(w, "ldPath"), env.dir() + "xBase/");

    platform::MakeDirs(env.dir() + "xBase/");
    Enter(w, "eVolPath", "xBase/");
    QVERIFY(!label->autoFillBackground());
    QCOMPARE(folder->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(label->toolTip().toStdString(), env.dir() + "xBase/");
    QCOMPARE(Find<QLabel>(w, "lPathsFor")->palette().color(QPalette::WindowText),
             QColor(Qt::black));
  }
};

namespace {
RegisterSuite<SettingsTest> settings_suite;
}

}  // namespace testing_support

#include "settings_test.moc"
