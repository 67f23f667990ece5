#pragma once
// The Find page's tables: the files a query found (FindModel, also used for a file's
// copies) and the catalogue's volumes with where each is mounted now (VolumesModel).
// Both hold what the catalogue's thread handed over and make each cell's text when the
// view asks; GUI thread only. The files sort by any column over keys made once per
// set of rows: a million rows sort without a string made per comparison.

#include <QAbstractTableModel>
#include <QRgb>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"
#include "scrub/status.h"

// A file found, with the name of its volume (its list) for the first column.
struct FoundFile {
  std::string volume;
  catalogue::CatalogueFile file;
};

// One key a row for a column of FindModel: the number itself, or for text the rank of
// the row's text among the rows' (bytes compared, equal texts equal ranks).
std::vector<uint64_t> SortKeys(const std::vector<FoundFile>& rows, int column);
// The rows in the order of their keys; equal keys keep the order the rows came in.
std::vector<uint32_t> OrderOfKeys(const std::vector<uint64_t>& keys, bool descending);

class FindModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column : int { kVolume, kPath, kSize, kWriteTime, kColumnCount };

  using QAbstractTableModel::QAbstractTableModel;

  // The rows in the order they came; they show sorted as the view last asked.
  void SetRows(std::vector<FoundFile> rows);
  // The file the view shows at `row`.
  const FoundFile* RowAt(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  // order_ for the column and direction asked, from the keys made for this set of rows.
  void SortRows();

  std::vector<FoundFile> rows_;
  std::vector<uint32_t> order_;  // the view's rows: indexes into rows_
  // Each column's keys, made the first time the column sorts this set of rows.
  std::array<std::vector<uint64_t>, kColumnCount> keys_;
  int sort_column_ = -1;  // -1: the order the rows came in
  Qt::SortOrder sort_order_ = Qt::AscendingOrder;
};

// A volume of the catalogue and its mount point now (empty: not mounted).
struct VolumeRow {
  catalogue::CatalogueList list;
  std::string mounted_at;
  // Where the scrub of the list's files stands; never checked while the history has not
  // seen its volume.
  scrub::VolumeStatus scrub;
};

// The background of a volume whose damage waits to be mended.
constexpr QRgb kDamageBackground = 0xFFC8C8;

// "N%" of the volume's bytes checked within the cycle, "<1%" for a little, "100%" for a
// volume with nothing to check.
std::string CycleShareText(const scrub::VolumeStatus& status);
// "N files wait to be mended: checker-cli repair --all LIST"; empty with no damage.
std::string DamageText(const VolumeRow& row);

class VolumesModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Where the scrub stands next to the names: at the window's first size the path and
  // the scan's figures are what a user scrolls to.
  enum Column : int {
    kList,
    kLabel,
    kCycleShare,  // the share of its bytes checked within the cycle
    kLastCheck,   // the end of the last scrub of its volume, to the minute
    kMounted,
    kFiles,
    kBytes,
    kLastRun,
    kSerial,
    kSearchPath,
    kColumnCount,
  };

  using QAbstractTableModel::QAbstractTableModel;

  // The rows, sorted as the view last asked.
  void SetRows(std::vector<VolumeRow> rows);
  const std::vector<VolumeRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  void SortRows();
  QVariant Cell(const VolumeRow& row, int column) const;

  std::vector<VolumeRow> rows_;
  int sort_column_ = -1;
  Qt::SortOrder sort_order_ = Qt::AscendingOrder;
};
