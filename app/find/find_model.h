#pragma once
// The Find page's tables: the files a query found (FindModel, also used for a file's
// copies) and the catalogue's volumes with where each is mounted now (VolumesModel).
// Both hold what the catalogue's thread handed over and make each cell's text when the
// view asks; GUI thread only.

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"

// A file found, with the name of its volume (its list) for the first column.
struct FoundFile {
  std::string volume;
  catalogue::CatalogueFile file;
};

class FindModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column : int { kVolume, kPath, kSize, kWriteTime, kColumnCount };

  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(std::vector<FoundFile> rows);
  const FoundFile* RowAt(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<FoundFile> rows_;
};

// A volume of the catalogue and its mount point now (empty: not mounted).
struct VolumeRow {
  catalogue::CatalogueList list;
  std::string mounted_at;
};

class VolumesModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column : int {
    kList,
    kLabel,
    kSerial,
    kSearchPath,
    kFiles,
    kBytes,
    kLastRun,
    kMounted,
    kColumnCount,
  };

  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(std::vector<VolumeRow> rows);
  const std::vector<VolumeRow>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::vector<VolumeRow> rows_;
};
