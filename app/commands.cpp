// TViv050: the command handler, the list names derived from the settings, and starting,
// cancelling and closing around a run.

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <system_error>

#include "app/controls.h"
#include "app/file_box.h"
#include "app/folder_picker.h"
#include "app/job_link.h"
#include "app/main_window.h"
#include "app/utilities_dialog.h"
#include "platform/files.h"
#include "scan/list_names.h"
#include "scan/list_paths.h"
#include "support/msg.h"
#include "support/sys_init.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kCloseQuestion[] = "Thread is still active, terminate it ( as soon as possible )";
constexpr char kCloseCaption[] = "Viv050- Terminate thread";
// The stop request a "No" to the close question leaves.
constexpr uint8_t kStopFromClose = 3;
constexpr uint8_t kStopFromCancel = 1;

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }
std::string Text(const QComboBox* box) { return box->currentText().toStdString(); }
std::string Text(const QLabel* label) { return label->text().toStdString(); }

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// Digits only, as a 64-bit number of which the low 32 bits count; false without a digit.
bool SerialFromDigits(const std::string& text, uint32_t* serial) {
  uint64_t value = 0;
  bool any = false;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    any = true;
  }
  if (any) *serial = static_cast<uint32_t>(value);
  return any;
}

// The directory a walk of this start path reads: the path itself when it is a directory,
// else the part before its parameters (the first "/" after a blank), less a final mask;
// empty when the path names no directory.
std::string StartDirectory(const std::string& path) {
  if (DirExistsSx(path)) return path;
  std::string start = support::Trim(path);
  if (DirExistsSx(start)) return start;
  for (size_t i = 1; i < start.size(); ++i) {
    if (start[i] == '/' && static_cast<unsigned char>(start[i - 1]) <= ' ') {
      start = support::Trim(std::string_view(start).substr(0, i));
      break;
    }
  }
  if (DirExistsSx(start)) return start;
  // "/data/*.jpg|*.png": masks follow the last "/". A plain name there is a mistyped
  // directory, which would be walked as a mask and give an empty list.
  const size_t slash = start.rfind('/');
  if (slash == std::string::npos ||
      start.find_first_of("*?|", slash + 1) == std::string::npos) {
    return {};
  }
  return start.substr(0, slash + 1);
}

}  // namespace

void TViv050::ShowInfo(int kind, const std::string& text) {
  std::string shown = text;
  if ((kind == kInfoField || kind == kInfoButton) && shown.empty()) {
    if (QWidget* focused = QApplication::focusWidget()) {
      QWidget* control = focused;
      if (auto* box = qobject_cast<QComboBox*>(focused->parentWidget())) control = box;
      shown = control->toolTip().toStdString();
    }
  }
  lInfo_->setText(QString::fromStdString(" " + shown));
  lInfo_->setToolTip(QString::fromStdString(shown));
  lInfo_->setProperty("tag", kind);
  if (kind == kInfoAlert) {
    SetColours(lInfo_, QColor(kAlertText), QColor(kAlertBackground));
  } else {
    lInfo_->setPalette(info_normal_);
    lInfo_->setAutoFillBackground(false);
  }
}

void TViv050::ExecuteCommand(int tag) {
  switch (tag) {
    case 1:
      StartRun(kModeCreate);
      break;
    case 2:
      StartRun(kModeContinue);
      break;
    case 8:
      SetPendingInterval();
      break;
    case 9:
      ToggleCancel();
      break;
    case 40:
      DeriveNames(false);
      break;
    case 41:
      DeriveNames(true);
      break;
    case 43:
      FillNameParts(true);
      break;
    case 44:
      FillNameParts(false);
      break;
    case 45:
      CustomName();
      break;
    case 47:
      ApplyFileBoxFolder();
      break;
    case 48:
      ApplyFileBoxMask();
      break;
    case 550:
      AlignNameHeaders();
      break;
    case 551:
      SetNamePartWidth(0, kNetNamClickWidth);
      break;
    case 552:
      SetNamePartWidth(1, kLblNamWidth);
      break;
    case 554:
      SetNamePartWidth(3, kSerNamWidth);
      break;
    case 971:
    case 973:
    case 974:
    case 975:
    case 976:
    case 977:
      BrowseFor(tag);
      break;
    case 1201:
      ShowUtilities();
      break;
    case 60:
      ShowPositions();
      break;
    case 801:
      AddEditorPage();
      break;
    case 802:
      RemoveEditorPage();
      break;
    case 101:
    case 102:
    case 201:
    case 950:
    case 951:
    case 952:
    case 961:
    case 962:
    case 963:
    case 964:
    case 981:
    case 982:
    case 983:
    case 984:
      if (TextEditor* editor = CommandEditor()) ExecuteEditorCommand(tag, editor);
      break;
    default:
      // 4 (Update) and the tags without an action.
      break;
  }
}

void TViv050::DeriveNames(bool set_name) {
  const std::string app_path = support::Trim(Text(eAppPath_));
  SetColours(lPathsFor_, IsAbsolute(app_path) && DirExistsSx(app_path) ? Qt::black
                                                                         : QColor(kWrongColour));
  const std::pair<QLabel*, QLineEdit*> folders[] = {
      {lVolPath_, eVolPath_}, {lDirPath_, eDirPath_}, {lBackUps_, eBackUps_}};
  std::string resolved[3];
  for (int i = 0; i < 3; ++i) {
    resolved[i] = scan::ResolveBaseFolder(app_path, Text(folders[i].second), SxAppDir);
    QLabel* label = folders[i].first;
    label->setToolTip(QString::fromStdString(resolved[i]));
    const bool exists = !resolved[i].empty() && DirExistsSx(resolved[i]);
    SetColours(label, QColor(), exists ? QColor() : QColor(kMissingFolderFill));
  }
  const std::string folder = cbDirs_->isChecked() ? resolved[1] : resolved[0];
  ldPath_->setText(QString::fromStdString(folder));
  if (!folder.empty() && DirExistsSx(folder)) {
    SetColours(ldPath_, Qt::black);
    bFil_->SetFolder(folder);
    cbPath_->setEditText(QString::fromStdString(folder));
    ComboHistorySx(cbPath_, kHistoryMax);
  } else {
    SetColours(ldPath_, QColor(kWrongColour));
  }
  if (set_name) cbName_->setChecked(true);

  std::string name = support::Trim(Text(cName_));
  if (!cbName_->isChecked() || name.empty()) {
    name = scan::ComposeListName(Text(eNetNam_), Text(eLblNam_), Text(eDirNam_), Text(eSerNam_),
                                 spNetSep_->caption().toStdString(),
                                 spDirSep_->caption().toStdString(),
                                 spSerSep_->caption().toStdString());
  }
  if (name.empty()) {
    // Stale names would let a Create write under the names of another volume.
    lHdList_->clear();
    lHdDirs_->clear();
    UpdateNameStates();
    if (!refresh_guard_) ExecuteCommand(44);
    return;
  }
  const scan::ListFileNames names =
      scan::NameListFiles(folder, name, Text(eLstExt_), Text(eDirExt_));
  lHdList_->setText(QString::fromStdString(names.id_list));
  lHdDirs_->setText(QString::fromStdString(names.tree_list));
  if (names.same) {
    ShowInfo(kInfoAlert, scan::kSameNamesMessage);
    SetColours(lIdList_, QColor(kWrongColour));
    SetColours(lTreeFile_, QColor(kWrongColour));
  } else {
    SetColours(lIdList_, Qt::black);
    SetColours(lTreeFile_, Qt::black);
  }
  UpdateNameStates();
}

void TViv050::UpdateNameStates() {
  const std::string id_list = Text(lHdList_);
  const std::string tree_list = Text(lHdDirs_);
  const bool id_exists = !id_list.empty() && FileExistsSx(id_list, 1);
  const bool tree_exists = !tree_list.empty() && FileExistsSx(tree_list, 1);
  SetColours(lHdList_, id_exists ? QColor(kExistsColour) : Qt::black);
  SetColours(lHdDirs_, tree_exists ? QColor(kExistsColour) : Qt::black);
  const std::string folder = Text(ldPath_);
  const bool named = !id_list.empty() && !tree_list.empty();
  const bool idle = !JobRunning();
  bcRun01_->setEnabled(idle && named && !folder.empty() && DirExistsSx(folder));
  bcRun02_->setEnabled(idle && named && FileExistsSx(tree_list, 0));
  bcRun03_->setEnabled(idle && named && FileExistsSx(tree_list, 0) && FileExistsSx(id_list, 0));
}

void TViv050::FillNameParts(bool committed) {
  if (committed && path_changed_) {
    cbName_->setChecked(false);
    path_changed_ = false;
  }
  const std::string path = Text(cPath_);
  const std::pair<QLineEdit*, uint8_t> parts[] = {{eNetNam_, scan::kNameNetwork},
                                                  {eLblNam_, scan::kNameLabel},
                                                  {eDirNam_, scan::kNameDirectories},
                                                  {eSerNam_, scan::kNameSerial}};
  for (const auto& [field, selector] : parts) {
    std::string part;
    if (IsAbsolute(path)) NamePartsSx(path, &part, selector, "");
    field->setText(QString::fromStdString(part));
  }
  if (refresh_guard_) return;
  refresh_guard_ = true;
  DeriveNames(false);
  refresh_guard_ = false;
}

void TViv050::CustomName() {
  std::string separators;
  for (const TSplitterSx* handle : {spSerSep_, spDirSep_, spNetSep_}) {
    const std::string caption = handle->caption().toStdString();
    separators += caption.empty() ? ' ' : caption.front();
  }
  std::string name;
  const std::string path = Text(cPath_);
  if (IsAbsolute(path)) NamePartsSx(path, &name, scan::kNameAll, separators);
  cName_->setEditText(QString::fromStdString(name));
  cbName_->setChecked(true);
}

void TViv050::ApplyFileBoxFolder() {
  const std::string folder = Text(cbPath_);
  if (!IsAbsolute(folder) || !DirExistsSx(folder)) return;
  bFil_->SetFolder(folder);
  ComboHistorySx(cbPath_, kHistoryMax);
}

void TViv050::ApplyFileBoxMask() {
  if (cbMask_->currentText().isEmpty()) cbMask_->setEditText("*.*");
  bFil_->SetMask(Text(cbMask_));
  ComboHistorySx(cbMask_, kHistoryMax);
}

void TViv050::BrowseFor(int tag) {
  const char* caption = "";
  QLineEdit* field = nullptr;
  switch (tag) {
    case 971:
      caption = "Set Search Path";
      break;
    case 973:
      caption = "Set Base Path";
      field = eAppPath_;
      break;
    case 974:
      caption = "Set Volume list-file path";
      field = eVolPath_;
      break;
    case 975:
      caption = "Set Directory list-file Path";
      field = eDirPath_;
      break;
    case 976:
      caption = "Set backup path";
      field = eBackUps_;
      break;
    default:
      caption = "Set Directory - Path for filebox";
      break;
  }
  std::string folder;
  if (!BrowseFolderSx(caption, "", &folder)) return;
  if (tag == 971 || tag == 977) {
    QComboBox* box = tag == 971 ? cPath_ : cbPath_;
    if (folder == Text(box)) return;
    box->setEditText(QString::fromStdString(folder));
    if (tag == 971) {
      path_changed_ = true;
      ExecuteCommand(43);
    } else {
      ExecuteCommand(47);
    }
    return;
  }
  if (folder == Text(field)) return;
  folder = support::WithTrailingSlash(folder);
  if (tag != 973) {
    // The base path is a prefix only up to a "/": "/srv/apple" is not below "/srv/app".
    const std::string base = support::WithTrailingSlash(support::Trim(Text(eAppPath_)));
    if (!base.empty() && folder.compare(0, base.size(), base) == 0) {
      folder.erase(0, base.size());
      if (folder == Text(field)) return;
    }
  }
  field->setText(QString::fromStdString(folder));
  if (tag == 973 || (tag == 974 && !cbDirs_->isChecked()) ||
      (tag == 975 && cbDirs_->isChecked())) {
    ExecuteCommand(40);
  }
}

void TViv050::SetPendingInterval() {
  pending_interval_ = static_cast<int16_t>(TextToIntSx(eTimer_));
}

void TViv050::ToggleCancel() {
  if (stop_request_ != 0) {
    stop_request_ = 0;
    liCancel_->hide();
  } else {
    stop_request_ = kStopFromCancel;
    liCancel_->show();
  }
}

void TViv050::ShowUtilities() {
  if (dsk201_ == nullptr) dsk201_ = new TDsk201(this, bFil_);
  dsk201_->setWindowState(dsk201_->windowState() & ~Qt::WindowMinimized);
  dsk201_->show();
  dsk201_->raise();
  dsk201_->activateWindow();
}

bool TViv050::BackUpLists(const std::string& tree_list, const std::string& id_list) {
  const std::string folder = scan::ResolveBaseFolder(support::Trim(Text(eAppPath_)),
                                                     Text(eBackUps_), SxAppDir);
  for (const std::string& list : {tree_list, id_list}) {
    std::string error;
    if (!scan::BackUpList(list, folder, &error)) {
      ShowInfo(kInfoAlert, error + "; nothing was written");
      return false;
    }
  }
  return true;
}

void TViv050::StartRun(uint8_t mode) {
  if (JobRunning()) return;
  // Every number first, so that a bad one starts nothing.
  int32_t interval = 0, expand = 0, buffer_percent = 0, buffer_max = 0, min_blocks = 0;
  int64_t threads = 0;
  try {
    interval = static_cast<int32_t>(support::ParseIntegerText(Text(eTimer_), INT32_MIN, INT32_MAX));
    expand = static_cast<int32_t>(support::ParseIntegerText(Text(eExpand_), INT32_MIN, INT32_MAX));
    buffer_percent =
        static_cast<int32_t>(support::ParseIntegerText(Text(eBufPrc_), INT32_MIN, INT32_MAX));
    buffer_max =
        static_cast<int32_t>(support::ParseIntegerText(Text(eBufMax_), INT32_MIN, INT32_MAX));
    min_blocks =
        static_cast<int32_t>(support::ParseIntegerText(Text(eMinBlk_), INT32_MIN, INT32_MAX));
    threads = support::ParseIntegerText(Text(eThreads_), INT32_MIN, INT32_MAX);
  } catch (const support::ConversionError& error) {
    MsgSx(error.what(), QCoreApplication::applicationName().toStdString());
    return;
  }
  if (threads < 0 || threads > kMaxReaders) {
    ShowInfo(kInfoAlert, "Readers must be 0 (chosen by the disk) to " +
                             std::to_string(kMaxReaders) + ": " + Text(eThreads_));
    return;
  }

  const std::string id_list = Text(lHdList_);
  const std::string tree_list = Text(lHdDirs_);
  if (id_list.empty() || tree_list.empty()) {
    ShowInfo(kInfoAlert, "No list names: fill in the search path or a name");
    return;
  }
  if (id_list == tree_list) {
    ShowInfo(kInfoAlert, scan::kSameNamesMessage);
    return;
  }
  const std::string path = Text(cPath_);
  if (!IsAbsolute(support::Trim(path))) {
    ShowInfo(kInfoAlert, "The search path must begin with \"/\": " + path);
    return;
  }
  const std::string start = StartDirectory(path);
  if (start.empty() || !DirExistsSx(start)) {
    ShowInfo(kInfoAlert, "cannot scan " + path + ": no such directory");
    return;
  }
  {
    // Another run holding the id list would have its tree list overwritten before the
    // job found out.
    platform::FileInfo info;
    platform::File probe;
    if (platform::StatPath(id_list, &info) &&
        !probe.Open(id_list, platform::OpenMode::kReadWriteLocked)) {
      ShowInfo(kInfoAlert, "cannot open the id list " + id_list + ": " + probe.ErrorText());
      return;
    }
  }
  if (mode == kModeCreate && !cOpt1_->isChecked() && !BackUpLists(tree_list, id_list)) return;

  auto job = std::make_unique<TDskFil>(link_, "", "");
  job->set_mode(mode);
  job->set_search_path(path);
  job->set_job_name(Text(cName_));
  job->set_tree_list_file(tree_list);
  job->set_id_list_file(id_list);
  job->set_options(OptionBits());
  job->set_dir_params(Text(cDirPar_));
  job->set_file_params(Text(cLstPar_));
  job->set_interval(static_cast<int16_t>(interval));
  job->set_expand(expand);
  job->set_buffer_percent(buffer_percent);
  job->set_buffer_max(buffer_max);
  job->set_volume_list_folder(Text(eVolPath_));
  job->set_backup_folder(Text(eBackUps_));
  uint32_t serial = 0;
  if (SerialFromDigits(Text(eSerNam_), &serial)) job->set_volume_serial(serial);
  job->set_volume_label(Text(eLblNam_));
  job->set_min_blocks(static_cast<uint16_t>(min_blocks));
  job->set_threads(static_cast<int32_t>(threads));

  stop_request_ = 0;
  pending_interval_ = -1;
  running_job_ = job.get();
  // At once, not at the first notification: a second click must not start a second job.
  bcRun01_->setEnabled(false);
  bcRun02_->setEnabled(false);
  bcRun03_->setEnabled(false);
  try {
    job_done_ = TDskFil::Start(std::move(job));
  } catch (const std::system_error& error) {
    running_job_ = nullptr;
    ShowInfo(kInfoAlert, std::string("cannot start the scan: ") + error.what());
    UpdateNameStates();
    return;
  }
  for (QComboBox* box : {cPath_, cName_, cLstPar_, cDirPar_}) ComboHistorySx(box, kHistoryMax);
  pcCln_->setCurrentIndex(kPageRun);
}

bool TViv050::CloseCheck() {
  if (running_job_ == nullptr || running_job_->Terminated()) return true;
  const int answer =
      MsgSx(kCloseQuestion, kCloseCaption, support::kMbYesNoCancel | support::kMbIconQuestion);
  // The run may have ended while the question was open.
  if (running_job_ == nullptr) return true;
  if (answer == support::kIdYes) {
    running_job_->Terminate();
    return true;
  }
  if (answer == support::kIdNo) stop_request_ = kStopFromClose;
  return false;
}

void TViv050::closeEvent(QCloseEvent* event) {
  if (!EditorsMayClose() || !CloseCheck()) {
    event->ignore();
    return;
  }
  // The tools window keeps its place only when it closes itself.
  if (dsk201_ != nullptr) dsk201_->close();
  SaveSettings();
  // A job that still runs answers "stop" from now on; it frees itself, so forget it.
  link_->MarkClosed();
  running_job_ = nullptr;
  event->accept();
  emit closed();
}
