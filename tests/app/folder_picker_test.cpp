// The folder dialog itself, and the commands that set paths through it.

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/kit/folder_picker.h"
#include "app_fixture.h"
#include "common/temp_tree.h"
#include "suites.h"

namespace testing_support {

namespace {

// Acts on the folder dialog once it is shown (from inside its own loop).
void OnDialog(std::function<void(QFileDialog*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(dialog);
  });
  timer->start(1);
}

void Click(TViv050* window, const char* name) {
  QTest::mouseClick(Find<QPushButton>(window, name), Qt::LeftButton);
}

}  // namespace

class FolderPickerTest : public QObject {
  Q_OBJECT

 private slots:
  void RealDialogReturnsTheChosenFolder() {
    TempTree tree;
    const std::string chosen = tree.Dir("chosen");
    QString title;
    Qt::WindowModality modality = Qt::NonModal;
    OnDialog([&](QFileDialog* dialog) {
      title = dialog->windowTitle();
      modality = dialog->windowModality();
      dialog->setDirectory(QString::fromStdString(chosen));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    std::string path = "old";
    QVERIFY(BrowseFolderSx("Set Search Path", tree.root(), &path));
    QCOMPARE(path, chosen.substr(0, chosen.size() - 1));
    QCOMPARE(title, QString("Set Search Path"));
    QCOMPARE(modality, Qt::ApplicationModal);

    OnDialog([](QFileDialog* dialog) { dialog->reject(); });
    QVERIFY(!BrowseFolderSx("Set backup path", "", &path));
    QCOMPARE(path, std::string());
  }

  void PseudoFileSystemsAreNotOffered() {
    QVERIFY(IsPseudoFileSystem("proc", "/proc"));
    QVERIFY(IsPseudoFileSystem("cgroup2", "/sys/fs/cgroup"));
    QVERIFY(IsPseudoFileSystem("tmpfs", "/run/user/1000"));
    QVERIFY(IsPseudoFileSystem("selinuxfs", "/selinux"));  // known to the walk
    QVERIFY(!IsPseudoFileSystem("tmpfs", "/tmp"));
    QVERIFY(!IsPseudoFileSystem("ext4", "/media/usb"));
    QVERIFY(!IsPseudoFileSystem("vfat", "/boot/efi"));
  }

  void SearchPathDialogSetsThePathAndItsParts() {
    AppEnv env;
    TempTree tree;
    const std::string dir = tree.Dir("Photos 2020");
    auto window = OpenWindow();
    Find<QCheckBox>(window.get(), "cbName")->setChecked(true);
    env.folders.Answer(dir.substr(0, dir.size() - 1));
    Click(window.get(), "bcRun971");
    QCOMPARE(env.folders.captions(), std::vector<std::string>{"Set Search Path"});
    QCOMPARE(TextOf(window.get(), "cPath"), dir.substr(0, dir.size() - 1));
    QVERIFY(!Find<QCheckBox>(window.get(), "cbName")->isChecked());
    // The directory part joins the directories below the mount point.
    QVERIFY(TextOf(window.get(), "eDirNam").find("Photos 2020") != std::string::npos);
    QVERIFY(!TextOf(window.get(), "lHdList").empty());
    // The button's hint shows while the pointer is over it; then why Continue is off
    // comes back.
    auto* button = Find<QPushButton>(window.get(), "bcRun971");
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    QCOMPARE(TextOf(window.get(), "lInfo"), " " + button->toolTip().toStdString());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QCOMPARE(TextOf(window.get(), "lInfo"), " Continue is off: no tree list of an earlier run: " +
                                                TextOf(window.get(), "lHdDirs"));
  }

  void ListFolderDialogStoresPathsBelowTheBaseRelative() {
    AppEnv env;
    TempTree tree;
    const std::string base = tree.Dir("srv/app");
    tree.Dir("srv/app/lists");
    tree.Dir("srv/apple/x");
    tree.Dir("elsewhere");
    auto window = OpenWindow();
    Enter(window.get(), "eAppPath", QString::fromStdString(base.substr(0, base.size() - 1)));

    env.folders.Answer(base + "lists");
    Click(window.get(), "bcRun974");
    QCOMPARE(TextOf(window.get(), "eVolPath"), std::string("lists/"));
    QCOMPARE(TextOf(window.get(), "ldPath"), base + "lists/");

    env.folders.Answer(tree.root() + "elsewhere");
    Click(window.get(), "bcRun975");
    QCOMPARE(TextOf(window.get(), "eDirPath"), tree.root() + "elsewhere/");

    env.folders.Answer(tree.root() + "srv/apple/x");
    Click(window.get(), "bcRun976");
    QCOMPARE(TextOf(window.get(), "eBackUps"), tree.root() + "srv/apple/x/");

    // Cancelled, and the same text again: nothing changes.
    Click(window.get(), "bcRun974");
    QCOMPARE(TextOf(window.get(), "eVolPath"), std::string("lists/"));
    env.folders.Answer(base + "lists");
    Click(window.get(), "bcRun974");
    QCOMPARE(TextOf(window.get(), "eVolPath"), std::string("lists/"));
    QCOMPARE(env.folders.captions(),
             (std::vector<std::string>{"Set Volume list-file path", "Set Directory list-file Path",
                                       "Set backup path", "Set Volume list-file path",
                                       "Set Volume list-file path"}));
  }

  // A ">>" opens at the folder its field names, or the nearest one above that exists.
  void PickersOpenAtTheFieldsFolderAndKeepTheBaseFolderItself() {
    AppEnv env;
    TempTree tree;
    tree.Dir("have/sub");
    const std::string base = tree.root().substr(0, tree.root().size() - 1);
    auto window = OpenWindow();
    TViv050* w = window.get();
    Enter(w, "eAppPath", QString::fromStdString(tree.root()));
    const std::pair<const char*, std::string> fields[] = {{"have/sub/", base + "/have/sub"},
                                                          {"have/gone/deeper/", base + "/have"},
                                                          {"/", "/"},
                                                          {"/nowhere at all/", "/"}};
    for (const auto& [text, start] : fields) {
      Enter(w, "eVolPath", text);
      Click(w, "bcRun974");
      QCOMPARE(env.folders.starts().back(), start);
    }
    env.folders.Answer(base);
    Click(w, "bcRun975");
    QCOMPARE(TextOf(w, "eDirPath"), std::string("./"));
  }
};

namespace {
RegisterSuite<FolderPickerTest> folder_picker_suite;
}

}  // namespace testing_support

#include "folder_picker_test.moc"
