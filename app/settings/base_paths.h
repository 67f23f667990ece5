#pragma once
// The " Paths for" group of the Settings page: the shared base path, the Vol Files,
// Dir Files and Backups folders (kept in the base settings file, not in the window's
// section), the " Dir files" choice and the list folder it resolves to.

#include <string>

#include "app/kit/command_tags.h"
#include "lists/list_paths.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

class BasePaths {
 public:
  // Adds the caption and the group to the page's rows.
  void AddTo(QVBoxLayout* rows);

  // Colours the caption and the folder labels by what exists, shows the list folder in
  // use and returns it (resolved, ending with "/"; empty when its setting is empty).
  std::string ShowFolders();
  // The folder dialog of 973 to 976; true when the list names must be derived again.
  bool Browse(Command command);

  // The texts as entered.
  std::string app_path() const;
  std::string vol_path() const;
  std::string back_ups() const;
  // The list folder ShowFolders showed last.
  std::string list_folder() const;
  // The Backups folder resolved against the base path.
  std::string BackUpFolder() const;

  // The " Dir files" key of the window's section.
  void LoadDirsChoice();
  void SaveDirsChoice() const;
  // The base settings file: fills the folders and returns what it read (the list
  // extensions belong to the page); saving keeps every other key of the file.
  lists::BaseSettings LoadBase();
  void SaveBase(const std::string& lst_ext, const std::string& dir_ext) const;

 private:
  QLineEdit* FieldOf(Command command) const;

  QLabel* lPathsFor_ = nullptr;
  QLineEdit* eAppPath_ = nullptr;
  QPushButton* bcRun973_ = nullptr;
  QLabel* lVolPath_ = nullptr;
  QLineEdit* eVolPath_ = nullptr;
  QPushButton* bcRun974_ = nullptr;
  QLabel* lDirPath_ = nullptr;
  QLineEdit* eDirPath_ = nullptr;
  QPushButton* bcRun975_ = nullptr;
  QLabel* lBackUps_ = nullptr;
  QLineEdit* eBackUps_ = nullptr;
  QPushButton* bcRun976_ = nullptr;
  QCheckBox* cbDirs_ = nullptr;
  QLabel* ldPath_ = nullptr;
};
