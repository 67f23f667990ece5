// Takes the README's pictures of the desktop program: the real window, a real scan of a
// small tree, on whatever Qt platform the caller chose (offscreen or a display).
// Usage: checker_screenshots OUTPUT_DIR (with CHECKER_APPDIR pointing at a fresh folder).

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/find/find_model.h"
#include "app/find/find_page.h"
#include "app/kit/file_box.h"
#include "app/kit/folder_picker.h"
#include "app/main_window.h"
#include "app/run/job_link.h"
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

// One change of each common kind since the run: other bytes at the same size and time,
// a longer file, a move, a removal and a new file. Written to the disk, which verify reads.
void ChangeTree(const std::string& path) {
  namespace fs = std::filesystem;
  const std::string base = path + "/";
  const std::string same = base + "Scans/IMG_4118.jpg";
  const fs::file_time_type time = fs::last_write_time(same);
  platform::WriteWholeFile(same, std::string(fs::file_size(same), 'x'));
  fs::last_write_time(same, time);
  platform::WriteWholeFile(base + "2024 Winter/IMG_4112.jpg", std::string(90000, 'w'));
  fs::rename(base + "2023 Summer/IMG_4101.jpg", base + "Scans/IMG_4101.jpg");
  fs::remove(base + "2023 Summer/Raw/IMG_4107.jpg");
  platform::WriteWholeFile(base + "2024 Winter/IMG_4200.jpg", std::string(1234, 'n'));
  sync();
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
    if (code == scan::kNotifyEnd) QTimer::singleShot(0, &loop, &QEventLoop::quit);
  });
  window->findChild<QPushButton*>("bcRun01")->click();
  loop.exec();
  QObject::disconnect(connection);
}

// Waits for one signal of the Find page, for half a minute at most.
template <typename Signal>
void WaitFor(FindPage* page, Signal signal) {
  constexpr int kWaitMs = 30000;
  QEventLoop loop;
  auto connection = QObject::connect(page, signal, &loop, &QEventLoop::quit);
  QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(connection);
}

// Chooses the row of the list of the tree at `path` in the volumes table, scrolled as a
// user finds it.
void ChooseVolume(TViv050* window, const std::string& path) {
  auto* volumes = window->findChild<QTableView*>("tvFndVolumes");
  for (int r = 0; r < volumes->model()->rowCount(); ++r) {
    const QString search = volumes->model()->index(r, VolumesModel::kSearchPath).data().toString();
    if (!search.startsWith(QString::fromStdString(path))) continue;
    volumes->setCurrentIndex(volumes->model()->index(r, VolumesModel::kList));
  }
}

// "Scrub now" on the volume of the tree at `path`, run after run (each reads the files
// checked longest ago) until one finds a problem; false when none does.
bool ScrubUntilFound(TViv050* window, const std::string& path) {
  constexpr int kMostRuns = 30;
  auto* scrub = window->findChild<QPushButton*>("bcFndScrub");
  auto* pages = window->findChild<QTabWidget*>("pcCln");
  for (int run = 0; run < kMostRuns; ++run) {
    if (pages->currentIndex() != TViv050::kPageFind) {
      pages->setCurrentIndex(TViv050::kPageFind);
      WaitFor(window->find_page(), &FindPage::refreshed);
    }
    ChooseVolume(window, path);
    if (!scrub->isEnabled()) return false;
    scrub->click();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (window->findChild<QLabel*>("liFil")->text().startsWith("scrub ")) loop.quit();
    });
    poll.start(50);
    loop.exec();
    if (window->findChild<QLabel*>("liError")->text() != "0") return true;
  }
  return false;
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
  // The catalogue's index goes beside the settings, not into the user's cache.
  setenv("XDG_CACHE_HOME", (platform::GetEnv("CHECKER_APPDIR") + "/cache").c_str(), 1);
  // And the scrub history too, not into the user's data.
  setenv("XDG_DATA_HOME", (platform::GetEnv("CHECKER_APPDIR") + "/data").c_str(), 1);
  std::unique_ptr<TViv050> window = StartDesktop();
  if (window == nullptr) return 1;
  // SCREENSHOT_SIZE=WxH takes the pictures at another window size (800x600, 1920x1080).
  int width = kWidth;
  int height = kHeight;
  const std::string size = platform::GetEnv("SCREENSHOT_SIZE");
  if (!size.empty() && std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "SCREENSHOT_SIZE: WIDTHxHEIGHT, not %s\n", size.c_str());
    return 2;
  }
  window->setGeometry(0, 0, width, height);
  platform::MakeDirs(support::SxAppDir + "xBase/");
  const std::string path = BuildTree(support::SxAppDir);

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
    SetFileHandler([list](const FileChoice&, std::string* file) {
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

  // The tree changes, and the run's id list is verified from the file box.
  ChangeTree(path);
  const std::string list = window->findChild<QLabel*>("lHdList")->text().toStdString();
  auto* box = window->findChild<FileBox*>("bFil");
  box->SetFolder(list.substr(0, list.rfind('/') + 1));
  const std::vector<std::string>& names = box->names();
  const auto at = std::find(names.begin(), names.end(), list.substr(list.rfind('/') + 1));
  box->setCurrentRow(static_cast<int>(at - names.begin()));
  QEventLoop verify_loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &verify_loop, [&] {
    if (pages->currentIndex() == TViv050::kPageAudit) verify_loop.quit();
  });
  poll.start(50);
  window->findChild<QPushButton*>("bcRunVerify")->click();
  verify_loop.exec();
  if (!Save(window.get(), out + "audit-page.png")) return 1;
  pages->setCurrentIndex(TViv050::kPageSettings);
  window->findChild<QComboBox*>("cPath")->setEditText(
      QString::fromStdString(BuildOddTree(support::SxAppDir)));
  window->ExecuteCommand(44);
  RunCreate(window.get());
  if (!Save(window.get(), out + "run-page-problems.png")) return 1;

  // The lists of both runs, searched by part of a name, one result chosen.
  FindPage* find = window->find_page();
  pages->setCurrentIndex(TViv050::kPageFind);
  WaitFor(find, &FindPage::refreshed);
  WaitFor(find, &FindPage::searched);  // everything, as the page opens
  window->findChild<QLineEdit*>("eFndName")->setText("IMG_41");
  WaitFor(find, &FindPage::searched);
  auto* results = window->findChild<QTableView*>("tvFndResults");
  results->setCurrentIndex(results->model()->index(2, 0));
  WaitFor(find, &FindPage::copiesShown);
  if (!ScrubUntilFound(window.get(), path)) return 1;
  pages->setCurrentIndex(TViv050::kPageFind);
  WaitFor(find, &FindPage::refreshed);
  ChooseVolume(window.get(), path);
  if (!Save(window.get(), out + "find-page.png")) return 1;

  window->close();
  return 0;
}
