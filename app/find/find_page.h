#pragma once
// The Find page: every file of the catalogue (the id lists of the list folder and of the
// folders added here) found by name as one types, with the size, write-time and volume
// filters of `checker-cli find`; the copies of a chosen file on other volumes, its folder
// opened where its volume is mounted now, its path copied; the volumes and where each is
// mounted. The index is brought up to date and queried on a thread of the page's own, one
// job after the other, so that a first index of a large catalogue never holds the window.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/find/find_volumes.h"
#include "catalogue/catalogue_index.h"

class FindModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;
class QWidget;
class VolumesModel;
struct FoundFile;
struct RowAction;
struct VolumeRow;

class FindPage : public QObject {
  Q_OBJECT
 public:
  // How long typing must pause before a search runs.
  static constexpr int kTypingPauseMs = 150;
  static constexpr int kDefaultLimit = 1000;

  // `busy` tells whether a run, a verify, a comparison or a scrub goes on; "Scrub now" is
  // off while it does.
  explicit FindPage(std::function<bool()> busy = {});
  // Waits for the job the page's thread runs.
  ~FindPage() override;

  // The page, unparented until the window's page control takes it.
  QWidget* Build();

  // The page was brought to the front: the index is brought up to date, then searched.
  void Activated();
  // The name field takes the focus, its text selected to be typed over.
  void FocusName();
  // Brings the index up to date with the lists (on the page's thread), then searches.
  void Refresh();

  // The added folders, kept with the window's settings.
  void Load();
  // The desktop could not open the chosen file's folder.
  void FolderNotOpened(const std::string& folder);
  void Save() const;

  // "Scrub now" on the volume chosen in the volumes table; off (and the reason on the
  // page's state line) for a volume not mounted now or while something runs.
  void ScrubChosen();
  // "Scrub now" is on or off as the chosen volume and the window now allow.
  void RefreshScrubButton();

  FindModel* results() const { return results_; }
  FindModel* copies() const { return copies_; }
  VolumesModel* volumes() const { return volumes_->model(); }

 signals:
  // A refresh has ended and the volumes table shows its lists.
  void refreshed();
  // A search has ended and the results table shows it.
  void searched();
  // The copies of the chosen file are shown.
  void copiesShown();
  // "Open folder": the chosen file's folder where its volume is mounted now.
  void folderOpenRequested(const std::string& folder);
  // "Verify this volume" on a row: the id list of the row's volume.
  void verifyRequested(const std::string& list);
  // "Scrub now" on a row: the row's list, whose volume is mounted now.
  void scrubRequested(const catalogue::CatalogueList& list);

 private:
  class Worker;

  // The widgets (find_page_widgets.cpp).
  QWidget* BuildFilters();
  QWidget* BuildResults();
  void Search();
  void ShowResults(std::vector<FoundFile> rows, int64_t count, const std::string& error);
  // The line under the results: how many show, how many matched, or the error.
  void ShowCount(int64_t shown, int64_t count, const std::string& error);
  void ShowVolumes(std::vector<VolumeRow> rows, const std::vector<std::string>& notes,
                   const std::string& error);
  void ShowProgress(size_t done, size_t total, const std::string& list);
  void ChooseResult();
  // `mounted_path`: where the file is now (empty: its volume is not mounted).
  void ShowCopies(std::vector<FoundFile> copies, const std::string& mounted_path,
                  const std::string& listed_path);
  void OpenFolder();
  void CopyPath();
  // What a right-click on a row of the results or the copies (`results` false) offers.
  std::vector<RowAction> FileActions(const FindModel* model, int row, bool results);
  std::vector<RowAction> VolumeActions(int row);
  // The volume a file was found on; null when the volumes shown no longer hold it.
  const VolumeRow* VolumeOf(int64_t list) const;
  void OpenFile(const std::string& path);
  void SetState(const std::string& text, bool alert);
  // Why "Scrub now" is off for the volume of `row`; empty when it is on.
  std::string ScrubOffReason(int row) const;
  void Scrub(int row);

  std::function<bool()> busy_;
  std::string mounted_folder_;  // of the chosen result, when its volume is mounted
  std::string chosen_path_;
  std::shared_ptr<std::atomic<uint64_t>> latest_search_;
  uint64_t latest_choice_ = 0;  // the file chosen last, whose copies may show

  QTimer* typing_ = nullptr;
  QLineEdit* eFndName_ = nullptr;
  QLineEdit* eFndMinSize_ = nullptr;
  QLineEdit* eFndMaxSize_ = nullptr;
  QLineEdit* eFndFrom_ = nullptr;
  QLineEdit* eFndTo_ = nullptr;
  QLineEdit* eFndVolume_ = nullptr;
  QSpinBox* sFndLimit_ = nullptr;
  QLabel* liFndState_ = nullptr;
  QLabel* liFndMore_ = nullptr;
  QLabel* liFndCopies_ = nullptr;
  QTableView* tvFndResults_ = nullptr;
  QTableView* tvFndCopies_ = nullptr;
  QPushButton* bcFndOpen_ = nullptr;
  QPushButton* bcFndCopy_ = nullptr;
  FindModel* results_ = nullptr;
  FindModel* copies_ = nullptr;
  FindVolumes* volumes_ = nullptr;
  // Last: it goes first, so no job of its thread outlives what it reports to.
  std::unique_ptr<Worker> worker_;
};
