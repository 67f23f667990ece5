#include "app/run/run_page.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "app/kit/widget_kit.h"
#include "app/run/problems_list.h"
#include "editor/visible_marks.h"
#include "platform/clock.h"
#include "scan/progress_figures.h"
#include "support/toolkit.h"

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr char kTimeFormat[] = "yyyy-MM-dd hh:mm:ss.zzz";
// The bar counts hundredths of a percent, as the label beside it shows them.
constexpr int kBarSteps = 10000;
constexpr double kFullPercent = 100.0;
constexpr char kCancelledText[] = " Cancelled";
constexpr int kFiguresStretch = 3;
constexpr int kProblemsStretch = 2;

// A day serial (days since 1899-12-30, local time) as text.
QString DayText(double serial) {
  const QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
  return base.addMSecs(std::llround(serial * kMsPerDay)).toString(kTimeFormat);
}

QString NowText() { return QDateTime::currentDateTime().toString(kTimeFormat); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QWidget* RunPage::Build() {
  auto* page = Named(new QWidget, "tsRun");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(BuildTop());
  auto* scroll = Named(new QScrollArea, "sbRun");
  scroll->setWidgetResizable(true);
  auto* inner = new QWidget;
  auto* groups = new QVBoxLayout(inner);
  groups->addLayout(BuildTimes());
  groups->addWidget(BuildDirectory());
  groups->addWidget(BuildTotals());
  groups->addStretch(1);
  scroll->setWidget(inner);
  // The figures first; the problems take what is left.
  layout->addWidget(scroll, kFiguresStretch);
  problems_ = new ProblemsList;
  layout->addWidget(problems_, kProblemsStretch);
  return page;
}

QWidget* RunPage::BuildTop() {
  auto* top = Named(new QWidget, "pnRunTop");
  auto* grid = new QGridLayout(top);
  liPth_ = Named(new ElidedLabel, "liPth");
  liPth_->setToolTip("Current path");
  liFil_ = Named(new ElidedLabel, "liFil");
  liFil_->setToolTip("Current file ( when screen was updated )");
  liTotPrc_ = Named(new QLabel, "liTotPrc");
  liError_ = Named(new QLabel("0"), "liError");
  bcRun09_ = Button("bcRun09", "Cancel", Command::kCancel);
  bcRun09_->setEnabled(false);
  liCancel_ = Named(new QLabel(" CANCELLING "), "liCancel");
  QFont bold = liCancel_->font();
  bold.setBold(true);
  liCancel_->setFont(bold);
  SetColours(liCancel_, QColor(kCancellingText), QColor(kCancellingBackground));
  liCancel_->hide();
  pbRun_ = Named(new QProgressBar, "pbRun");
  pbRun_->setRange(0, kBarSteps);
  ShowPercent("", 0);
  grid->addWidget(new QLabel(" Path "), 0, 0);
  grid->addWidget(liPth_, 0, 1, 1, 4);
  grid->addWidget(new QLabel(" File "), 1, 0);
  grid->addWidget(liFil_, 1, 1, 1, 4);
  grid->addWidget(new QLabel("Progress"), 2, 0);
  grid->addWidget(liTotPrc_, 2, 1);
  grid->addWidget(pbRun_, 2, 2);
  grid->addWidget(new QLabel(" Errors "), 2, 3);
  grid->addWidget(liError_, 2, 4);
  bcRunVerify_ = Named(new QPushButton("Verify"), "bcRunVerify");
  bcRunVerify_->setToolTip(
      "Scan again what the id list selected in the file box holds and compare");
  bcRunCompare_ = Named(new QPushButton("Compare with..."), "bcRunCompare");
  bcRunCompare_->setToolTip("Compare the id list selected in the file box with another");
  for (QPushButton* button : {bcRunVerify_, bcRunCompare_}) button->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(bcRun09_);
  buttons->addWidget(liCancel_);
  buttons->addStretch(1);
  buttons->addWidget(bcRunVerify_);
  buttons->addWidget(bcRunCompare_);
  grid->addLayout(buttons, 3, 0, 1, 5);
  grid->setColumnStretch(2, 1);
  return top;
}

QLayout* RunPage::BuildTimes() {
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

QWidget* RunPage::BuildDirectory() {
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

QWidget* RunPage::BuildTotals() {
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

void RunPage::ShowCancelling(bool pending) { liCancel_->setVisible(pending); }

void RunPage::EnableCancel(bool enabled) { bcRun09_->setEnabled(enabled); }

void RunPage::EnableAudit(bool enabled) {
  bcRunVerify_->setEnabled(enabled);
  bcRunCompare_->setEnabled(enabled);
}

void RunPage::Present(TDskFil& job, int16_t code) {
  const scan::ProgressInputs in = scan::ProgressInputsOf(job, code);
  ShowPhase(job, code, Q(MsecTextSx(in.elapsed_ms)));
  AddNewProblems(job);
  if (code == kNotifyProgress || code == kNotifyEnd) ShowProgress(job, code, in);
  if (code == kNotifyEnd) ShowEnd(job);
}

void RunPage::ShowPhase(const TDskFil& job, int16_t code, const QString& elapsed) {
  switch (code) {
    case kNotifyStart:
      liTme_->setText(elapsed);
      liTime1_->setText(DayText(job.begin_time()));
      liTime2_->setText("");
      SetColours(liTime2_, QColor(kGreyText));
      liFil_->setText(Q(scan::PhaseText(code)));
      ClearFigures();
      break;
    case kNotifyGather:
      liTme_->setText(elapsed);
      liTime2_->setText(NowText());
      liFil_->setText(Q(scan::PhaseText(code)));
      break;
    case kNotifySort:
      liTme_->setText(elapsed);
      liTime2_->setText(NowText());
      liFil_->setText(Q(scan::PhaseText(code)));
      break;
    case kNotifyScan:
      liTotSize_->setText(Q(scan::BytesText(job.total_bytes())));
      liTme_->setText(elapsed);
      liTime2_->setText(NowText());
      liFil_->setText(Q(scan::PhaseText(code)));
      break;
    default:
      break;
  }
}

void RunPage::ShowProgress(TDskFil& job, int16_t code, const scan::ProgressInputs& in) {
  if (job.error_count() != last_shown_errors_) {
    liError_->setText(Q(scan::ErrorCountText(job.error_count())));
    last_shown_errors_ = job.error_count();
  }
  liTme_->setText(Q(MsecTextSx(in.elapsed_ms)));
  liFil_->setText(VisibleName(job.current_file()));
  liTime2_->setText(NowText());
  liTotDone_->setText(Q(scan::BytesText(job.bytes_done())));
  const scan::ProgressFigures figures = scan::ProgressFigures::Compute(in);
  liTotSpeed_->setText(Q(figures.speed_text));
  liTotFil_->setText(Q(scan::CountText(job.files_done())));
  ShowReaders(job);
  ShowPercent(figures.percent_text, figures.exact_percent);
  liLeft_->setText(Q(figures.left_text));
  ShowDirectory(job);
  const bool readable = unreadable_dirs_.count(job.current_dir()) == 0;
  // A stopped run shows the speed of the directory it stopped in, even one just begun.
  const bool stopped = code == kNotifyEnd && !job.finished();
  if ((code == kNotifyProgress || stopped) && readable) {
    liDirSpeed_->setText(Q(figures.dir_speed_text));
  }
}

void RunPage::ShowDirectory(const TDskFil& job) {
  const bool changed = job.current_dir() != last_shown_dir_;
  if (changed) {
    liPth_->setText(VisibleName(job.current_dir()));
    last_shown_dir_ = job.current_dir();
  }
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

void RunPage::ShowPercent(const std::string& text, double percent) {
  liTotPrc_->setText(Q(text));
  pbRun_->setValue(
      text.empty() ? 0 : static_cast<int>(std::llround(percent * kBarSteps / kFullPercent)));
  pbRun_->setFormat(Q(text));
}

void RunPage::ClearFigures() {
  last_shown_dir_.clear();
  last_shown_errors_ = -1;
  problems_shown_ = 0;
  left_out_shown_ = 0;
  unreadable_dirs_.clear();
  problems_->Clear();
  for (QLabel* label : {liPth_, liLeft_, liDirSize_, liDirDone_, liDirSpeed_, liTotSize_,
                        liTotDone_, liTotSpeed_, liTotFil_, liReaders_}) {
    label->clear();
  }
  liError_->setText("0");
  ShowPercent("", 0);
}

void RunPage::AddNewProblems(const TDskFil& job) {
  const std::vector<ScanProblem>& problems = job.problems();
  for (; problems_shown_ < problems.size(); ++problems_shown_) {
    const ScanProblem& problem = problems[problems_shown_];
    if (problem.directory()) unreadable_dirs_.insert(problem.path);
    problems_->Add(
        QString::fromUtf8(problem.path.data(), static_cast<qsizetype>(problem.path.size())),
        Q(problem.reason));
  }
  // Notes, not errors: the error count leaves them out.
  const std::vector<LeftOutDir>& left_out = job.left_out();
  for (; left_out_shown_ < left_out.size(); ++left_out_shown_) {
    const LeftOutDir& dir = left_out[left_out_shown_];
    problems_->Add(QString::fromUtf8(dir.path.data(), static_cast<qsizetype>(dir.path.size())),
                   Q(LeftOutReason(dir)));
  }
}

// A chosen count moves with the disk: the most at once shows beside it once it differs.
void RunPage::ShowReaders(const TDskFil& job) {
  if (job.readers() == 0) return;
  std::string text = std::to_string(job.readers());
  if (job.readers_most() > job.readers())
    text += " (at most " + std::to_string(job.readers_most()) + ")";
  liReaders_->setText(Q(text));
}

void RunPage::ShowEnd(const TDskFil& job) {
  // Only a finished run has nothing left; a stopped one keeps its estimate.
  if (job.finished()) liLeft_->setText("0");
  // A run stopped before its scan has no end time.
  liTime2_->setText(job.end_time() != 0 ? DayText(job.end_time()) : NowText());
  SetColours(liTime2_, Qt::black);
  liCancel_->hide();
  if (!job.failure().empty()) {
    liFil_->setText(Q(" " + job.failure()));
  } else if (job.finished()) {
    liFil_->setText(Q(scan::PhaseText(kNotifyEnd)));
    // Files the parameters leave out count in the total: a finished run is whole.
    ShowPercent(scan::PercentText(kFullPercent), kFullPercent);
  } else {
    liFil_->setText(kCancelledText);
  }
}
