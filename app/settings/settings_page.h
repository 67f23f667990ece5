#pragma once
// The Settings page (tsSet): the search path, the list names derived from the name
// parts or a custom name, the run's parameters, the shared base paths, the file box rows,
// the start buttons and the info line. Loads and saves its fields in the window's
// section of the application ini and in the base settings file.

#include <cstdint>
#include <functional>
#include <string>

#include "app/kit/command_tags.h"
#include "app/kit/folder_picker.h"
#include "app/kit/run_fields.h"
#include "app/settings/base_paths.h"
#include "app/settings/file_box_settings.h"
#include "app/settings/info_line.h"
#include "app/settings/list_names.h"
#include "app/settings/name_parts.h"
#include "app/settings/run_parameters.h"

class FileBox;
class QCheckBox;
class QComboBox;
class QLayout;
class QPushButton;
class QScrollArea;
class QWidget;

class SettingsPage {
 public:
  // `box` is the window's file box; `job_running` tells whether a run holds the lists.
  SettingsPage(FileBox* box, std::function<bool()> job_running);

  // The page, unparented until the window's page control takes it.
  QWidget* Build();

  // 40 to 48, 550 to 554 and 971 to 977; false for any other command.
  bool Execute(Command command);
  void ShowInfo(int kind, const std::string& text);
  // The pointer left a control whose hint shows: what the hint covered returns.
  void RestoreInfo();
  // The window's status bar shows what the info line shows.
  void MirrorInfo(QLabel* label) { info_.Mirror(label); }
  // A command runs: the alert shown may give way.
  void ReleaseAlert() { info_.ReleaseAlert(); }
  // A field was left; `changed` when its text differs from the text on entering it.
  void NoteFieldLeft(bool changed) { path_changed_ = changed; }

  // The width the page needs to show every control without scrolling sideways.
  int NeededWidth() const;

  // What a run is set up from, as the page shows it now.
  RunFields Fields() const;
  // After a run started: the path, name and parameter texts go to their histories.
  void CommitHistories();
  int32_t IntervalValue() const { return params_.IntervalValue(); }
  // A run is about to start: no second start.
  void DisableStartButtons();
  // A run shows (its first notification) or has ended.
  void ShowRunButtons(bool running);
  // A run of this page has ended: the file box shows the id list it wrote, selected.
  void ShowWrittenList(const std::string& id_list) { file_box_.ShowWrittenList(id_list); }
  // The dialog that opens a list: id lists by this page's extensions first, in the list
  // folder (the file box's folder while that does not exist).
  FileChoice ListChoice(const std::string& caption) const;
  // A list opened shows selected in the file box, its folder there; one the box's filter
  // leaves out says so and the earlier choice stands.
  void SelectList(const std::string& list);
  // Why Create or Continue is off while no run goes on; empty when both are on.
  const std::string& off_reason() const { return off_reason_; }

  // The window's section, in the order of its keys.
  void Load();
  void Save() const;
  // The base settings file, then the list names derived from everything loaded.
  void LoadBase();
  void SaveBase() const;

 private:
  QLayout* BuildPathRow();
  QLayout* BuildPartsRow();
  QLayout* BuildNameRow();
  QWidget* BuildBottom();

  void DeriveNames(bool set_name);
  void ShowListNames(const std::string& folder, const std::string& name);
  // Colours the names by the files that exist and enables the start buttons.
  void UpdateNameStates();
  void FillNameParts(bool committed);
  void CustomName();
  void BrowseSearchPath();

  std::function<bool()> job_running_;
  NameParts names_;
  RunParameters params_;
  BasePaths paths_;
  FileBoxSettings file_box_;
  InfoLine info_;
  ListNames lists_;
  // Set when a field was left changed or the search path dialog changed the path.
  bool path_changed_ = false;
  // While 44 derives the names, so that an empty name does not come back to it.
  bool refresh_guard_ = false;
  // Why Create or Continue is off, as last shown; empty when both are on.
  std::string off_reason_;

  QScrollArea* scroll_ = nullptr;
  QComboBox* cPath_ = nullptr;
  QPushButton* bcRun971_ = nullptr;
  QPushButton* bcRun044_ = nullptr;
  QCheckBox* cbName_ = nullptr;
  QComboBox* cName_ = nullptr;
  QPushButton* bcRun045_ = nullptr;
  QPushButton* bcRun041_ = nullptr;
  QPushButton* bcRun01_ = nullptr;
  QPushButton* bcRun02_ = nullptr;
  QPushButton* bcRun03_ = nullptr;
};
