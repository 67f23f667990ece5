#pragma once
// The Audit page: what the last verify or comparison found. Counts and bytes per class
// at the top, each class with a box that shows or hides its rows; a text filter; the
// files in a table (AuditModel); "Save report" writes the text or JSON lines of the
// command line. A double-click on a file opens its folder where it is mounted.

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audit/verify_run.h"

class AuditModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTableView;
class QWidget;

class AuditPage : public QObject {
  Q_OBJECT
 public:
  // Opens a folder for the user; tests replace it. Returns the previous one; an empty
  // opener restores the desktop's file manager.
  using FolderOpener = std::function<bool(const std::string& folder)>;
  static FolderOpener SetFolderOpener(FolderOpener opener);
  // Opens the folder with the opener set, else in the desktop's file manager.
  // False when the desktop could not open it.
  static bool OpenFolderOf(const std::string& folder);

  AuditPage();
  ~AuditPage() override;

  // The page, unparented until the window's page control takes it.
  QWidget* Build();

  // Shows a result under `title` with the notes of its run (warnings about the lists, a partial
  // verify), replacing what was shown. The page shares the result.
  void Show(std::shared_ptr<const audit::AuditResult> result, const std::string& title,
            const std::vector<std::string>& notes);
  AuditModel* model() const { return model_; }
  // Whether a comparison of two lists matches paths below each list's search path.
  bool relative() const;

 signals:
  // The box that asks for relative paths was ticked or cleared.
  void relativeToggled();

 private:
  QWidget* BuildCounts();
  QWidget* BuildTools();
  void ShowCounts();
  void ApplyFilter();
  void SaveReport();
  void OpenFolder(const QModelIndex& index);

  AuditModel* model_ = nullptr;
  QLabel* liAudLists_ = nullptr;  // elided
  QLabel* liAudNotes_ = nullptr;
  std::vector<QCheckBox*> class_boxes_;
  std::vector<QLabel*> file_counts_;
  std::vector<QLabel*> byte_counts_;
  QLineEdit* eAudFilter_ = nullptr;
  QCheckBox* cbAudJson_ = nullptr;
  QCheckBox* cbAudRelative_ = nullptr;
  QPushButton* bcAudSave_ = nullptr;
  QLabel* liAudShown_ = nullptr;
  QTableView* tvAudit_ = nullptr;
};
