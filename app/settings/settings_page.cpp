#include "app/settings/settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/kit/controls.h"
#include "app/kit/folder_picker.h"
#include "app/kit/ini_fields.h"
#include "app/kit/widget_kit.h"
#include "lists/list_paths.h"
#include "platform/paths.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kKeyPath[] = "Path";
constexpr char kKeyUseName[] = "UseName";
constexpr char kKeyName[] = "Name";

constexpr char kNoNamesReason[] =
    "Create is off: choose a search path (or tick Name and give one) to name the lists";
constexpr char kNoFolderReason[] = "Create is off: no folder for the lists is set (Vol Files)";
constexpr char kNoTreeListReason[] = "Continue is off: no tree list of an earlier run: ";

}  // namespace

SettingsPage::SettingsPage(FileBox* box, std::function<bool()> job_running)
    : job_running_(std::move(job_running)), file_box_(box) {}

QWidget* SettingsPage::Build() {
  auto* page = Named(new QWidget, "tsSet");
  page->setToolTip("Changes you make here have no eddect to current running batch job.");
  auto* outer = new QVBoxLayout(page);
  auto* scroll = Named(new QScrollArea, "sbSet");
  scroll->setWidgetResizable(true);
  scroll_ = scroll;
  scroll->setAccessibleName("Settings");
  auto* inner = new QWidget;
  auto* rows = new QVBoxLayout(inner);
  rows->addLayout(BuildPathRow());
  rows->addLayout(BuildPartsRow());
  rows->addLayout(BuildNameRow());
  rows->addLayout(lists_.Build());
  rows->addWidget(params_.BuildWalkParameters());
  rows->addLayout(params_.BuildNumbers());
  paths_.AddTo(rows);
  rows->addLayout(params_.BuildOptions());
  rows->addLayout(params_.BuildBlocks());
  rows->addLayout(file_box_.Build());
  rows->addStretch(1);
  scroll->setWidget(inner);
  outer->addWidget(scroll, 1);
  outer->addWidget(BuildBottom());
  return page;
}

QLayout* SettingsPage::BuildPathRow() {
  auto* path_row = new QHBoxLayout;
  cPath_ = HistoryBox("cPath", Command::kPathCommitted);
  bcRun971_ = DialogButton("bcRun971", Command::kBrowseSearchPath, "Dialog for setting path entry");
  path_row->addWidget(FieldLabel(" &Path ", cPath_));
  path_row->addWidget(cPath_, 1);
  path_row->addWidget(bcRun971_);
  return path_row;
}

QLayout* SettingsPage::BuildPartsRow() {
  auto* parts_row = new QHBoxLayout;
  parts_row->addWidget(names_.Build());
  bcRun044_ = Button("bcRun044", "!", Command::kRefreshNameParts, "Refresh names on the left.");
  bcRun044_->setFixedWidth(24);
  parts_row->addWidget(bcRun044_, 0, Qt::AlignBottom);
  parts_row->addStretch(1);
  return parts_row;
}

QLayout* SettingsPage::BuildNameRow() {
  auto* name_row = new QHBoxLayout;
  cbName_ = Named(new QCheckBox(" &Name"), "cbName");
  cName_ = HistoryBox("cName", Command::kSetName);
  bcRun045_ =
      Button("bcRun045", "&Get", Command::kNameFromPath, "Generate file name from given path");
  bcRun041_ = Button("bcRun041", "&Set", Command::kSetName, "Generate file names from the above");
  cName_->setAccessibleName("Name");
  name_row->addWidget(cbName_);
  name_row->addWidget(cName_, 1);
  name_row->addWidget(bcRun045_);
  name_row->addWidget(bcRun041_);
  return name_row;
}

QWidget* SettingsPage::BuildBottom() {
  auto* bottom = Named(new QWidget, "pnSetBottom");
  auto* bottom_row = new QHBoxLayout(bottom);
  bcRun01_ = Button("bcRun01", "&Create", Command::kCreate, "Create new files, back up existing");
  bcRun02_ = Button("bcRun02", "C&ontinue", Command::kContinue, "Continue aborted creation");
  bcRun03_ = Button("bcRun03", "&Update", Command::kUpdate);
  bcRun03_->hide();
  bottom_row->addWidget(bcRun01_);
  bottom_row->addWidget(bcRun02_);
  bottom_row->addWidget(bcRun03_);
  bottom_row->addWidget(info_.Build(), 1);
  return bottom;
}

bool SettingsPage::Execute(Command command) {
  switch (command) {
    case Command::kDeriveNames:
      DeriveNames(false);
      return true;
    case Command::kSetName:
      DeriveNames(true);
      return true;
    case Command::kPathCommitted:
      FillNameParts(true);
      return true;
    case Command::kRefreshNameParts:
      FillNameParts(false);
      return true;
    case Command::kNameFromPath:
      CustomName();
      return true;
    case Command::kBrowseSearchPath:
      BrowseSearchPath();
      return true;
    case Command::kBrowseAppPath:
    case Command::kBrowseVolPath:
    case Command::kBrowseDirPath:
    case Command::kBrowseBackUps:
      if (paths_.Browse(command)) DeriveNames(false);
      return true;
    default:
      return names_.Execute(command) || file_box_.Execute(command);
  }
}

int SettingsPage::NeededWidth() const {
  const QWidget* page = scroll_->parentWidget();
  const QMargins margins = page->layout()->contentsMargins();
  return scroll_->widget()->minimumSizeHint().width() +
         scroll_->verticalScrollBar()->sizeHint().width() + 2 * scroll_->frameWidth() +
         margins.left() + margins.right();
}

void SettingsPage::ShowInfo(int kind, const std::string& text) { info_.Show(kind, text); }

void SettingsPage::RestoreInfo() { info_.Restore(); }

void SettingsPage::DeriveNames(bool set_name) {
  const std::string folder = paths_.ShowFolders();
  if (!folder.empty() && support::DirExistsSx(folder)) {
    file_box_.ShowListFolder(folder);
  } else if (platform::IsAbsolute(folder)) {
    file_box_.ShowComingFolder(folder);
  }
  std::string name = support::Trim(Text(cName_));
  // Passing through an empty box must not switch to a name that is not there.
  if (set_name && !name.empty()) cbName_->setChecked(true);

  if (!cbName_->isChecked() || name.empty()) name = names_.ComposedName();
  if (name.empty()) {
    // Stale names would let a Create write under the names of another volume.
    lists_.Clear();
    UpdateNameStates();
    if (!refresh_guard_) FillNameParts(false);
    return;
  }
  ShowListNames(folder, name);
}

void SettingsPage::ShowListNames(const std::string& folder, const std::string& name) {
  if (!lists_.Show(folder, name)) ShowInfo(kInfoAlert, lists::kSameNamesMessage);
  UpdateNameStates();
}

void SettingsPage::UpdateNameStates() {
  const std::string id_list = lists_.id_list();
  const std::string tree_list = lists_.tree_list();
  lists_.ColourByFiles();
  // A missing list folder is made by the run; one that is not set cannot be.
  const bool folder_set = !paths_.list_folder().empty();
  const bool named = !id_list.empty() && !tree_list.empty();
  const bool distinct = id_list != tree_list;
  const bool idle = !job_running_();
  const bool can_continue = named && distinct && support::FileExistsSx(tree_list, 0);
  bcRun01_->setEnabled(idle && named && distinct && folder_set);
  bcRun02_->setEnabled(idle && can_continue);
  bcRun03_->setEnabled(idle && can_continue && support::FileExistsSx(id_list, 0));
  if (!idle) return;
  std::string reason;
  if (!named) {
    reason = kNoNamesReason;
  } else if (!distinct) {
    reason = lists::kSameNamesMessage;
  } else if (!folder_set) {
    reason = kNoFolderReason;
  } else if (!can_continue) {
    reason = kNoTreeListReason + tree_list;
  }
  // A reason that no longer holds goes from the line; another text stays.
  if (reason.empty() && !off_reason_.empty() && Text(info_.label()) == " " + off_reason_) {
    ShowInfo(kInfoStatus, "");
  } else if (!reason.empty()) {
    ShowInfo(bcRun01_->isEnabled() ? kInfoStatus : kInfoAlert, reason);
  }
  off_reason_ = reason;
}

void SettingsPage::FillNameParts(bool committed) {
  if (committed && path_changed_) {
    cbName_->setChecked(false);
    path_changed_ = false;
  }
  names_.FillFrom(Text(cPath_));
  if (refresh_guard_) return;
  refresh_guard_ = true;
  DeriveNames(false);
  refresh_guard_ = false;
}

void SettingsPage::CustomName() {
  cName_->setEditText(QString::fromStdString(names_.NameFrom(Text(cPath_))));
  cbName_->setChecked(true);
}

void SettingsPage::BrowseSearchPath() {
  std::string folder;
  if (!BrowseFolderSx("Set Search Path", support::Trim(Text(cPath_)), &folder)) return;
  if (folder == Text(cPath_)) return;
  cPath_->setEditText(QString::fromStdString(folder));
  path_changed_ = true;
  FillNameParts(true);
}

RunFields SettingsPage::Fields() const {
  RunFields fields;
  fields.search_path = Text(cPath_);
  fields.job_name = Text(cName_);
  fields.tree_list = lists_.tree_list();
  fields.id_list = lists_.id_list();
  params_.Fill(&fields);
  fields.volume_list_folder = paths_.vol_path();
  fields.backup_folder = paths_.back_ups();
  fields.backup_target = paths_.BackUpFolder();
  fields.serial = names_.serial();
  fields.label = names_.label();
  return fields;
}

void SettingsPage::CommitHistories() {
  for (QComboBox* box : {cPath_, cName_}) ComboHistorySx(box, kHistoryMax);
  params_.CommitHistories();
}

void SettingsPage::DisableStartButtons() {
  for (QPushButton* button : {bcRun01_, bcRun02_, bcRun03_}) button->setEnabled(false);
}

void SettingsPage::ShowRunButtons(bool running) {
  params_.EnableIntervalButton(running);
  if (running) {
    DisableStartButtons();
  } else {
    // Colours and enables from the files and folders as they are now: the run may
    // have made the list and backup folders.
    paths_.ShowFolders();
    UpdateNameStates();
  }
}

void SettingsPage::Load() {
  info_.RememberColours();
  ReadBox(cPath_, kKeyPath);
  ReadBool(cbName_, kKeyUseName);
  ReadBox(cName_, kKeyName);
  names_.Load();
  params_.LoadOptions();
  paths_.LoadDirsChoice();
  params_.LoadNumbers();
  file_box_.Load();
}

void SettingsPage::Save() const {
  WriteBox(cPath_, kKeyPath);
  WriteValue(kKeyUseName, SxValue(cbName_->isChecked()));
  WriteBox(cName_, kKeyName);
  names_.Save();
  params_.SaveOptions();
  paths_.SaveDirsChoice();
  params_.SaveNumbers();
  file_box_.Save();
}

void SettingsPage::LoadBase() {
  const lists::BaseSettings base = paths_.LoadBase();
  lists_.SetExtensions(base.lst_ext, base.dir_ext);
  DeriveNames(false);
  // Only an absolute folder means something to a program without a working directory.
  const std::string vol_path = paths_.vol_path();
  if (platform::IsAbsolute(vol_path) && support::DirExistsSx(vol_path)) {
    file_box_.ShowFolder(vol_path);
  }
}

FileChoice SettingsPage::ListChoice(const std::string& caption) const {
  // As the lists are named: an empty extension is the default one.
  const auto ext = [](const std::string& entered, const char* fallback) {
    const std::string part = lists::FileNamePart(support::Trim(entered));
    return part.empty() ? std::string(fallback) : part;
  };
  const std::string folder = paths_.list_folder();
  return ListFileChoice(caption, support::DirExistsSx(folder) ? folder : file_box_.folder(),
                        ext(lists_.lst_ext(), lists::kDefaultLstExt),
                        ext(lists_.dir_ext(), lists::kDefaultDirExt));
}

void SettingsPage::SelectList(const std::string& list) {
  if (file_box_.ShowWrittenList(list)) return;
  ShowInfo(kInfoAlert, list + " is not in the file box: its filter is " + file_box_.mask());
}

void SettingsPage::SaveBase() const { paths_.SaveBase(lists_.lst_ext(), lists_.dir_ext()); }
