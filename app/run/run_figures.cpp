#include "app/run/run_figures.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "app/kit/widget_kit.h"

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

QWidget* RunFigures::Build() {
  auto* scroll = Named(new QScrollArea, "sbRun");
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget;
  auto* groups = new QVBoxLayout(inner);
  groups->addLayout(BuildTimes());
  groups->addWidget(BuildDirectory());
  groups->addWidget(BuildTotals());
  groups->addStretch(1);
  scroll->setWidget(inner);
  return scroll;
}

QLayout* RunFigures::BuildTimes() {
  auto* times = new QFormLayout;
  liTme_ = ValueLabel("liTme", "Time spent so far");
  liLeft_ = ValueLabel("liLeft", "Estmated time left");
  liTime1_ = ValueLabel("liTime1");
  liTime2_ = ValueLabel("liTime2", "Last or finish time ");
  times->addRow("Time", liTme_);
  times->addRow("- left", liLeft_);
  times->addRow("Began", liTime1_);
  times->addRow("Latest", liTime2_);
  return times;
}

QWidget* RunFigures::BuildDirectory() {
  auto* directory = Named(new QGroupBox("Directory"), "gbDirectory");
  auto* dir_form = new QFormLayout(directory);
  liDirSize_ = ValueLabel("liDirSize");
  liDirDone_ = ValueLabel("liDirDone");
  liDirSpeed_ = ValueLabel("liDirSpeed");
  dir_form->addRow("Total", liDirSize_);
  dir_form->addRow("Done", liDirDone_);
  dir_form->addRow("Speed", liDirSpeed_);
  return directory;
}

QWidget* RunFigures::BuildTotals() {
  auto* totals = Named(new QGroupBox("Totals"), "gbTotals");
  auto* tot_form = new QFormLayout(totals);
  liTotSize_ = ValueLabel("liTotSize", "Total number of bytes to process");
  liTotDone_ = ValueLabel("liTotDone", "Total number of bytes processed so far");
  liTotSpeed_ = ValueLabel("liTotSpeed");
  liTotFil_ = ValueLabel("liTotFil", "Total number of files processed so far");
  tot_form->addRow("Total", liTotSize_);
  tot_form->addRow("Done", liTotDone_);
  tot_form->addRow("Speed", liTotSpeed_);
  tot_form->addRow(" - files ", liTotFil_);
  liReaders_ = ValueLabel("liReaders", "Threads reading files now, and the most at once");
  tot_form->addRow("Readers", liReaders_);
  return totals;
}

void RunFigures::ShowPhase(const TDskFil& job, int16_t code, const QString& elapsed) {
  switch (code) {
    case scan::kNotifyStart:
      liTme_->setText(elapsed);
      liTime1_->setText(DayText(job.begin_time()));
      liTime2_->setText("");
      SetColours(liTime2_, QColor(kGreyText));
      break;
    case scan::kNotifyScan:
      liTotSize_->setText(Q(scan::BytesText(job.total_bytes())));
      [[fallthrough]];
    case scan::kNotifyGather:
    case scan::kNotifySort:
      liTme_->setText(elapsed);
      liTime2_->setText(NowText());
      break;
    default:
      break;
  }
}

void RunFigures::ShowProgress(const TDskFil& job, int16_t code, const QString& elapsed,
                              const scan::ProgressFigures& figures, bool dir_changed) {
  liTme_->setText(elapsed);
  liTime2_->setText(NowText());
  liTotDone_->setText(Q(scan::BytesText(job.bytes_done())));
  liTotSpeed_->setText(Q(figures.speed_text));
  liTotFil_->setText(Q(scan::CountText(job.files_done())));
  ShowReaders(job);
  liLeft_->setText(Q(figures.left_text));
  ShowDirectory(job, dir_changed);
  const bool readable = unreadable_dirs_.count(job.current_dir()) == 0;
  // A stopped run shows the speed of the directory it stopped in, even one just begun.
  const bool stopped = code == scan::kNotifyEnd && !job.finished();
  if ((code == scan::kNotifyProgress || stopped) && readable) {
    liDirSpeed_->setText(Q(figures.dir_speed_text));
  }
}

void RunFigures::ShowDirectory(const TDskFil& job, bool changed) {
  if (unreadable_dirs_.count(job.current_dir()) != 0) {
    for (QLabel* label : {liDirSize_, liDirDone_, liDirSpeed_}) label->clear();
    return;
  }
  if (changed) {
    liDirSize_->setText(Q(scan::BytesText(job.dir_bytes())));
    liDirSpeed_->clear();
  }
  liDirDone_->setText(Q(scan::BytesText(job.dir_bytes_done())));
}

// A chosen count moves with the disk: the most at once shows beside it once it differs.
void RunFigures::ShowReaders(const TDskFil& job) {
  if (job.readers() == 0) return;
  std::string text = std::to_string(job.readers());
  if (job.readers_most() > job.readers())
    text += " (at most " + std::to_string(job.readers_most()) + ")";
  liReaders_->setText(Q(text));
}

void RunFigures::ShowEnd(const TDskFil& job) {
  // Only a finished run has nothing left; a stopped one keeps its estimate.
  if (job.finished()) liLeft_->setText("0");
  // A run stopped before its scan has no end time.
  liTime2_->setText(job.end_time() != 0 ? DayText(job.end_time()) : NowText());
  SetColours(liTime2_, Qt::black);
}

void RunFigures::MarkUnreadable(const std::string& path) { unreadable_dirs_.insert(path); }

void RunFigures::Clear() {
  unreadable_dirs_.clear();
  for (QLabel* label : {liLeft_, liDirSize_, liDirDone_, liDirSpeed_, liTotSize_, liTotDone_,
                        liTotSpeed_, liTotFil_, liReaders_}) {
    label->clear();
  }
}
