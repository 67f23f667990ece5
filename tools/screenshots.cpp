// Takes the README's pictures of the desktop program: the real window, a real scan of a
// small tree, on whatever Qt platform the caller chose (offscreen or a display).
// Usage: checker_screenshots OUTPUT_DIR (with CHECKER_APPDIR pointing at a fresh folder).

#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QLabel>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/folder_picker.h"
#include "app/job_link.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/sys_init.h"

namespace {

constexpr int kWidth = 1048;
constexpr int kHeight = 683;

// A few folders with files of assorted sizes to catalogue.
std::string BuildTree(const std::string& root) {
  const std::string base = root + "Photos/";
  const char* folders[] = {"2023 Summer/", "2023 Summer/Raw/", "2024 Winter/", "Scans/"};
  int n = 0;
  for (const char* folder : folders) {
    platform::MakeDirs(base + folder);
    for (int i = 0; i < 6; ++i, ++n) {
      platform::WriteWholeFile(base + folder + "IMG_" + std::to_string(4100 + n) + ".jpg",
                               std::string(40000 + 7919 * n, static_cast<char>('a' + n % 26)));
    }
  }
  return base.substr(0, base.size() - 1);
}

// Names a run reports as problems even to root: line breaks, which a list cannot hold.
// One name turns its text around with a direction mark, as a disguised program would.
std::string BuildOddTree(const std::string& root) {
  const std::string base = root + "Downloads/";
  platform::MakeDirs(base + "Mail attachments/");
  platform::WriteWholeFile(base + "invoice.pdf", std::string(52000, 'p'));
  platform::WriteWholeFile(base + "Mail attachments/zzz\u202EFDP.exe", std::string(9000, 'x'));
  platform::WriteWholeFile(base + "Mail attachments/notes\nfrom the meeting.txt", "notes");
  platform::MakeDirs(base + "old\nphotos/");
  platform::WriteWholeFile(base + "old\nphotos/IMG_0001.jpg", std::string(30000, 'j'));
  return base.substr(0, base.size() - 1);
}

// Runs Create from the Settings page as it stands and waits for the end.
void RunCreate(TViv050* window) {
  QEventLoop loop;
  auto connection = QObject::connect(window->link(), &JobLink::notified, &loop, [&loop](int code) {
    if (code == kNotifyEnd) QTimer::singleShot(0, &loop, &QEventLoop::quit);
  });
  window->findChild<QPushButton*>("bcRun01")->click();
  loop.exec();
  QObject::disconnect(connection);
}

bool Save(QWidget* window, const std::string& file) {
  QApplication::processEvents();
  return window->grab().save(QString::fromStdString(file), "PNG");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: checker_screenshots OUTPUT_DIR\n");
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  platform::WriteWholeFile(platform::GetEnv("CHECKER_APPDIR") + "/Quorvane.Ini", "");
  std::unique_ptr<TViv050> window = StartDesktop();
  if (window == nullptr) return 1;
  window->setGeometry(0, 0, kWidth, kHeight);
  platform::MakeDirs(SxAppDir + "xBase/");
  const std::string path = BuildTree(SxAppDir);

  auto* pages = window->findChild<QTabWidget*>("pcCln");
  pages->setCurrentIndex(TViv050::kPageSettings);
  window->findChild<QComboBox*>("cPath")->setEditText(QString::fromStdString(path));
  window->ExecuteCommand(44);
  window->findChild<QLineEdit*>("eTimer")->setText("50");
  if (!Save(window.get(), out + "settings-page.png")) return 1;

  RunCreate(window.get());
  if (!Save(window.get(), out + "run-page.png")) return 1;

  // The lists of the run in the two editors of Edit1, each opened through its own menu.
  pages->setCurrentIndex(TViv050::kPageEdit1);
  const char* lists[][2] = {{"sEdt11", "lHdList"}, {"sEdt12", "lHdDirs"}};
  for (const auto& [editor_name, label] : lists) {
    const std::string list = window->findChild<QLabel*>(label)->text().toStdString();
    SetFileHandler([list](bool, const std::string&, const std::string&, std::string* file) {
      *file = list;
      return true;
    });
    auto* editor = window->findChild<QWidget*>(editor_name);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(editor, &enter);
    window->ExecuteCommand(961);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(editor, &leave);
  }
  SetFileHandler(nullptr);
  if (!Save(window.get(), out + "edit1-page.png")) return 1;

  pages->setCurrentIndex(TViv050::kPageSettings);
  window->findChild<QComboBox*>("cPath")->setEditText(
      QString::fromStdString(BuildOddTree(SxAppDir)));
  window->ExecuteCommand(44);
  RunCreate(window.get());
  if (!Save(window.get(), out + "run-page-problems.png")) return 1;

  window->close();
  return 0;
}
