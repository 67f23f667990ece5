// TViv050: the scan job's notifications turned into the Run page.

#include <QDateTime>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>

#include "app/file_box.h"
#include "app/main_window.h"
#include "app/progress_figures.h"
#include "platform/clock.h"
#include "support/toolkit.h"

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr char kTimeFormat[] = "yyyy-MM-dd hh:mm:ss.zzz";

// A day serial (days since 1899-12-30, local time) as text.
QString DayText(double serial) {
  const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
  return base.addMSecs(std::llround(serial * kMsPerDay)).toString(kTimeFormat);
}

QString NowText() { return QDateTime::currentDateTime().toString(kTimeFormat); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void TViv050::SetRunButtons(bool running) {
  bcRun08_->setEnabled(running);
  bcRun09_->setEnabled(running);
  if (running) {
    bcRun01_->setEnabled(false);
    bcRun02_->setEnabled(false);
    bcRun03_->setEnabled(false);
  } else {
    // Colours and enables from the files as they are now.
    UpdateNameStates();
  }
}

void TViv050::zmDskThread(TDskFil& job, int16_t code) {
  if (stop_request_ != 0) job.Terminate();
  const uint32_t now = platform::TickCount();
  const uint32_t elapsed = now - static_cast<uint32_t>(job.GetSlot(kSlotJobStart));
  if (pending_interval_ >= 0) {
    job.set_interval(pending_interval_);
    pending_interval_ = -1;
  }
  const QString elapsed_text = Q(MsecTextSx(elapsed));

  switch (code) {
    case kNotifyStart:
      liTme_->setText(elapsed_text);
      liTime1_->setText(DayText(job.begin_time()));
      liTime2_->setText("");
      SetColours(liTime2_, QColor(kGreyText));
      liFil_->setText("Initiating new run");
      SetRunButtons(true);
      last_shown_dir_.clear();
      last_shown_errors_ = -1;
      pbRun_->setValue(0);
      break;
    case kNotifyGather:
      liTme_->setText(elapsed_text);
      liTime2_->setText(NowText());
      liFil_->setText(" Searching directories ( might take long with big volume )");
      break;
    case kNotifySort:
      liTme_->setText(elapsed_text);
      liTime2_->setText(NowText());
      liFil_->setText(" Sorting directories ( might take long with big volume )");
      break;
    case kNotifyScan:
      liTotSize_->setText(Q(app::BytesText(job.total_bytes())));
      liTme_->setText(elapsed_text);
      liTime2_->setText(NowText());
      liFil_->setText(" Scanning directories");
      bFil_->Refresh();
      break;
    default:
      break;
  }

  if (code == kNotifyProgress || code == kNotifyEnd) {
    if (job.current_dir() != last_shown_dir_) {
      liPth_->setText(Q(job.current_dir()));
      liDirSize_->setText(Q(app::BytesText(job.dir_bytes())));
      last_shown_dir_ = job.current_dir();
    }
    if (job.error_count() != last_shown_errors_) {
      liError_->setText(Q(app::ErrorCountText(job.error_count())));
      last_shown_errors_ = job.error_count();
    }
    liTme_->setText(elapsed_text);
    liFil_->setText(Q(job.current_file()));
    liTime2_->setText(NowText());
    liTotDone_->setText(Q(app::BytesText(job.bytes_done())));
    liDirDone_->setText(Q(app::BytesText(job.dir_bytes_done())));
    app::ProgressInputs in;
    in.elapsed_ms = elapsed;
    in.total_bytes = job.total_bytes();
    in.bytes_done = job.bytes_done();
    in.dir_bytes_done = job.dir_bytes_done();
    if (code == kNotifyProgress) {
      in.dir_elapsed_ms = now - static_cast<uint32_t>(job.GetSlot(kSlotDirectory));
    }
    const app::ProgressFigures figures = app::ProgressFigures::Compute(in);
    liTotSpeed_->setText(Q(figures.speed_text));
    liTotFil_->setText(Q(app::CountText(job.files_done())));
    liTotPrc_->setText(Q(figures.percent_text));
    pbRun_->setValue(figures.percent);
    liLeft_->setText(Q(figures.left_text));
    if (code == kNotifyProgress) liDirSpeed_->setText(Q(figures.dir_speed_text));
  }

  if (code != kNotifyEnd) return;
  running_job_ = nullptr;
  SetRunButtons(false);
  liLeft_->setText("0");
  // A run stopped before its scan has no end time.
  liTime2_->setText(job.end_time() != 0 ? DayText(job.end_time()) : NowText());
  SetColours(liTime2_, Qt::black);
  liCancel_->hide();
  if (job.failure().empty()) {
    liFil_->setText(" Finished");
  } else {
    liFil_->setText(Q(" " + job.failure()));
    ShowInfo(kInfoAlert, job.failure());
  }
}
