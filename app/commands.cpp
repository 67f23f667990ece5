// TViv050: the one entry of every command, handing each to the part that owns it, and
// the commands that join parts: starting and cancelling a run, the job's notifications,
// the tools window, closing.

#include <QCloseEvent>
#include <QTabWidget>

#include "app/editors/editor_pages.h"
#include "app/kit/file_box.h"
#include "app/main_window.h"
#include "app/run/run_control.h"
#include "app/run/run_page.h"
#include "app/settings/settings_page.h"
#include "app/utilities_dialog.h"

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
    default:
      // Update (4) and the numbers without an action pass through every part.
      if (!settings_->Execute(command)) editors_->Execute(command);
      return;
  }
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
  const bool close_now = run_->Forget();
  ShowRunButtons(false);
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
