#include "app/kit/folder_picker.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QUrl>
#include <set>
#include <utility>

#include "editor/visible_marks.h"
#include "fs/dir_iter.h"
#include "platform/paths.h"
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
  for (const platform::Mount& m : platform::MountedFileSystems()) {
    if (m.mount_point == "/" || IsPseudoFileSystem(m.fs_type, m.mount_point)) continue;
    places.append(QUrl::fromLocalFile(QFile::decodeName(m.mount_point.c_str())));
  }
  dialog.setSidebarUrls(places);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  *folder = QFile::encodeName(chosen.front()).toStdString();
  return true;
}

std::string NearestFolder(const std::string& path) {
  if (!platform::IsAbsolute(path)) return {};
  const size_t root = platform::RootLength(path);
  std::string folder(platform::WithoutSeparator(path));
  while (!support::DirExistsSx(folder)) {
    const size_t slash = folder.find_last_of(platform::kSeparators);
    if (slash == std::string::npos || slash < root) return path.substr(0, root);
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
  *path = platform::WithoutSeparator(folder);
  return true;
}

namespace {

FileHandler& CurrentFileHandler() {
  static FileHandler handler;
  return handler;
}

constexpr char kTextFilesFilter[] = "Text files[lst, log, ini] (*.lst *.log *.ini *.txt)";
constexpr char kAllFilesFilter[] = "All files (*)";

std::string ExtensionFilter(const std::string& what, const std::string& ext) {
  return what + " (*." + ext + ")";
}

bool ShowFileDialog(const FileChoice& choice, std::string* file) {
  QFileDialog dialog(nullptr, VisibleName(choice.caption));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAcceptMode(choice.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(choice.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setObjectName(choice.save ? "SaveFile" : "OpenFile");
  QStringList filters;
  for (const std::string& filter : choice.filters) filters.append(QString::fromStdString(filter));
  dialog.setNameFilters(filters);
  const QString start = QFile::decodeName(choice.start.c_str());
  if (choice.start.empty()) {
    dialog.setDirectory(QDir::homePath());
  } else if (support::DirExistsSx(choice.start)) {
    dialog.setDirectory(start);
  } else {
    dialog.selectFile(start);
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  *file = QFile::encodeName(chosen.front()).toStdString();
  return true;
}

}  // namespace

FileChoice EditorFileChoice(bool save, const std::string& caption, const std::string& preset) {
  return {save, caption, preset, {kTextFilesFilter, kAllFilesFilter}};
}

FileChoice ListFileChoice(const std::string& caption, const std::string& folder,
                          const std::string& id_ext, const std::string& tree_ext) {
  return {false,
          caption,
          folder,
          {ExtensionFilter("Id lists", id_ext), ExtensionFilter("Tree lists", tree_ext),
           kAllFilesFilter}};
}

FileChoice ReportFileChoice(const std::string& caption, const std::string& list, bool jsonl) {
  const size_t slash = list.find_last_of(platform::kSeparators);
  const size_t dot = list.rfind('.');
  const size_t stem_end =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : list.size();
  const std::string ext = jsonl ? "jsonl" : "txt";
  return {true,
          caption,
          list.substr(0, stem_end) + "-report." + ext,
          {ExtensionFilter(jsonl ? "JSON lines" : "Reports", ext), kAllFilesFilter}};
}

FileHandler SetFileHandler(FileHandler handler) {
  return std::exchange(CurrentFileHandler(), std::move(handler));
}

bool ChooseFileSx(const FileChoice& choice, std::string* file) {
  file->clear();
  std::string chosen;
  const FileHandler& handler = CurrentFileHandler();
  const bool ok = handler ? handler(choice, &chosen) : ShowFileDialog(choice, &chosen);
  if (!ok || chosen.empty()) return false;
  *file = std::move(chosen);
  return true;
}

bool ChooseFileSx(bool save, const std::string& caption, const std::string& preset,
                  std::string* file) {
  return ChooseFileSx(EditorFileChoice(save, caption, preset), file);
}
