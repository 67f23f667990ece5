#include "app/settings/base_paths.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "app/kit/widget_kit.h"
#include "editor/visible_marks.h"
#include "lists/list_paths.h"
#include "platform/paths.h"
#include "support/sys_init.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kKeyDirs[] = "cbDirs";

}  // namespace

void BasePaths::AddTo(QVBoxLayout* rows) {
  lPathsFor_ = Named(new QLabel(" Paths for"), "lPathsFor");
  lPathsFor_->setToolTip("Shared data section. Changes affect to all settings");
  rows->addWidget(lPathsFor_);
  auto* paths = Named(new QFrame, "pnPaths");
  paths->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(paths);
  eAppPath_ = Field("eAppPath", "", Command::kDeriveNames);
  eAppPath_->setToolTip(
      "Path for system, when set, paths without drive uses this ( instead of Application path "
      ")");
  bcRun973_ = DialogButton("bcRun973", Command::kBrowseAppPath, "Browse for path");
  lVolPath_ = Named(new QLabel("Vol Files"), "lVolPath");
  eVolPath_ = Field("eVolPath", lists::kDefaultVolPath, Command::kDeriveNames);
  bcRun974_ = DialogButton("bcRun974", Command::kBrowseVolPath, nullptr);
  bcRun974_->setAccessibleName("Browse for Vol Files");
  lDirPath_ = Named(new QLabel("Dir Files"), "lDirPath");
  eDirPath_ = Field("eDirPath", lists::kDefaultDirPath, Command::kDeriveNames);
  bcRun975_ = DialogButton("bcRun975", Command::kBrowseDirPath, nullptr);
  bcRun975_->setAccessibleName("Browse for Dir Files");
  lBackUps_ = Named(new QLabel("Backups"), "lBackUps");
  eBackUps_ = Field("eBackUps", lists::kDefaultBackUps, Command::kDeriveNames);
  bcRun976_ = DialogButton("bcRun976", Command::kBrowseBackUps, nullptr);
  bcRun976_->setAccessibleName("Browse for Backups");
  cbDirs_ = Named(new QCheckBox(" &Dir files"), "cbDirs");
  SetTag(cbDirs_, Command::kDeriveNames);
  ldPath_ = Named(new ElidedLabel, "ldPath");
  SetBuddy(lPathsFor_, eAppPath_);
  grid->addWidget(eAppPath_, 0, 1);
  grid->addWidget(bcRun973_, 0, 2);
  const std::tuple<QLabel*, QLineEdit*, QPushButton*> folders[] = {
      {lVolPath_, eVolPath_, bcRun974_},
      {lDirPath_, eDirPath_, bcRun975_},
      {lBackUps_, eBackUps_, bcRun976_}};
  int row = 1;
  for (const auto& [label, field, button] : folders) {
    SetBuddy(label, field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(button, row, 2);
    ++row;
  }
  grid->addWidget(cbDirs_, 4, 0);
  grid->addWidget(ldPath_, 4, 1, 1, 2);
  grid->setColumnStretch(1, 1);
  rows->addWidget(paths);
}

std::string BasePaths::ShowFolders() {
  const std::string app_path = support::Trim(Text(eAppPath_));
  SetColours(lPathsFor_, platform::IsAbsolute(app_path) && support::DirExistsSx(app_path)
                             ? Qt::black
                             : QColor(kWrongColour));
  const std::pair<QLabel*, QLineEdit*> folders[] = {
      {lVolPath_, eVolPath_}, {lDirPath_, eDirPath_}, {lBackUps_, eBackUps_}};
  std::string resolved[3];
  for (int i = 0; i < 3; ++i) {
    resolved[i] = lists::ResolveBaseFolder(app_path, Text(folders[i].second), support::SxAppDir);
    QLabel* label = folders[i].first;
    label->setToolTip(VisibleName(resolved[i]));
    const bool exists = !resolved[i].empty() && lists::FolderProblem(resolved[i]).empty();
    SetColours(label, QColor(), exists ? QColor() : QColor(kMissingFolderFill));
  }
  const std::string folder = cbDirs_->isChecked() ? resolved[1] : resolved[0];
  ldPath_->setText(QString::fromStdString(folder));
  const bool exists = !folder.empty() && lists::FolderProblem(folder).empty();
  SetColours(ldPath_, exists ? QColor(Qt::black) : QColor(kWrongColour));
  return folder;
}

QLineEdit* BasePaths::FieldOf(Command command) const {
  switch (command) {
    case Command::kBrowseAppPath:
      return eAppPath_;
    case Command::kBrowseVolPath:
      return eVolPath_;
    case Command::kBrowseDirPath:
      return eDirPath_;
    default:
      return eBackUps_;
  }
}

bool BasePaths::Browse(Command command) {
  const char* caption = command == Command::kBrowseAppPath   ? "Set Base Path"
                        : command == Command::kBrowseVolPath ? "Set Volume list-file path"
                        : command == Command::kBrowseDirPath ? "Set Directory list-file Path"
                                                             : "Set backup path";
  QLineEdit* field = FieldOf(command);
  // The folder the field names, resolved as the label beside it shows it.
  const std::string app_path = support::Trim(Text(eAppPath_));
  const std::string start =
      command == Command::kBrowseAppPath
          ? app_path
          : lists::ResolveBaseFolder(app_path, Text(field), support::SxAppDir);
  std::string folder;
  if (!BrowseFolderSx(caption, start, &folder)) return false;
  if (folder == Text(field)) return false;
  folder = support::WithTrailingSlash(folder);
  if (command != Command::kBrowseAppPath) {
    // The base path is a prefix only up to a "/": "/srv/apple" is not below "/srv/app".
    const std::string base = support::WithTrailingSlash(support::Trim(Text(eAppPath_)));
    if (!base.empty() && folder.compare(0, base.size(), base) == 0) {
      folder.erase(0, base.size());
      // The base folder itself: an empty field would mean "no folder".
      if (folder.empty()) folder = "./";
      if (folder == Text(field)) return false;
    }
  }
  field->setText(QString::fromStdString(folder));
  return command == Command::kBrowseAppPath ||
         (command == Command::kBrowseVolPath && !cbDirs_->isChecked()) ||
         (command == Command::kBrowseDirPath && cbDirs_->isChecked());
}

std::string BasePaths::app_path() const { return Text(eAppPath_); }
std::string BasePaths::vol_path() const { return Text(eVolPath_); }
std::string BasePaths::back_ups() const { return Text(eBackUps_); }
std::string BasePaths::list_folder() const { return Text(ldPath_); }

std::string BasePaths::BackUpFolder() const {
  return lists::ResolveBaseFolder(support::Trim(Text(eAppPath_)), Text(eBackUps_),
                                  support::SxAppDir);
}

void BasePaths::LoadDirsChoice() { ReadBool(cbDirs_, kKeyDirs); }

void BasePaths::SaveDirsChoice() const { WriteValue(kKeyDirs, SxValue(cbDirs_->isChecked())); }

lists::BaseSettings BasePaths::LoadBase() {
  eVolPath_->setText(lists::kDefaultVolPath);
  eDirPath_->setText(lists::kDefaultDirPath);
  eBackUps_->setText(lists::kDefaultBackUps);
  const lists::BaseSettings base =
      lists::LoadBaseSettingsFrom(support::SxBaseIniFile, support::SxAppDir);
  eAppPath_->setText(QString::fromStdString(base.app_path));
  eVolPath_->setText(QString::fromStdString(base.vol_path));
  eDirPath_->setText(QString::fromStdString(base.dir_path));
  eBackUps_->setText(QString::fromStdString(base.back_ups));
  return base;
}

void BasePaths::SaveBase(const std::string& lst_ext, const std::string& dir_ext) const {
  // Without a base file (it could not be created) there is nothing to keep in step.
  if (support::SxBaseIniFile.empty()) return;
  support::StringList base;
  if (support::FileExistsSx(support::SxBaseIniFile, 1)) base.LoadFromFile(support::SxBaseIniFile);
  support::IniSetSx(base, lists::kBaseSection, lists::kKeyAppPath, SxValue(Text(eAppPath_)));
  support::IniSetSx(base, lists::kBaseSection, lists::kKeyVolPath, SxValue(Text(eVolPath_)));
  support::IniSetSx(base, lists::kBaseSection, lists::kKeyDirPath, SxValue(Text(eDirPath_)));
  support::IniSetSx(base, lists::kBaseSection, lists::kKeyBackUps, SxValue(Text(eBackUps_)));
  support::IniSetSx(base, lists::kBaseSection, lists::kKeyLstExt, SxValue(lst_ext));
  support::IniSetSx(base, lists::kBaseSection, lists::kKeyDirExt, SxValue(dir_ext));
  support::IniSaveSx(base, support::SxBaseIniFile);
}
