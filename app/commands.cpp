// TViv050: the one entry of every command, handing each to the part that owns it, and
// the commands that join parts: starting and cancelling a run, the job's notifications,
// the tools window, closing.

#include <QCloseEvent>
#include <QPushButton>
#include <QTabWidget>

#include "app/editors/double_edit.h"
#include "app/editors/editor_pages.h"
#include "app/find/find_page.h"
#include "app/help_page.h"
#include "app/kit/file_box.h"
#include "app/kit/folder_picker.h"
#include "app/main_window.h"
#include "app/menu_bar.h"
#include "app/run/run_control.h"
#include "app/run/run_page.h"
#include "app/settings/settings_page.h"
#include "app/utilities_dialog.h"
#include "support/msg.h"

namespace {

constexpr char kBusyReason[] = "Off while a run, a verify or a comparison goes on";
constexpr char kNoReportReason[] = "Save report is off: no verify or comparison shown yet";
constexpr char kNoEditorReason[] =
    "The editor commands work on the page of an editor in front (Edit1, Edit2)";

}  // namespace

void TViv050::ExecuteCommand(int tag) {
  const auto command = static_cast<Command>(tag);
  settings_->ReleaseAlert();
  switch (command) {
    case Command::kCreate:
      StartRun(scan::kModeCreate);
      return;
    case Command::kContinue:
      StartRun(scan::kModeContinue);
      return;
    case Command::kSetInterval:
      run_->SetPendingInterval(settings_->IntervalValue());
      return;
    case Command::kCancel:
      run_page_->ShowCancelling(run_->ToggleCancel());
      return;
    case Command::kTools:
      ShowUtilities();
      return;
    case Command::kScrubVolume:
      find_page_->ScrubChosen();
      return;
    default:
      if (ExecuteMenuCommand(command)) return;
      // Update (4) and the numbers without an action pass through every part.
      if (!settings_->Execute(command)) editors_->Execute(command);
      return;
  }
}

void TViv050::BuildMenu() {
  MenuBar::Hooks hooks;
  hooks.execute = [this](int tag) {
    // An Edit entry works on the page in front, even before one of its editors had the focus.
    editors_->AimAt(pcCln_->currentWidget());
    ExecuteCommand(tag);
  };
  hooks.reason_off = [this](int tag) { return ReasonOff(tag); };
  hooks.editor_in_front = [this] { return EditorInFront(); };
  menu_ = std::make_unique<MenuBar>(this, std::move(hooks));
  connect(menu_.get(), &MenuBar::entryPointed, this, [this](const std::string& text, bool off) {
    // Why an entry is off matters more than an alert that stands.
    if (off) settings_->ReleaseAlert();
    settings_->ShowInfo(kInfoButton, text);
  });
  connect(menu_.get(), &MenuBar::menuClosed, this, [this] { settings_->RestoreInfo(); });
}

bool TViv050::EditorInFront() const {
  return qobject_cast<const TTbsDoubleEdit*>(pcCln_->currentWidget()) != nullptr;
}

std::string TViv050::ReasonOff(int tag) const {
  const bool busy = JobRunning() || run_->AuditRunning();
  switch (static_cast<Command>(tag)) {
    case Command::kCreate:
    case Command::kContinue:
      return busy ? kBusyReason : settings_->off_reason();
    case Command::kVerifySelected:
    case Command::kCompareSelected:
      return kBusyReason;
    case Command::kSaveReport:
      return kNoReportReason;
    default:
      return kNoEditorReason;
  }
}

bool TViv050::ExecuteMenuCommand(Command command) {
  const int tag = static_cast<int>(command);
  if (tag >= static_cast<int>(Command::kViewRun) && tag <= static_cast<int>(Command::kViewFind)) {
    pcCln_->setCurrentIndex(tag - static_cast<int>(Command::kViewRun));
    if (command == Command::kViewFind) find_page_->FocusName();
    return true;
  }
  switch (command) {
    case Command::kVerifySelected:
      VerifySelected();
      return true;
    case Command::kCompareSelected:
      CompareSelected();
      return true;
    case Command::kOpenList:
      OpenList();
      return true;
    case Command::kSaveReport:
      // The Audit page's button; off, it does nothing.
      if (auto* save = findChild<QPushButton*>("bcAudSave")) save->click();
      return true;
    case Command::kQuit:
      close();
      return true;
    case Command::kHelpPages:
      ShowHelp(HelpPage::kTopicPages);
      return true;
    case Command::kHelpRun:
      ShowHelp(HelpPage::kTopicRun);
      return true;
    case Command::kAbout:
      support::MsgSx(AboutText(), "About Checker");
      return true;
    default:
      return false;
  }
}

void TViv050::OpenList() {
  std::string list;
  if (!ChooseFileSx(settings_->ListChoice("Open list"), &list)) return;
  settings_->SelectList(list);
  pcCln_->setCurrentIndex(kPageEdit1);
  editors_->AimAt(pcCln_->currentWidget());
  editors_->LoadChosenFile(list);
}

void TViv050::ShowHelp(int topic) {
  if (help_ == nullptr) help_ = new HelpPage(this);
  help_->ShowTopic(topic);
}

void TViv050::StartRun(uint8_t mode) {
  if (JobRunning()) return;
  if (!run_->Start(mode, settings_->Fields())) return;
  settings_->CommitHistories();
  pcCln_->setCurrentIndex(kPageRun);
}

void TViv050::ShowRunButtons(bool running) {
  run_page_->EnableCancel(running);
  settings_->ShowRunButtons(running);
}

void TViv050::zmDskThread(TDskFil& job, int16_t code) {
  run_->HandOver(job);
  run_page_->Present(job, code);
  if (code == scan::kNotifyStart) ShowRunButtons(true);
  // New list files become visible.
  if (code == scan::kNotifyScan) bFil_->Refresh();
  if (code != scan::kNotifyEnd) return;
  const bool own_run = !run_->AuditRunning();  // a verify's lists are not the page's
  const bool close_now = run_->Forget();
  ShowRunButtons(false);
  if (own_run) settings_->ShowWrittenList(job.settings().id_list);
  if (!job.failure().empty()) settings_->ShowInfo(kInfoAlert, job.failure());
  // Closed during the run with Yes: the window goes now that the run has ended.
  if (close_now) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TViv050::ShowUtilities() {
  if (dsk201_ == nullptr) dsk201_ = new TDsk201(this, bFil_);
  dsk201_->setWindowState(dsk201_->windowState() & ~Qt::WindowMinimized);
  dsk201_->show();
  dsk201_->raise();
  dsk201_->activateWindow();
}

void TViv050::closeEvent(QCloseEvent* event) {
  const bool may_close = editors_->MayClose() && run_->CloseCheck();
  // A comparison told to stop says so until its end.
  if (run_->AuditStopping()) run_page_->ShowCancelling(true);
  if (!may_close) {
    // Yes and No stop the run at its next notification; the page says so until its end.
    if (JobRunning() && run_->StopRequested()) run_page_->ShowCancelling(true);
    event->ignore();
    return;
  }
  // The tools window keeps its place only when it closes itself.
  if (dsk201_ != nullptr) dsk201_->close();
  SaveSettings();
  // A job that still runs answers "stop" from now on; it frees itself, so forget it.
  run_->Close();
  event->accept();
  emit closed();
}
