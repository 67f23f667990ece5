#include "app/audit/audit_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

#include "audit/audit_report.h"
#include "editor/visible_marks.h"
#include "lists/list_format.h"
#include "platform/paths.h"
#include "scan/progress_figures.h"
#include "support/text.h"

namespace {

using audit::FileChange;
using audit::FileComparison;

constexpr const char* kHeaders[AuditModel::kColumnCount] = {
    "Class", "Path", "Reason", "Size", "Old time", "New time", "Old id", "New id", "Moved to"};

void LowerAscii(std::string* text) {
  for (char& c : *text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

// The side a file's size and time are shown from: the new one when it has the file.
const lists::ListedFile* ShownFile(const FileComparison& entry) {
  return entry.new_file != nullptr ? entry.new_file : entry.old_file;
}

uint64_t SizeOf(const FileComparison& entry) {
  const lists::ListedFile* file = ShownFile(entry);
  return file != nullptr && file->has_size ? file->size : 0;
}

uint64_t TimeOf(const lists::ListedFile* file) {
  return file != nullptr && file->has_size ? file->write_time : 0;
}

std::string_view IdOf(const lists::ListedFile* file) {
  return file != nullptr ? audit::TrimmedIdText(*file) : std::string_view();
}

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), text.size()); }

}  // namespace

ClassColours ColoursOf(FileChange change) {
  switch (change) {
    case FileChange::kUnchanged:
      return {0x000000, 0};
    case FileChange::kTouched:
      return {0x006060, 0};
    case FileChange::kChanged:
      return {0x8A5A00, 0};
    case FileChange::kCorrupted:
      return {0xFFFFFF, 0xC00000};
    case FileChange::kUnreadable:
      return {0x000000, 0xFFA020};
    case FileChange::kMoved:
      return {0x0000C0, 0};
    case FileChange::kMissing:
      return {0x800080, 0};
    case FileChange::kNew:
      return {0x007000, 0};
    case FileChange::kNotListed:
      return {0x808080, 0};
    case FileChange::kNotComparable:
      return {0xA00050, 0};
  }
  return {};
}

AuditModel::AuditModel(QObject* parent) : QAbstractTableModel(parent) {
  shown_.fill(true);
  shown_[static_cast<size_t>(FileChange::kUnchanged)] = false;
}

void AuditModel::SetResult(std::shared_ptr<const audit::AuditResult> result) {
  beginResetModel();
  result_ = std::move(result);
  IndexProblems();
  Filter();
  SortRows();
  endResetModel();
}

void AuditModel::SetFilter(const ClassSet& shown, const std::string& text) {
  beginResetModel();
  shown_ = shown;
  text_ = text;
  LowerAscii(&text_);
  Filter();
  SortRows();
  endResetModel();
}

void AuditModel::Filter() {
  rows_.clear();
  if (result_ == nullptr) return;
  const std::vector<FileComparison>& files = result_->comparison.files;
  rows_.reserve(files.size());
  std::string path;
  for (size_t i = 0; i < files.size(); ++i) {
    if (!shown_[static_cast<size_t>(files[i].change)]) continue;
    if (!text_.empty()) {
      path = PathOf(i);
      LowerAscii(&path);
      if (path.find(text_) == std::string::npos) {
        if (files[i].change != FileChange::kMoved) continue;
        path = OtherPathOf(i);
        LowerAscii(&path);
        if (path.find(text_) == std::string::npos) continue;
      }
    }
    rows_.push_back(static_cast<uint32_t>(i));
  }
}

// A row's sort key as two numbers, so that a million rows sort without chasing pointers.
struct RowKey {
  uint64_t high = 0;
  uint64_t low = 0;
  uint32_t row = 0;
};

// The id field's 11 bytes in their order as two numbers.
void IdKey(const lists::ListedFile* file, RowKey* key) {
  if (file == nullptr) return;
  const std::string_view id = file->id_text();
  for (size_t i = 0; i < id.size(); ++i) {
    uint64_t& part = i < 8 ? key->high : key->low;
    part = part << 8 | static_cast<unsigned char>(id[i]);
  }
}

void AuditModel::SortRows() {
  if (result_ == nullptr) return;
  const std::vector<FileComparison>& files = result_->comparison.files;
  const audit::AuditResult& r = *result_;
  const bool down = order_ == Qt::DescendingOrder;
  if (sort_column_ == kReason) {
    SortByReason(down);
    return;
  }
  if (sort_column_ == kOtherPath) {
    // Compared as directory and name, without making the paths; few files are moved.
    const auto less = [&](uint32_t a, uint32_t b) {
      const FileComparison& x = files[a];
      const FileComparison& y = files[b];
      const bool x_moved = x.change == FileChange::kMoved;
      const bool y_moved = y.change == FileChange::kMoved;
      if (!x_moved || !y_moved) return !x_moved && y_moved;
      return lists::CompareSplitPaths(r.new_list.directory(*x.new_file), x.new_file->name(),
                                     r.new_list.directory(*y.new_file), y.new_file->name()) < 0;
    };
    std::stable_sort(rows_.begin(), rows_.end(),
                     [&](uint32_t a, uint32_t b) { return down ? less(b, a) : less(a, b); });
    return;
  }
  if (sort_column_ < kClass || sort_column_ == kPath || sort_column_ >= kColumnCount) {
    // The comparison is in path order already.
    if (down) std::reverse(rows_.begin(), rows_.end());
    return;
  }
  std::vector<RowKey> keys(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) {
    const FileComparison& entry = files[rows_[i]];
    RowKey& key = keys[i];
    key.row = rows_[i];
    switch (sort_column_) {
      case kClass:
        key.high = static_cast<uint64_t>(entry.change);
        break;
      case kSize:
        key.high = SizeOf(entry);
        break;
      case kOldTime:
        key.high = TimeOf(entry.old_file);
        break;
      case kNewTime:
        key.high = TimeOf(entry.new_file);
        break;
      case kOldId:
        IdKey(entry.old_file, &key);
        break;
      default:
        IdKey(entry.new_file, &key);
        break;
    }
  }
  // Ties keep the path order (rows are numbered in it) whichever way the column sorts.
  std::sort(keys.begin(), keys.end(), [down](const RowKey& a, const RowKey& b) {
    if (a.high != b.high) return down ? b.high < a.high : a.high < b.high;
    if (a.low != b.low) return down ? b.low < a.low : a.low < b.low;
    return a.row < b.row;
  });
  for (size_t i = 0; i < keys.size(); ++i) rows_[i] = keys[i].row;
}

void AuditModel::sort(int column, Qt::SortOrder order) {
  if (column == sort_column_ && order == order_) return;
  emit layoutAboutToBeChanged();
  sort_column_ = column;
  order_ = order;
  std::sort(rows_.begin(), rows_.end());
  SortRows();
  emit layoutChanged();
}

const FileComparison& AuditModel::EntryAt(int row) const {
  return result_->comparison.files[rows_[static_cast<size_t>(row)]];
}

std::string AuditModel::PathAt(int row) const { return PathOf(rows_[static_cast<size_t>(row)]); }

std::string AuditModel::OtherPathAt(int row) const {
  return OtherPathOf(rows_[static_cast<size_t>(row)]);
}

std::string AuditModel::PathOf(size_t file) const {
  const FileComparison& entry = result_->comparison.files[file];
  const audit::AuditResult& r = *result_;
  return entry.old_file != nullptr
             ? audit::ReportedPath(r.comparison, r.old_list, *entry.old_file, true)
             : audit::ReportedPath(r.comparison, r.new_list, *entry.new_file, false);
}

std::string AuditModel::OtherPathOf(size_t file) const {
  const FileComparison& entry = result_->comparison.files[file];
  if (entry.change != FileChange::kMoved || entry.new_file == nullptr) return {};
  return audit::ReportedPath(result_->comparison, result_->new_list, *entry.new_file, false);
}

std::string AuditModel::ReasonAt(int row) const {
  return ReasonOf(rows_[static_cast<size_t>(row)]);
}

void AuditModel::IndexProblems() {
  file_problems_.clear();
  dir_problems_.clear();
  if (result_ == nullptr) return;
  for (const scan::ScanProblem& problem : result_->problems) {
    // Lists write a CR or LF of a name as "?", and rows show the lists' paths.
    std::string path = problem.path;
    support::ReplaceLineBreaks(&path);
    if (problem.directory()) {
      if (path.empty() || !platform::IsSeparator(path.back())) path += platform::kSeparator;
      dir_problems_.emplace_back(std::move(path),
                                 "cannot read directory " + problem.path + ": " + problem.reason);
    } else {
      file_problems_[path].push_back(&problem);
    }
  }
}

std::string AuditModel::ReasonOf(size_t file) const {
  const FileComparison& entry = result_->comparison.files[file];
  if (!result_->problems.empty()) {
    // A file the new scan saw has its path there; one it did not, its old path moved there.
    const std::string path =
        entry.new_file != nullptr
            ? audit::ReportedPath(result_->comparison, result_->new_list, *entry.new_file, false)
            : PathOf(file);
    const auto found = file_problems_.find(path);
    if (found != file_problems_.end()) {
      // A file may have several: the one its class comes from tells why.
      const scan::ProblemKind kind =
          entry.change == FileChange::kNotComparable ? scan::ProblemKind::kUnlistable
          : entry.change == FileChange::kUnreadable  ? scan::ProblemKind::kUnreadable
                                                     : scan::ProblemKind::kChanged;
      for (const scan::ScanProblem* problem : found->second) {
        if (problem->kind == kind) return problem->reason;
      }
      return found->second.front()->reason;
    }
    const std::pair<std::string, std::string>* below = nullptr;
    for (const auto& dir : dir_problems_) {
      if (path.starts_with(dir.first) &&
          (below == nullptr || dir.first.size() > below->first.size()))
        below = &dir;
    }
    if (below != nullptr) return below->second;
  }
  const bool ambiguous = (entry.old_file != nullptr && entry.old_file->ambiguous) ||
                         (entry.new_file != nullptr && entry.new_file->ambiguous);
  if (entry.change == FileChange::kNotComparable && ambiguous) {
    return "a list names this path more than once within one run (names that differ only in "
           "CR, LF or \"?\")";
  }
  if (entry.change == FileChange::kUnreadable && entry.new_file != nullptr) {
    const std::string_view id = entry.new_file->id_text();
    if (id.starts_with(lists::kCannotFindId)) return "gone when it was to be read";
    if (id.starts_with("!")) return "could not be opened when the new list was made";
    if (id.starts_with("%")) return "a read error when the new list was made";
  }
  return {};
}

void AuditModel::SortByReason(bool down) {
  std::vector<std::pair<std::string, uint32_t>> keys;
  keys.reserve(rows_.size());
  for (uint32_t row : rows_) keys.emplace_back(ReasonOf(row), row);
  // Ties keep the path order whichever way the column sorts.
  std::sort(keys.begin(), keys.end(), [down](const auto& a, const auto& b) {
    if (a.first != b.first) return down ? b.first < a.first : a.first < b.first;
    return a.second < b.second;
  });
  for (size_t i = 0; i < keys.size(); ++i) rows_[i] = keys[i].second;
}

int AuditModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AuditModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QString AuditModel::Cell(const FileComparison& entry, int column) const {
  const size_t index = static_cast<size_t>(&entry - result_->comparison.files.data());
  switch (column) {
    case kClass:
      return Q(audit::FileChangeName(entry.change));
    case kPath:
      return VisibleName(PathOf(index));
    case kSize: {
      const lists::ListedFile* file = ShownFile(entry);
      if (file == nullptr || !file->has_size) return {};
      return QString::fromStdString(scan::CountText(static_cast<int64_t>(file->size)));
    }
    case kOldTime:
    case kNewTime: {
      const uint64_t time = TimeOf(column == kOldTime ? entry.old_file : entry.new_file);
      return time != 0 ? QString::fromStdString(lists::WriteTimeText(time)) : QString();
    }
    case kOldId:
      return Q(IdOf(entry.old_file));
    case kNewId:
      return Q(IdOf(entry.new_file));
    case kOtherPath:
      return VisibleName(OtherPathOf(index));
    case kReason:
      return VisibleLines(ReasonOf(index));
    default:
      return {};
  }
}

QVariant AuditModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || result_ == nullptr || index.row() >= rowCount()) return {};
  const FileComparison& entry = EntryAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return Cell(entry, index.column());
    case Qt::ForegroundRole:
      return QBrush(QColor(ColoursOf(entry.change).text));
    case Qt::BackgroundRole: {
      const ClassColours colours = ColoursOf(entry.change);
      if (colours.background == 0) return {};
      return QBrush(QColor(colours.background));
    }
    case Qt::TextAlignmentRole:
      if (index.column() == kSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

QVariant AuditModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= kColumnCount) return {};
  return QString(kHeaders[section]);
}
