#include "app/run/problems_list.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/kit/table_kit.h"
#include "app/kit/widget_kit.h"
#include "editor/visible_marks.h"
#include "platform/paths.h"
#include "support/toolkit.h"

namespace {

// The texts as given, apart from what is shown.
constexpr int kGivenRole = Qt::UserRole;

}  // namespace

ProblemsList::ProblemsList(QWidget* parent) : QWidget(parent) {
  setObjectName("lvProblems");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  count_label_ = new QLabel;
  count_label_->setObjectName("lProblems");
  rows_ = new QTreeWidget;
  rows_->setObjectName("tvProblems");
  rows_->setAccessibleName("Problems");
  rows_->setColumnCount(2);
  rows_->setHeaderLabels({"Path", "Reason"});
  rows_->setRootIsDecorated(false);
  rows_->setUniformRowHeights(true);
  rows_->setTextElideMode(Qt::ElideMiddle);
  ShapeColumns(rows_, 0, {1});
  rows_->header()->setSortIndicator(-1, Qt::AscendingOrder);
  rows_->setSortingEnabled(true);
  rows_->setToolTip("Double-click opens the folder");
  column->addWidget(count_label_);
  column->addWidget(rows_, 1);
  opener_ = [](const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  connect(rows_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OpenFolder(rows_->indexOfTopLevelItem(item)); });
  OfferRowMenu(rows_, [this](int row) {
    const QString full = path(row);
    const bool file =
        !full.endsWith(QChar(platform::kSeparator)) && support::FileExistsSx(full.toStdString(), 0);
    return std::vector<RowAction>{
        OpenAction(file ? std::function<void()>([this, full] { Open(full); }) : nullptr),
        OpenFolderAction(FolderOf(row).isEmpty() ? nullptr : std::function<void()>([this, row] {
          OpenFolder(row);
        })),
        CopyPathAction(full.toStdString())};
  });
  ShowCount();
}

void ProblemsList::OpenFolder(int row) {
  const QString folder = FolderOf(row);
  if (!folder.isEmpty()) Open(folder);
}

void ProblemsList::Open(const QString& path) {
  if (!opener_ || opener_(path)) return;
  const std::string why = path.endsWith(QChar(platform::kSeparator))
                              ? NoFolderProgramText(path.toStdString())
                              : NoFileProgramText(path.toStdString());
  count_label_->setText(count_label_->text() + "; " + VisibleMarks(QString::fromStdString(why)));
}

void ProblemsList::Add(const QString& path, const QString& reason) {
  auto* item = new QTreeWidgetItem({VisibleMarks(path), VisibleMarks(reason)});
  item->setData(0, kGivenRole, path);
  item->setData(1, kGivenRole, reason);
  item->setToolTip(0, VisibleMarks(path));
  item->setToolTip(1, VisibleMarks(reason));
  rows_->addTopLevelItem(item);
  ShowCount();
}

void ProblemsList::Clear() {
  rows_->clear();
  ShowCount();
}

int ProblemsList::count() const { return rows_->topLevelItemCount(); }

QString ProblemsList::path(int row) const {
  const QTreeWidgetItem* item = rows_->topLevelItem(row);
  return item != nullptr ? item->data(0, kGivenRole).toString() : QString();
}

QString ProblemsList::reason(int row) const {
  const QTreeWidgetItem* item = rows_->topLevelItem(row);
  return item != nullptr ? item->data(1, kGivenRole).toString() : QString();
}

QString ProblemsList::FolderOf(int row) const {
  const QString full = path(row);
  if (full.isEmpty() || full.endsWith(QChar(platform::kSeparator))) return full;
  const qsizetype slash = full.lastIndexOf(QChar(platform::kSeparator));
  return slash < 0 ? QString() : full.left(slash + 1);
}

void ProblemsList::ShowCount() { count_label_->setText(QString(" Problems %1").arg(count())); }
