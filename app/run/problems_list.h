#pragma once
// A list of paths that went wrong, each with its reason, under a line with their count.
// Knows nothing of what produced them. A double-click opens the folder of the row (the
// row itself when it names a directory, ending with "/") through the folder opener; a
// right-click offers that, the file itself and its path copied. Rows show in the order
// they came until a column is clicked.

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QTreeWidget;

class ProblemsList : public QWidget {
  Q_OBJECT
 public:
  // Shows a folder to the user; the default hands it to the desktop's file manager.
  using FolderOpener = std::function<bool(const QString& folder)>;

  explicit ProblemsList(QWidget* parent = nullptr);

  // Adds a row at the end; names show their direction marks visibly.
  void Add(const QString& path, const QString& reason);
  void Clear();
  int count() const;
  // The path and reason of a row as given.
  QString path(int row) const;
  QString reason(int row) const;
  // The folder a double-click on `row` opens.
  QString FolderOf(int row) const;
  void SetFolderOpener(FolderOpener opener) { opener_ = std::move(opener); }

 private:
  void ShowCount();
  void OpenFolder(int row);
  // Opens a file or folder through the opener; says so beside the count when it cannot.
  void Open(const QString& path);

  QLabel* count_label_ = nullptr;
  QTreeWidget* rows_ = nullptr;
  FolderOpener opener_;
};
