#include "app/settings/list_names.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "app/kit/widget_kit.h"
#include "lists/list_paths.h"
#include "support/toolkit.h"

namespace {

constexpr int kExtensionWidth = 60;

}  // namespace

QLayout* ListNames::Build() {
  auto* lists = new QGridLayout;
  lIdList_ = Named(new QLabel(" Id list"), "lIdList");
  eLstExt_ = Field("eLstExt", lists::kDefaultLstExt, Command::kDeriveNames);
  eLstExt_->setFixedWidth(kExtensionWidth);
  lHdList_ = Named(new ElidedLabel, "lHdList");
  lTreeFile_ = Named(new QLabel(" Tree-file"), "lTreeFile");
  eDirExt_ = Field("eDirExt", lists::kDefaultDirExt, Command::kDeriveNames);
  eDirExt_->setFixedWidth(kExtensionWidth);
  lHdDirs_ = Named(new ElidedLabel, "lHdDirs");
  for (QLabel* l : {lHdList_, lHdDirs_}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lists->addWidget(lIdList_, 0, 0);
  lists->addWidget(eLstExt_, 0, 1);
  lists->addWidget(lHdList_, 0, 2);
  lists->addWidget(lTreeFile_, 1, 0);
  lists->addWidget(eDirExt_, 1, 1);
  lists->addWidget(lHdDirs_, 1, 2);
  lists->setColumnStretch(2, 1);
  return lists;
}

bool ListNames::Show(const std::string& folder, const std::string& name) {
  const lists::ListFileNames names =
      lists::NameListFiles(folder, name, Text(eLstExt_), Text(eDirExt_));
  lHdList_->setText(QString::fromStdString(names.id_list));
  lHdDirs_->setText(QString::fromStdString(names.tree_list));
  const QColor caption = names.same ? QColor(kWrongColour) : QColor(Qt::black);
  SetColours(lIdList_, caption);
  SetColours(lTreeFile_, caption);
  return !names.same;
}

void ListNames::Clear() {
  lHdList_->clear();
  lHdDirs_->clear();
}

void ListNames::ColourByFiles() {
  for (QLabel* label : {lHdList_, lHdDirs_}) {
    const std::string path = Text(label);
    const bool exists = !path.empty() && support::FileExistsSx(path, 1);
    SetColours(label, exists ? QColor(kExistsColour) : Qt::black);
  }
}

std::string ListNames::id_list() const { return Text(lHdList_); }

std::string ListNames::tree_list() const { return Text(lHdDirs_); }

std::string ListNames::lst_ext() const { return Text(eLstExt_); }

std::string ListNames::dir_ext() const { return Text(eDirExt_); }

void ListNames::SetExtensions(const std::string& lst_ext, const std::string& dir_ext) {
  eLstExt_->setText(QString::fromStdString(lst_ext));
  eDirExt_->setText(QString::fromStdString(dir_ext));
}
