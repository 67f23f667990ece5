#include "app/run/problems_list.h"

#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/kit/widget_kit.h"
#include "editor/visible_marks.h"

namespace {

// The texts as given, apart from what is shown.
constexpr int kGivenRole = Qt::UserRole;
constexpr int kPathColumnWidth = 420;

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
  rows_->header()->resizeSection(0, kPathColumnWidth);
  rows_->setToolTip("Double-click opens the folder");
  column->addWidget(count_label_);
  column->addWidget(rows_, 1);
  opener_ = [](const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  connect(rows_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    const QString folder = FolderOf(rows_->indexOfTopLevelItem(item));
    if (folder.isEmpty() || !opener_ || opener_(folder)) return;
    count_label_->setText(count_label_->text() + "; " +
                          VisibleMarks(QString::fromStdString(NoFolderProgramText(folder.toStdString()))));
  });
  ShowCount();
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
  if (full.isEmpty() || full.endsWith('/')) return full;
  const qsizetype slash = full.lastIndexOf('/');
  return slash < 0 ? QString() : full.left(slash + 1);
}

void ProblemsList::ShowCount() { count_label_->setText(QString(" Problems %1").arg(count())); }
