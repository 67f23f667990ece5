#include "app/settings/file_box_settings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/kit/controls.h"
#include "app/kit/file_box.h"
#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "app/kit/widget_kit.h"
#include "platform/paths.h"
#include "support/toolkit.h"

namespace {

constexpr char kKeyFileBoxPath[] = "FileBoxPath";
constexpr char kKeyFileBoxMask[] = "FileBoxMask";

}  // namespace

QLayout* FileBoxSettings::Build() {
  auto* box_row = new QGridLayout;
  cbPath_ = HistoryBox("cbPath", Command::kFileBoxFolder);
  bcRun977_ =
      DialogButton("bcRun977", Command::kBrowseFileBoxPath, "Dialog for setting path entry");
  cbMask_ = HistoryBox("cbMask", Command::kFileBoxMask);
  cbMask_->setEditText(FileBox::kDesignMask);
  box_row->addWidget(FieldLabel(" File list pa&th", cbPath_), 0, 0);
  box_row->addWidget(cbPath_, 0, 1);
  box_row->addWidget(bcRun977_, 0, 2);
  box_row->addWidget(FieldLabel(" File list filter", cbMask_), 1, 0);
  box_row->addWidget(cbMask_, 1, 1);
  box_row->setColumnStretch(1, 1);
  return box_row;
}

bool FileBoxSettings::Execute(Command command) {
  switch (command) {
    case Command::kFileBoxFolder:
      ApplyFolder();
      return true;
    case Command::kFileBoxMask:
      ApplyMask();
      return true;
    case Command::kBrowseFileBoxPath:
      Browse();
      return true;
    default:
      return false;
  }
}

void FileBoxSettings::ShowListFolder(const std::string& folder) {
  box_->SetFolder(folder);
  cbPath_->setEditText(QString::fromStdString(folder));
  ComboHistorySx(cbPath_, kHistoryMax);
}

void FileBoxSettings::ShowFolder(const std::string& folder) { box_->SetFolder(folder); }

std::string FileBoxSettings::folder() const { return box_->folder(); }

std::string FileBoxSettings::mask() const { return box_->mask(); }

void FileBoxSettings::ShowComingFolder(const std::string& folder) {
  if (!box_->folder().empty() && box_->folder() != folder) return;
  box_->SetFolder(folder, "Lists will be written to " + folder);
}

bool FileBoxSettings::ShowWrittenList(const std::string& list) {
  if (!support::FileExistsSx(list, 0)) return false;
  ShowListFolder(list.substr(0, list.find_last_of(platform::kSeparators) + 1));
  return box_->SelectFile(list);
}

void FileBoxSettings::ApplyFolder() {
  const std::string folder = Text(cbPath_);
  if (!platform::IsAbsolute(folder) || !support::DirExistsSx(folder)) return;
  box_->SetFolder(folder);
  ComboHistorySx(cbPath_, kHistoryMax);
}

void FileBoxSettings::ApplyMask() {
  if (cbMask_->currentText().isEmpty()) cbMask_->setEditText("*.*");
  box_->SetMask(Text(cbMask_));
  ComboHistorySx(cbMask_, kHistoryMax);
}

void FileBoxSettings::Browse() {
  std::string folder;
  if (!BrowseFolderSx("Set Directory - Path for filebox", Text(cbPath_), &folder)) return;
  if (folder == Text(cbPath_)) return;
  cbPath_->setEditText(QString::fromStdString(folder));
  ApplyFolder();
}

void FileBoxSettings::Load() {
  ReadBox(cbPath_, kKeyFileBoxPath);
  cbMask_->setEditText(QString::fromStdString(box_->mask()));
  ReadBox(cbMask_, kKeyFileBoxMask);
  // The box lists by the filter it shows, not by the one it was built with.
  if (!cbMask_->currentText().isEmpty()) box_->SetMask(cbMask_->currentText().toStdString());
}

void FileBoxSettings::Save() const {
  WriteBox(cbPath_, kKeyFileBoxPath);
  WriteBox(cbMask_, kKeyFileBoxMask);
}
