#include "app/file_box.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>

#include "support/text.h"

FileBox::FileBox(QWidget* parent) : QListWidget(parent) {
  setObjectName("bFil");
  connect(this, &QListWidget::itemDoubleClicked, this, [this] { emit fileChosen(); });
}

void FileBox::SetFolder(const std::string& folder) {
  folder_ = support::WithTrailingSlash(folder);
  Reread();
}

void FileBox::SetMask(const std::string& mask) {
  mask_ = mask;
  Reread();
}

void FileBox::Reread() {
  const QString current = currentItem() != nullptr ? currentItem()->text() : QString();
  clear();
  if (folder_.empty()) return;
  QDir dir(QFile::decodeName(folder_.c_str()));
  // Several masks may be given as "*.v00;*.t00".
  const QStringList masks = QString::fromStdString(mask_).split(';', Qt::SkipEmptyParts);
  const QStringList names =
      dir.entryList(masks, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  addItems(names);
  const QList<QListWidgetItem*> again = findItems(current, Qt::MatchExactly);
  if (!again.isEmpty()) setCurrentItem(again.front());
}

std::string FileBox::SelectedFile() const {
  const QListWidgetItem* item = currentItem();
  if (item == nullptr || !item->isSelected()) return {};
  return folder_ + QFile::encodeName(item->text()).toStdString();
}

QStringList FileBox::Names() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) names << item(i)->text();
  return names;
}

void FileBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F5) {
    Reread();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit fileChosen();
    return;
  }
  QListWidget::keyPressEvent(event);
}
