#pragma once
// The Find page's volumes part (pnFndVolumes): the volumes of the catalogue with where
// each is mounted now, and the catalogue folders, the list folder of the settings first
// and then those added here, kept with the window's settings.

#include <QObject>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class QTableView;
class QWidget;
class VolumesModel;
struct VolumeRow;
namespace scrub {
class StatusBoard;
}

// Where the scrub of each row's list stands, by the history; `board` keeps what it read
// for the next refresh. No history yet: every list is never checked, and none is made by
// looking. False with `error` when the history cannot be read.
bool ReadScrubStatus(scrub::StatusBoard* board, std::vector<VolumeRow>* rows, std::string* error);

class FindVolumes : public QObject {
  Q_OBJECT
 public:
  explicit FindVolumes(QObject* parent);

  // The part, unparented until the page takes it (find_page_widgets.cpp).
  QWidget* Build();

  // The folders added to the catalogue, each ending in "/".
  const std::vector<std::string>& added_folders() const { return added_folders_; }
  // Lists the folders again: the list folder of the settings may have changed.
  void ShowFolders();
  // The volumes of the last refresh.
  void ShowRows(std::vector<VolumeRow> rows);
  // "N volumes, M files in the catalogue" of the rows shown.
  std::string Summary() const;
  VolumesModel* model() const { return volumes_; }
  QTableView* table() const { return tvFndVolumes_; }
  // "Scrub now" under the table, for the page to connect and switch.
  QPushButton* scrub_button() const { return bcFndScrub_; }

  void Load();
  void Save() const;

 signals:
  // The folders changed, or Refresh was pressed: the index is to be brought up to date.
  void refreshRequested();

 private:
  void AddFolder();
  void RemoveFolder();

  std::vector<std::string> added_folders_;
  VolumesModel* volumes_ = nullptr;
  QTableView* tvFndVolumes_ = nullptr;
  QPushButton* bcFndScrub_ = nullptr;
  QListWidget* lbFndFolders_ = nullptr;
};
