#include "app/kit/table_kit.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

#include "app/kit/ini_fields.h"

namespace {

QHeaderView* HeaderOf(QAbstractItemView* view) {
  if (auto* table = qobject_cast<QTableView*>(view)) return table->horizontalHeader();
  if (auto* tree = qobject_cast<QTreeView*>(view)) return tree->header();
  return nullptr;
}

bool SortingEnabled(const QAbstractItemView* view) {
  if (auto* table = qobject_cast<const QTableView*>(view)) return table->isSortingEnabled();
  if (auto* tree = qobject_cast<const QTreeView*>(view)) return tree->isSortingEnabled();
  return false;
}

std::string KeyOf(const QAbstractItemView* view) {
  return "Columns" + view->objectName().toStdString();
}

// The tables worth keeping, named ones with a header, by name: their keys keep one order.
template <typename Each>
void ForEachTable(const QWidget* window, Each each) {
  QList<QAbstractItemView*> views = window->findChildren<QAbstractItemView*>();
  std::sort(views.begin(), views.end(), [](const QAbstractItemView* a, const QAbstractItemView* b) {
    return a->objectName() < b->objectName();
  });
  for (QAbstractItemView* view : views) {
    QHeaderView* header = HeaderOf(view);
    if (header != nullptr && !view->objectName().isEmpty()) each(view, header);
  }
}

PathOpener& CurrentOpener() {
  static PathOpener opener;
  return opener;
}

}  // namespace

namespace {

// The least a path column shows, in average characters.
constexpr int kLeastPathChars = 32;

// Gives the path column what the view's width leaves once the other columns have theirs.
class PathFitter : public QObject {
 public:
  PathFitter(QAbstractItemView* view, QHeaderView* header, int path)
      : QObject(header), view_(view), header_(header), path_(path) {
    view->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this, [this](int logical) {
      if (logical != path_) Fit();
    });
    connect(header, &QHeaderView::sectionCountChanged, this, &PathFitter::Fit);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) Fit();
    return QObject::eventFilter(watched, event);
  }

 private:
  void Fit() {
    if (path_ >= header_->count()) return;
    const int others = header_->length() - header_->sectionSize(path_);
    const int least = view_->fontMetrics().averageCharWidth() * kLeastPathChars;
    const int width = std::max(least, view_->viewport()->width() - others);
    if (width != header_->sectionSize(path_)) header_->resizeSection(path_, width);
  }

  QAbstractItemView* view_;
  QHeaderView* header_;
  int path_;
};

}  // namespace

void ShapeColumns(QAbstractItemView* view, int path, std::initializer_list<int> whole) {
  QHeaderView* header = HeaderOf(view);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  for (int column : whole) header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  new PathFitter(view, header, path);
}

void LoadTableColumns(QWidget* window) {
  ForEachTable(window, [](QAbstractItemView* view, QHeaderView* header) {
    const std::string kept = ReadString(KeyOf(view).c_str(), "");
    if (kept.empty()) return;
    if (!header->restoreState(QByteArray::fromHex(QByteArray::fromStdString(kept)))) return;
    // The indicator comes back without the rows being sorted by it.
    if (SortingEnabled(view)) {
      view->model()->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    }
  });
}

void SaveTableColumns(const QWidget* window) {
  ForEachTable(window, [](QAbstractItemView* view, QHeaderView* header) {
    WriteValue(KeyOf(view).c_str(), SxValue(header->saveState().toHex().toStdString()));
  });
}

RowAction OpenAction(std::function<void()> run) { return {"Open", "miOpen", std::move(run)}; }

RowAction OpenFolderAction(std::function<void()> run) {
  return {"Open folder", "miOpenFolder", std::move(run)};
}

RowAction CopyPathAction(const std::string& path) {
  if (path.empty()) return {"Copy path", "miCopyPath", nullptr};
  return {"Copy path", "miCopyPath",
          [text = QString::fromStdString(path)] { QGuiApplication::clipboard()->setText(text); }};
}

RowAction ShowCopiesAction(std::function<void()> run) {
  return {"Show probable copies", "miShowCopies", std::move(run)};
}

RowAction VerifyVolumeAction(std::function<void()> run) {
  return {"Verify this volume", "miVerifyVolume", std::move(run)};
}

RowAction ScrubNowAction(std::function<void()> run) {
  return {"Scrub now", "miScrubNow", std::move(run)};
}

QMenu* PopRowMenu(QAbstractItemView* view, const QPoint& at,
                  const std::vector<RowAction>& actions) {
  auto* menu = new QMenu(view);
  menu->setObjectName("pmRow");
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (const RowAction& action : actions) {
    QAction* entry = menu->addAction(action.caption);
    entry->setObjectName(action.name);
    entry->setEnabled(static_cast<bool>(action.run));
    if (action.run) QObject::connect(entry, &QAction::triggered, view, action.run);
  }
  menu->popup(view->viewport()->mapToGlobal(at));
  return menu;
}

void OfferRowMenu(QAbstractItemView* view, std::function<std::vector<RowAction>(int row)> actions) {
  view->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(view, &QWidget::customContextMenuRequested, view,
                   [view, actions = std::move(actions)](const QPoint& at) {
                     const QModelIndex index = view->indexAt(at);
                     if (!index.isValid()) return;
                     view->setCurrentIndex(index);
                     PopRowMenu(view, at, actions(index.row()));
                   });
}

std::string NoFileProgramText(const std::string& file) {
  return "Cannot open " + file + ": no program for it is set up on this desktop";
}

PathOpener SetPathOpener(PathOpener opener) {
  PathOpener previous = std::move(CurrentOpener());
  CurrentOpener() = std::move(opener);
  return previous;
}

bool OpenPath(const std::string& path) {
  const PathOpener& opener = CurrentOpener();
  if (opener) return opener(path);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}
