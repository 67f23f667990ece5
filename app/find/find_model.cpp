#include "app/find/find_model.h"

#include "catalogue/file_query.h"
#include "editor/visible_marks.h"
#include "lists/list_names.h"
#include "scan/progress_figures.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Names are the lists' bytes; invalid UTF-8 shows as replacement marks, never dropped,
// and a direction mark by its name, so that a name cannot read as another.
QString Name(const std::string& bytes) { return VisibleName(bytes); }

QVariant RightAligned() { return QVariant(int(Qt::AlignRight | Qt::AlignVCenter)); }

}  // namespace

void FindModel::SetRows(std::vector<FoundFile> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

const FoundFile* FindModel::RowAt(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return nullptr;
  return &rows_[static_cast<size_t>(row)];
}

int FindModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FindModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant FindModel::data(const QModelIndex& index, int role) const {
  const FoundFile* row = RowAt(index.row());
  if (row == nullptr) return {};
  if (role == Qt::TextAlignmentRole && index.column() == kSize) return RightAligned();
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case kVolume:
      return Name(row->volume);
    case kPath:
      return Name(row->file.path);
    case kSize:
      return Q(scan::CountText(static_cast<int64_t>(row->file.size)));
    case kWriteTime:
      return Q(lists::WriteTimeText(row->file.write_time));
    default:
      return {};
  }
}

QVariant FindModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumnCount] = {"Volume", "Path", "Size", "Write time"};
  return section >= 0 && section < kColumnCount ? QString(kHeaders[section]) : QVariant();
}

void VolumesModel::SetRows(std::vector<VolumeRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int VolumesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int VolumesModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant VolumesModel::data(const QModelIndex& index, int role) const {
  if (index.row() < 0 || static_cast<size_t>(index.row()) >= rows_.size()) return {};
  const VolumeRow& row = rows_[static_cast<size_t>(index.row())];
  const bool number = index.column() == kFiles || index.column() == kBytes;
  if (role == Qt::TextAlignmentRole && number) return RightAligned();
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case kList:
      return Name(row.list.name);
    case kLabel:
      return Name(row.list.label);
    case kSerial:
      return Q(lists::SerialNumberText(row.list.serial));
    case kSearchPath:
      return Name(row.list.search_path);
    case kFiles:
      return Q(scan::CountText(static_cast<int64_t>(row.list.files)));
    case kBytes:
      return Q(scan::CountText(static_cast<int64_t>(row.list.bytes)));
    case kLastRun:
      return Q(row.list.run_start + " " + catalogue::RunStateText(row.list));
    case kMounted:
      return row.mounted_at.empty() ? QString("not mounted") : Name(row.mounted_at);
    default:
      return {};
  }
}

QVariant VolumesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumnCount] = {"List",  "Label", "Serial",   "Search path",
                                                     "Files", "Bytes", "Last run", "Mounted at"};
  return section >= 0 && section < kColumnCount ? QString(kHeaders[section]) : QVariant();
}
