#include "app/find/find_volumes.h"

#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/find/find_model.h"
#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "catalogue/catalogue_setup.h"
#include "editor/visible_marks.h"
#include "platform/paths.h"
#include "scrub/selection.h"
#include "scrub/status_board.h"
#include "support/toolkit.h"

namespace {

constexpr char kKeyFolder[] = "FindFolder";

}  // namespace

bool ReadScrubStatus(scrub::StatusBoard* board, std::vector<VolumeRow>* rows, std::string* error) {
  std::vector<catalogue::CatalogueList> lists;
  for (const VolumeRow& row : *rows) lists.push_back(row.list);
  std::vector<scrub::VolumeStatus> statuses;
  const bool read =
      board->Update(scrub::HistoryPath(), lists, scrub::Budget().cycle, &statuses, error);
  // What was read before a failure still shows; the rest waits for its first check.
  for (size_t i = 0; i < rows->size(); ++i) (*rows)[i].scrub = std::move(statuses[i]);
  if (!read) *error = "Cannot read the scrub history: " + *error;
  return read;
}

FindVolumes::FindVolumes(QObject* parent) : QObject(parent), volumes_(new VolumesModel(this)) {}

void FindVolumes::ShowFolders() {
  lbFndFolders_->clear();
  const catalogue::CatalogueSetup setup = catalogue::SetUpCatalogue({});
  lbFndFolders_->addItem(VisibleName("List folder: " + setup.own_folder));
  for (const std::string& folder : added_folders_) lbFndFolders_->addItem(VisibleName(folder));
}

void FindVolumes::ShowRows(std::vector<VolumeRow> rows) { volumes_->SetRows(std::move(rows)); }

std::string FindVolumes::Summary() const {
  uint64_t files = 0;
  for (const VolumeRow& row : volumes_->rows()) files += row.list.files;
  const size_t volumes = volumes_->rows().size();
  return std::to_string(volumes) + (volumes == 1 ? " volume, " : " volumes, ") +
         std::to_string(files) + (files == 1 ? " file" : " files") + " in the catalogue";
}

void FindVolumes::AddFolder() {
  std::string folder;
  if (!BrowseFolderSx("Add a catalogue folder", "", &folder) || folder.empty()) return;
  if (!platform::IsSeparator(folder.back())) folder += platform::kSeparator;
  if (std::find(added_folders_.begin(), added_folders_.end(), folder) != added_folders_.end()) {
    return;
  }
  added_folders_.push_back(folder);
  emit refreshRequested();
}

void FindVolumes::RemoveFolder() {
  // The first row is the list folder of the settings, which stays.
  const int row = lbFndFolders_->currentRow();
  if (row < 1 || static_cast<size_t>(row) > added_folders_.size()) return;
  added_folders_.erase(added_folders_.begin() + (row - 1));
  emit refreshRequested();
}

void FindVolumes::Load() {
  added_folders_.clear();
  for (int i = 1;; ++i) {
    const std::string key = kKeyFolder + std::to_string(i);
    const std::string folder = ReadString(key.c_str(), "");
    if (folder.empty()) break;
    added_folders_.push_back(folder);
  }
  if (lbFndFolders_ != nullptr) ShowFolders();
}

void FindVolumes::Save() const {
  for (size_t i = 0; i < added_folders_.size(); ++i) {
    const std::string key = kKeyFolder + std::to_string(i + 1);
    WriteValue(key.c_str(), SxValue(added_folders_[i]));
  }
}
