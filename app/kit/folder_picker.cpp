#include "app/kit/folder_picker.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QUrl>
#include <set>
#include <utility>

#include "editor/visible_marks.h"
#include "fs/dir_iter.h"
#include "platform/volume.h"
#include "support/toolkit.h"

namespace {

FolderHandler& CurrentHandler() {
  static FolderHandler handler;
  return handler;
}

}  // namespace

FolderHandler SetFolderHandler(FolderHandler handler) {
  return std::exchange(CurrentHandler(), std::move(handler));
}

bool IsPseudoFileSystem(const std::string& fs_type, const std::string& mount_point) {
  // Kernel interfaces as the walk knows them, and images and layers no one picks as a volume.
  static const std::set<std::string> not_volumes = {"overlay", "squashfs", "ramfs"};
  if (fs::IsPseudoFileSystem(std::string_view(fs_type)) || not_volumes.count(fs_type) != 0) {
    return true;
  }
  if (fs_type == "tmpfs") {
    return mount_point == "/run" || mount_point.rfind("/run/", 0) == 0 ||
           mount_point == "/dev/shm" || mount_point.rfind("/sys/", 0) == 0;
  }
  return mount_point.rfind("/proc", 0) == 0 || mount_point.rfind("/sys", 0) == 0 ||
         mount_point.rfind("/dev", 0) == 0;
}

bool ShowFolderDialog(const std::string& caption, const std::string& start, std::string* folder) {
  QFileDialog dialog(nullptr, VisibleName(caption));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setObjectName("BrowseFolder");
  dialog.setDirectory(start.empty() ? QDir::homePath() : QFile::decodeName(start.c_str()));
  QList<QUrl> places = {QUrl::fromLocalFile(QDir::homePath()), QUrl::fromLocalFile("/")};
  platform::MountTable mounts;
  if (platform::ReadMountTable(&mounts)) {
    for (const platform::MountEntry& m : mounts) {
      if (m.mount_point == "/" || IsPseudoFileSystem(m.fs_type, m.mount_point)) continue;
      places.append(QUrl::fromLocalFile(QFile::decodeName(m.mount_point.c_str())));
    }
  }
  dialog.setSidebarUrls(places);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  *folder = QFile::encodeName(chosen.front()).toStdString();
  return true;
}

std::string NearestFolder(const std::string& path) {
  if (path.empty() || path.front() != '/') return {};
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  while (!support::DirExistsSx(folder)) {
    const size_t slash = folder.rfind('/');
    if (slash == 0 || slash == std::string::npos) return "/";
    folder.erase(slash);
  }
  return folder;
}

bool BrowseFolderSx(const std::string& caption, const std::string& root, std::string* path) {
  path->clear();
  const std::string start = NearestFolder(root);
  std::string folder;
  const FolderHandler& handler = CurrentHandler();
  const bool chosen =
      handler ? handler(caption, start, &folder) : ShowFolderDialog(caption, start, &folder);
  if (!chosen || folder.empty()) return false;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  *path = std::move(folder);
  return true;
}

namespace {

FileHandler& CurrentFileHandler() {
  static FileHandler handler;
  return handler;
}

constexpr char kFileFilter[] =
    "Text files[lst, log, ini] (*.lst *.log *.ini *.txt);;All files (*)";

bool ShowFileDialog(bool save, const std::string& caption, const std::string& preset,
                    std::string* file) {
  QFileDialog dialog(nullptr, VisibleName(caption));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setObjectName(save ? "SaveFile" : "OpenFile");
  dialog.setNameFilter(kFileFilter);
  if (!preset.empty()) {
    dialog.selectFile(QFile::decodeName(preset.c_str()));
  } else {
    dialog.setDirectory(QDir::homePath());
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  *file = QFile::encodeName(chosen.front()).toStdString();
  return true;
}

}  // namespace

FileHandler SetFileHandler(FileHandler handler) {
  return std::exchange(CurrentFileHandler(), std::move(handler));
}

bool ChooseFileSx(bool save, const std::string& caption, const std::string& preset,
                  std::string* file) {
  file->clear();
  std::string chosen;
  const FileHandler& handler = CurrentFileHandler();
  const bool ok = handler ? handler(save, caption, preset, &chosen)
                          : ShowFileDialog(save, caption, preset, &chosen);
  if (!ok || chosen.empty()) return false;
  *file = std::move(chosen);
  return true;
}
