#include "app/find/find_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <utility>

#include "catalogue/file_query.h"
#include "editor/visible_marks.h"
#include "lists/list_names.h"
#include "scan/progress_figures.h"
#include "scrub/run_text.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Names are the lists' bytes; invalid UTF-8 shows as replacement marks, never dropped,
// and a direction mark by its name, so that a name cannot read as another.
QString Name(const std::string& bytes) { return VisibleName(bytes); }

QVariant RightAligned() { return QVariant(int(Qt::AlignRight | Qt::AlignVCenter)); }

uint64_t CyclePerMille(const scrub::VolumeStatus& status) {
  return status.bytes == 0 ? 1000 : status.cycle_bytes * 1000 / status.bytes;
}

// "yyyy-mm-dd hh:nn" of the end of the volume's last scrub, with the seconds when asked;
// "never" before the first.
std::string LastCheckText(const scrub::VolumeStatus& status, bool seconds) {
  if (!status.facts.last_run_end) return "never";
  const std::string text = scrub::LocalTimeText(*status.facts.last_run_end);
  return seconds ? text : text.substr(0, std::string_view("yyyy-mm-dd hh:nn").size());
}

// A path as a shell takes it.
std::string ShellWord(const std::string& text) {
  if (text.find_first_of(" \t'\"\\$`!*?[]()&;|<>~#") == std::string::npos) return text;
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string CycleShareText(const scrub::VolumeStatus& status) {
  if (status.bytes > 0 && status.cycle_bytes > 0 && status.cycle_bytes * 100 < status.bytes) {
    return "<1%";
  }
  return std::to_string(CyclePerMille(status) / 10) + "%";
}

std::string DamageText(const VolumeRow& row) {
  const uint64_t damaged = row.scrub.damaged;
  if (damaged == 0) return {};
  return std::to_string(damaged) + (damaged == 1 ? " file waits" : " files wait") +
         " to be mended: checker-cli repair --all " + ShellWord(row.list.path);
}

std::vector<uint64_t> SortKeys(const std::vector<FoundFile>& rows, int column) {
  std::vector<uint64_t> keys(rows.size());
  if (column == FindModel::kSize || column == FindModel::kWriteTime) {
    for (size_t i = 0; i < rows.size(); ++i) {
      keys[i] = column == FindModel::kSize ? rows[i].file.size : rows[i].file.write_time;
    }
    return keys;
  }
  if (column != FindModel::kVolume && column != FindModel::kPath) return keys;
  // The texts beside their rows: the sort reads them without going through the rows.
  std::vector<std::pair<std::string_view, uint32_t>> texts(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    texts[i] = {column == FindModel::kVolume ? std::string_view(rows[i].volume)
                                             : std::string_view(rows[i].file.path),
                static_cast<uint32_t>(i)};
  }
  std::sort(texts.begin(), texts.end());
  uint64_t rank = 0;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0 && texts[i].first != texts[i - 1].first) ++rank;
    keys[texts[i].second] = rank;
  }
  return keys;
}

std::vector<uint32_t> OrderOfKeys(const std::vector<uint64_t>& keys, bool descending) {
  // Keys beside their rows, ties by row: one comparison of two numbers each.
  std::vector<std::pair<uint64_t, uint32_t>> pairs(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    pairs[i] = {descending ? ~keys[i] : keys[i], static_cast<uint32_t>(i)};
  }
  std::sort(pairs.begin(), pairs.end());
  std::vector<uint32_t> order(keys.size());
  for (size_t i = 0; i < pairs.size(); ++i) order[i] = pairs[i].second;
  return order;
}

void FindModel::SetRows(std::vector<FoundFile> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  for (std::vector<uint64_t>& keys : keys_) keys.clear();
  SortRows();
  endResetModel();
}

const FoundFile* FindModel::RowAt(int row) const {
  if (row < 0 || static_cast<size_t>(row) >= order_.size()) return nullptr;
  return &rows_[order_[static_cast<size_t>(row)]];
}

void FindModel::SortRows() {
  if (sort_column_ < 0 || sort_column_ >= kColumnCount) {
    order_.resize(rows_.size());
    std::iota(order_.begin(), order_.end(), 0u);
    return;
  }
  std::vector<uint64_t>& keys = keys_[static_cast<size_t>(sort_column_)];
  if (keys.size() != rows_.size()) keys = SortKeys(rows_, sort_column_);
  order_ = OrderOfKeys(keys, sort_order_ == Qt::DescendingOrder);
}

void FindModel::sort(int column, Qt::SortOrder order) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  // The chosen row stays chosen: persistent indexes follow their files.
  const QModelIndexList before = persistentIndexList();
  std::vector<uint32_t> files;
  for (const QModelIndex& index : before) files.push_back(order_[static_cast<size_t>(index.row())]);
  sort_column_ = column;
  sort_order_ = order;
  SortRows();
  std::vector<int> view_row(order_.size());
  for (size_t row = 0; row < order_.size(); ++row) view_row[order_[row]] = static_cast<int>(row);
  QModelIndexList after;
  for (int i = 0; i < before.size(); ++i) {
    after.push_back(index(view_row[files[static_cast<size_t>(i)]], before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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
  SortRows();
  endResetModel();
}

// Few volumes: their cells' texts compare, the counts as numbers.
void VolumesModel::SortRows() {
  if (sort_column_ < 0 || sort_column_ >= kColumnCount) return;
  const int column = sort_column_;
  const bool down = sort_order_ == Qt::DescendingOrder;
  const auto key = [this, column](const VolumeRow& row) {
    if (column == kFiles) return QVariant(static_cast<qulonglong>(row.list.files));
    if (column == kBytes) return QVariant(static_cast<qulonglong>(row.list.bytes));
    if (column == kSerial) return QVariant(static_cast<qulonglong>(row.list.serial));
    if (column == kCycleShare) return QVariant(static_cast<qulonglong>(CyclePerMille(row.scrub)));
    const int at = static_cast<int>(&row - rows_.data());
    return data(index(at, column), Qt::DisplayRole);
  };
  std::vector<std::pair<QVariant, size_t>> keys;
  for (size_t i = 0; i < rows_.size(); ++i) keys.emplace_back(key(rows_[i]), i);
  std::stable_sort(keys.begin(), keys.end(), [down](const auto& a, const auto& b) {
    const QPartialOrdering order = QVariant::compare(a.first, b.first);
    return down ? order == QPartialOrdering::Greater : order == QPartialOrdering::Less;
  });
  std::vector<VolumeRow> sorted;
  sorted.reserve(rows_.size());
  for (const auto& [_, i] : keys) sorted.push_back(std::move(rows_[i]));
  rows_ = std::move(sorted);
}

void VolumesModel::sort(int column, Qt::SortOrder order) {
  beginResetModel();
  sort_column_ = column;
  sort_order_ = order;
  SortRows();
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
  const int column = index.column();
  const bool number = column == kFiles || column == kBytes || column == kCycleShare;
  if (role == Qt::TextAlignmentRole && number) return RightAligned();
  const std::string damage = DamageText(row);
  if (role == Qt::BackgroundRole && !damage.empty()) return QBrush(QColor(kDamageBackground));
  if (role == Qt::ToolTipRole) {
    const QString text =
        column == kLastCheck ? Q(LastCheckText(row.scrub, true)) : Cell(row, column).toString();
    return damage.empty() ? text : text + "\n" + Q(damage);
  }
  if (role != Qt::DisplayRole) return {};
  return Cell(row, column);
}

QVariant VolumesModel::Cell(const VolumeRow& row, int column) const {
  switch (column) {
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
    case kLastCheck:
      return Q(LastCheckText(row.scrub, false));
    case kCycleShare:
      return Q(CycleShareText(row.scrub));
    default:
      return {};
  }
}

QVariant VolumesModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumnCount] = {
      "List",  "Label", "Checked in cycle", "Last check", "Mounted at",
      "Files", "Bytes", "Last run",         "Serial",     "Search path"};
  return section >= 0 && section < kColumnCount ? QString(kHeaders[section]) : QVariant();
}
