#pragma once
// The rows of the two lists on the Settings page: the extensions of the id list (eLstExt)
// and the tree list (eDirExt) and the names derived with them (lHdList, lHdDirs), which
// show in blue when their file exists.

#include <string>

class QLabel;
class QLayout;
class QLineEdit;

class ListNames {
 public:
  // The rows, unparented until the page takes them.
  QLayout* Build();

  // Shows the names of the lists of `name` in `folder`. False when both name one file:
  // the rows' captions then show red.
  bool Show(const std::string& folder, const std::string& name);
  // Empties both names.
  void Clear();
  // Colours each name by whether its file exists now.
  void ColourByFiles();

  std::string id_list() const;
  std::string tree_list() const;
  std::string lst_ext() const;
  std::string dir_ext() const;
  void SetExtensions(const std::string& lst_ext, const std::string& dir_ext);

 private:
  QLabel* lIdList_ = nullptr;
  QLineEdit* eLstExt_ = nullptr;
  QLabel* lHdList_ = nullptr;
  QLabel* lTreeFile_ = nullptr;
  QLineEdit* eDirExt_ = nullptr;
  QLabel* lHdDirs_ = nullptr;
};
