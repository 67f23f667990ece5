#include "app/find/find_volumes.h"

#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/find/find_model.h"
#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "catalogue/catalogue_setup.h"
#include "editor/visible_marks.h"
#include "lists/list_reader.h"
#include "platform/paths.h"
#include "scrub/selection.h"
#include "support/toolkit.h"

namespace {

constexpr char kKeyFolder[] = "FindFolder";

}  // namespace

bool ReadScrubStatus(std::vector<VolumeRow>* rows, std::string* error) {
  for (VolumeRow& row : *rows) {
    // Until the history says otherwise, every byte waits for its first check.
    row.scrub.files = row.list.files;
    row.scrub.bytes = row.list.bytes;
    row.scrub.never_checked = row.list.files;
  }
  const std::string path = scrub::HistoryPath();
  if (path.empty() || !support::FileExistsSx(path, 0)) return true;
  scrub::History history;
  if (!history.Open(path)) {
    *error = "Cannot read the scrub history: " + history.error();
    return false;
  }
  // Each list by its own lines: two trees of one disk are two lists of one volume.
  for (VolumeRow& row : *rows) {
    lists::IdList read;
    lists::ListReadError read_error;
    // A list that cannot be read shows as never checked; the index says why.
    if (!lists::ReadIdList(row.list.path, &read, &read_error)) continue;
    if (!scrub::StatusOf(&history, row.list, read, scrub::Budget().cycle, &row.scrub)) {
      *error = "Cannot read the scrub history: " + history.error();
      return false;
    }
  }
  return true;
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
