#pragma once
// The name-parts panel of the Settings page (pccNam): the headers "Net Name", "Label",
// "Directory" and "Serial" over their fields, with the three separator handles between
// the fields. Owns its widgets' keys in the settings section; knows nothing of the rest
// of the page.

#include <string>

#include "app/kit/command_tags.h"

class NamePartsSplitter;
class QLabel;
class QLineEdit;
class QWidget;
class TSplitterSx;

class NameParts {
 public:
  // Widths of the name fields a double-click on their header restores.
  static constexpr int kNetNamClickWidth = 64;
  static constexpr int kLblNamWidth = 99;
  static constexpr int kSerNamWidth = 88;

  // Creates the panel, unparented; the caller puts it on the page.
  QWidget* Build();

  // 550, 551, 552 and 554; false for any other command.
  bool Execute(Command command);
  void AlignHeaders();

  // The four parts of `path` (none unless it is absolute).
  void FillFrom(const std::string& path);
  // The list name composed from the parts and their separators; empty when all are empty.
  std::string ComposedName() const;
  // Every part of `path` joined with the separators' first characters.
  std::string NameFrom(const std::string& path) const;

  std::string label() const;
  std::string serial() const;

  // In the order of the settings section.
  void Load();
  void Save() const;

 private:
  void BuildHeaders();
  void BuildFields();
  void SetPartWidth(int index, int width);

  QWidget* pccNam_ = nullptr;
  QWidget* headers_ = nullptr;
  QLabel* lNetNam_ = nullptr;
  QLabel* lLblNam_ = nullptr;
  QLabel* lDirNam_ = nullptr;
  QLabel* lSerNam_ = nullptr;
  NamePartsSplitter* names_ = nullptr;
  QLineEdit* eNetNam_ = nullptr;
  QLineEdit* eLblNam_ = nullptr;
  QLineEdit* eDirNam_ = nullptr;
  QLineEdit* eSerNam_ = nullptr;
  TSplitterSx* spNetSep_ = nullptr;
  TSplitterSx* spDirSep_ = nullptr;
  TSplitterSx* spSerSep_ = nullptr;
};
