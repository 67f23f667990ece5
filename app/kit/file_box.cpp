#include "app/kit/file_box.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <algorithm>

#include "editor/visible_marks.h"
#include "fs/dir_iter.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr int kNoteMargin = 4;

bool TakesEveryFile(const std::string& mask) {
  std::string pieces = mask;
  std::replace(pieces.begin(), pieces.end(), ';', '|');
  support::StringList items;
  fs::SplitTextItems(pieces, '|', &items);
  if (items.empty()) return true;
  return std::any_of(items.items().begin(), items.items().end(),
                     [](const std::string& item) { return item == "*" || item == "*.*"; });
}

}  // namespace

FileBox::FileBox(QWidget* parent) : QListWidget(parent) {
  setObjectName("bFil");
  setAccessibleName("File list");
  connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit fileChosen(); });
  mFil_ = new QMenu(this);
  QAction* verify = mFil_->addAction("Verify", this, [this] { emit verifyRequested(); });
  verify->setObjectName("miFilVerify");
  verify->setToolTip("Scan again what the selected id list holds and compare");
  QAction* compare = mFil_->addAction("Compare with...", this, [this] { emit compareRequested(); });
  compare->setObjectName("miFilCompare");
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const bool chosen = !selectedPath().empty();
    for (QAction* action : mFil_->actions()) action->setEnabled(chosen);
    mFil_->popup(viewport()->mapToGlobal(at));
  });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Refresh(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
    if (s == Qt::ApplicationActive) Refresh();
  });
}

void FileBox::SetFolder(const std::string& folder, const std::string& missing_note) {
  const std::string new_folder = support::WithTrailingSlash(folder);
  if (new_folder != folder_ && !watcher_.directories().isEmpty()) {
    watcher_.removePaths(watcher_.directories());
  }
  folder_ = new_folder;
  missing_note_ = missing_note;
  Refresh();
}

bool FileBox::SelectFile(const std::string& path) {
  const size_t slash = path.find_last_of(platform::kSeparators);
  if (slash == std::string::npos || path.substr(0, slash + 1) != folder_) return false;
  const auto found = std::find(names_.begin(), names_.end(), path.substr(slash + 1));
  if (found == names_.end()) return false;
  setCurrentRow(static_cast<int>(found - names_.begin()));
  return true;
}

void FileBox::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  const std::string shown = note();
  if (count() != 0 || shown.empty()) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  const QRect room = viewport()->rect().adjusted(kNoteMargin, kNoteMargin, -kNoteMargin, 0);
  painter.drawText(room, Qt::AlignTop | Qt::AlignLeft | Qt::TextWrapAnywhere, VisibleName(shown));
}

void FileBox::SetMask(const std::string& mask) {
  mask_ = mask;
  Refresh();
}

void FileBox::Refresh() {
  const int row = currentRow();
  const std::string current = row >= 0 && row < static_cast<int>(names_.size()) ? names_[row] : "";
  clear();
  names_.clear();
  folder_missing_ = false;
  setAccessibleDescription(QString());
  if (folder_.empty()) return;
  fs::THddRun masks;
  if (!TakesEveryFile(mask_)) {
    std::string pieces = mask_;
    std::replace(pieces.begin(), pieces.end(), ';', '|');
    masks.AddMasks(fs::MaskListKind::kIncludeFiles, pieces);
  }
  platform::DirReader dir;
  if (!dir.Open(folder_)) {
    // Shown until the folder comes (a run makes it); the watcher cannot see it coming.
    folder_missing_ = !support::DirExistsSx(folder_);
    if (folder_missing_) setAccessibleDescription(VisibleName(missing_note_));
    viewport()->update();
    return;
  }
  // A folder that has come since it was set is watched from now on.
  if (watcher_.directories().isEmpty()) watcher_.addPath(QFile::decodeName(folder_.c_str()));
  std::string_view name;
  platform::EntryKind kind;
  while (dir.Next(&name, &kind)) {
    if (kind != platform::EntryKind::kFile || name.front() == '.') continue;
    if (masks.ListsFile(name)) names_.emplace_back(name);
  }
  std::stable_sort(names_.begin(), names_.end(), [](const std::string& a, const std::string& b) {
    return support::CompareText(a, b) < 0;
  });
  for (const std::string& n : names_) addItem(VisibleName(n));
  const auto again = std::find(names_.begin(), names_.end(), current);
  if (!current.empty() && again != names_.end()) {
    setCurrentRow(static_cast<int>(again - names_.begin()));
  }
}

std::string FileBox::selectedPath() const {
  const int row = currentRow();
  if (row < 0 || row >= static_cast<int>(names_.size()) || !item(row)->isSelected()) return {};
  return folder_ + names_[row];
}

void FileBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F5) {
    Refresh();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit fileChosen();
    return;
  }
  QListWidget::keyPressEvent(event);
}
