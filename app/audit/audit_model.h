#pragma once
// The Audit page's table: a model over one comparison, one row per file that passes the
// class and text filters. It keeps only an index of rows into the comparison and makes
// each cell's text when the view asks for it, so that a million files cost one vector of
// row numbers; sorting sorts that vector.

#include <QAbstractTableModel>
#include <QRgb>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "audit/verify_run.h"

// The colours a class shows in: text, and a filled background for the classes that must
// stand out (corrupted, unreadable); 0 for none.
struct ClassColours {
  QRgb text = 0;
  QRgb background = 0;
};
ClassColours ColoursOf(audit::FileChange change);

class AuditModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column : int {
    kClass,
    kPath,
    kReason,  // why a file is unreadable or not comparable, or what its scan ran into
    kSize,
    kOldTime,
    kNewTime,
    kOldId,
    kNewId,
    kOtherPath,  // a moved file's new path
    kColumnCount,
  };
  using ClassSet = std::array<bool, audit::kFileChangeCount>;

  explicit AuditModel(QObject* parent = nullptr);

  // Shows `result` (null: nothing), filtered and sorted as before. The model shares it.
  void SetResult(std::shared_ptr<const audit::AuditResult> result);
  const audit::AuditResult* result() const { return result_.get(); }
  // Rows for files of the ticked classes whose path (or moved file's new path) holds
  // `text`, without regard to the case of ASCII letters; empty text takes every path.
  void SetFilter(const ClassSet& shown, const std::string& text);

  // The file of a row, and the path the report names for it (a moved file's old path).
  const audit::FileComparison& EntryAt(int row) const;
  std::string PathAt(int row) const;
  // A moved file's new path; empty for other files.
  std::string OtherPathAt(int row) const;
  // What the Reason column says for a row.
  std::string ReasonAt(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  // The rows that pass the filters, in the comparison's (path) order.
  void Filter();
  void SortRows();
  // The paths of the comparison's file `file`, as PathAt and OtherPathAt give them.
  std::string PathOf(size_t file) const;
  std::string OtherPathOf(size_t file) const;
  QString Cell(const audit::FileComparison& entry, int column) const;
  // The scan's problems by the paths rows show them under (a verify only).
  void IndexProblems();
  std::string ReasonOf(size_t file) const;
  void SortByReason(bool down);

  std::shared_ptr<const audit::AuditResult> result_;
  // Path -> the problems of that file, in the order the scan had them.
  std::unordered_map<std::string, std::vector<const scan::ScanProblem*>> file_problems_;
  std::vector<std::pair<std::string, std::string>> dir_problems_;  // "dir/" -> reason
  ClassSet shown_{};
  std::string text_;  // lower-case
  std::vector<uint32_t> rows_;
  int sort_column_ = kPath;
  Qt::SortOrder order_ = Qt::AscendingOrder;
};
