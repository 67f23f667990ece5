#pragma once
// The rows of the Settings page that steer the file box: " File list path" with its
// folder dialog and " File list filter". The file box itself is the window's; these
// rows only tell it what to show.

#include <string>

#include "app/kit/command_tags.h"

class FileBox;
class QComboBox;
class QLayout;
class QPushButton;

class FileBoxSettings {
 public:
  explicit FileBoxSettings(FileBox* box) : box_(box) {}

  // The two rows, unparented until the page takes them.
  QLayout* Build();
  // 47, 48 and 977; false for any other command.
  bool Execute(Command command);
  // The list folder in use exists: the box shows it and the path box takes it.
  void ShowListFolder(const std::string& folder);
  // The box shows `folder`; the path box keeps its text.
  void ShowFolder(const std::string& folder);
  // The list folder does not exist yet: a box that shows no other folder says where the
  // lists will be written.
  void ShowComingFolder(const std::string& folder);
  // A run has written `list` (or it was opened): the box shows its folder with it selected.
  // False when the box's filter leaves it out.
  bool ShowWrittenList(const std::string& list);

  // The folder the box shows, ending with "/"; empty when none.
  std::string folder() const;
  // The filter the box lists by.
  std::string mask() const;

  void Load();
  void Save() const;

 private:
  void ApplyFolder();
  void ApplyMask();
  void Browse();

  FileBox* box_;
  QComboBox* cbPath_ = nullptr;
  QPushButton* bcRun977_ = nullptr;
  QComboBox* cbMask_ = nullptr;
};
