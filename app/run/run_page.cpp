#include "app/run/run_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/kit/widget_kit.h"
#include "app/run/problems_list.h"
#include "editor/visible_marks.h"
#include "platform/clock.h"
#include "scan/progress_figures.h"
#include "support/toolkit.h"

namespace {

// The bar counts hundredths of a percent, as the label beside it shows them.
constexpr int kBarSteps = 10000;
constexpr double kFullPercent = 100.0;
constexpr char kCancelledText[] = " Cancelled";
constexpr int kFiguresStretch = 3;
constexpr int kProblemsStretch = 2;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QWidget* RunPage::Build() {
  auto* page = Named(new QWidget, "tsRun");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(BuildTop());
  // The figures first; the problems take what is left.
  layout->addWidget(figures_.Build(), kFiguresStretch);
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
  // As wide as the widest percent: the bar beside it never moves as the figure grows.
  liTotPrc_->setFixedWidth(
      liTotPrc_->fontMetrics().horizontalAdvance(Q(scan::PercentText(kFullPercent))) +
      liTotPrc_->fontMetrics().averageCharWidth());
  liError_ = Named(new QLabel("0"), "liError");
  bcRun09_ = Button("bcRun09", "&Cancel", Command::kCancel);
  bcRun09_->setEnabled(false);
  liCancel_ = Named(new QLabel(" CANCELLING "), "liCancel");
  QFont bold = liCancel_->font();
  bold.setBold(true);
  liCancel_->setFont(bold);
  SetColours(liCancel_, QColor(kCancellingText), QColor(kCancellingBackground));
  liCancel_->hide();
  pbRun_ = Named(new QProgressBar, "pbRun");
  pbRun_->setRange(0, kBarSteps);
  ShowDone(0, 0, 0);
  grid->addWidget(new QLabel(" Path "), 0, 0);
  grid->addWidget(liPth_, 0, 1, 1, 4);
  grid->addWidget(new QLabel(" File "), 1, 0);
  grid->addWidget(liFil_, 1, 1, 1, 4);
  grid->addWidget(new QLabel("Progress"), 2, 0);
  grid->addWidget(liTotPrc_, 2, 1);
  grid->addWidget(pbRun_, 2, 2);
  grid->addWidget(new QLabel(" Errors "), 2, 3);
  grid->addWidget(liError_, 2, 4);
  bcRunVerify_ = Named(new QPushButton("Ve&rify"), "bcRunVerify");
  bcRunVerify_->setToolTip(
      "Scan again what the id list selected in the file box holds and compare");
  bcRunCompare_ = Named(new QPushButton("Com&pare with..."), "bcRunCompare");
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

void RunPage::ShowCancelling(bool pending) { liCancel_->setVisible(pending); }

void RunPage::EnableCancel(bool enabled) { bcRun09_->setEnabled(enabled); }

void RunPage::EnableAudit(bool enabled) {
  bcRunVerify_->setEnabled(enabled);
  bcRunCompare_->setEnabled(enabled);
}

void RunPage::Present(TDskFil& job, int16_t code) {
  const scan::ProgressInputs in = scan::ProgressInputsOf(job, code);
  const QString elapsed = Q(support::MsecTextSx(in.elapsed_ms));
  ShowPhase(job, code, elapsed);
  AddNewProblems(job);
  if (code == scan::kNotifyProgress || code == scan::kNotifyEnd)
    ShowProgress(job, code, in, elapsed);
  if (code == scan::kNotifyEnd) ShowEnd(job);
}

void RunPage::ShowPhase(const TDskFil& job, int16_t code, const QString& elapsed) {
  figures_.ShowPhase(job, code, elapsed);
  switch (code) {
    case scan::kNotifyStart:
      liFil_->setText(Q(scan::PhaseText(code)));
      ClearFigures();
      break;
    case scan::kNotifyGather:
    case scan::kNotifySort:
    case scan::kNotifyScan:
      liFil_->setText(Q(scan::PhaseText(code)));
      break;
    default:
      break;
  }
}

void RunPage::ShowProgress(TDskFil& job, int16_t code, const scan::ProgressInputs& in,
                           const QString& elapsed) {
  if (job.error_count() != last_shown_errors_) {
    liError_->setText(Q(scan::ErrorCountText(job.error_count())));
    last_shown_errors_ = job.error_count();
  }
  liFil_->setText(VisibleName(job.current_file()));
  const scan::ProgressFigures figures = scan::ProgressFigures::Compute(in);
  ShowDone(job.files_done(), in.bytes_done, in.total_bytes);
  const bool dir_changed = job.current_dir() != last_shown_dir_;
  if (dir_changed) {
    liPth_->setText(VisibleName(job.current_dir()));
    last_shown_dir_ = job.current_dir();
  }
  figures_.ShowProgress(job, code, elapsed, figures, dir_changed);
}

void RunPage::ShowDone(int64_t files, int64_t bytes_done, int64_t total_bytes) {
  scan::ProgressInputs in;
  in.bytes_done = bytes_done;
  in.total_bytes = total_bytes;
  const scan::ProgressFigures figures = scan::ProgressFigures::Compute(in);
  ShowBar(figures.percent_text, figures.exact_percent, files, bytes_done, total_bytes);
}

void RunPage::ShowBar(const std::string& percent, double exact_percent, int64_t files,
                      int64_t bytes_done, int64_t total_bytes) {
  liTotPrc_->setText(Q(percent));
  pbRun_->setValue(percent.empty()
                       ? 0
                       : static_cast<int>(std::llround(exact_percent * kBarSteps / kFullPercent)));
  // The percent shows once, beside the bar; the bar says what it is of.
  pbRun_->setFormat(percent.empty()
                        ? QString()
                        : Q(scan::CountText(files) + (files == 1 ? " file, " : " files, ") +
                            scan::CountText(bytes_done) + " of " + scan::BytesText(total_bytes)));
}

void RunPage::ClearFigures() {
  last_shown_dir_.clear();
  last_shown_errors_ = -1;
  problems_shown_ = 0;
  left_out_shown_ = 0;
  figures_.Clear();
  problems_->Clear();
  liPth_->clear();
  liError_->setText("0");
  ShowDone(0, 0, 0);
}

void RunPage::AddNewProblems(const TDskFil& job) {
  const std::vector<scan::ScanProblem>& problems = job.problems();
  for (; problems_shown_ < problems.size(); ++problems_shown_) {
    const scan::ScanProblem& problem = problems[problems_shown_];
    if (problem.directory()) figures_.MarkUnreadable(problem.path);
    problems_->Add(
        QString::fromUtf8(problem.path.data(), static_cast<qsizetype>(problem.path.size())),
        Q(problem.reason));
  }
  // Notes, not errors: the error count leaves them out.
  const std::vector<fs::LeftOutDir>& left_out = job.left_out();
  for (; left_out_shown_ < left_out.size(); ++left_out_shown_) {
    const fs::LeftOutDir& dir = left_out[left_out_shown_];
    problems_->Add(QString::fromUtf8(dir.path.data(), static_cast<qsizetype>(dir.path.size())),
                   Q(scan::LeftOutReason(dir)));
  }
}

void RunPage::ShowEnd(const TDskFil& job) {
  figures_.ShowEnd(job);
  liCancel_->hide();
  if (!job.failure().empty()) {
    liFil_->setText(Q(" " + job.failure()));
  } else if (job.finished()) {
    liFil_->setText(Q(scan::PhaseText(scan::kNotifyEnd)));
    // Files the parameters leave out count in the total: a finished run is whole.
    ShowBar(scan::PercentText(kFullPercent), kFullPercent, job.files_done(), job.total_bytes(),
            job.total_bytes());
  } else {
    liFil_->setText(kCancelledText);
  }
}

void RunPage::StartScrub(const std::string& volume, int64_t total_bytes) {
  ClearFigures();
  scrub_total_ = total_bytes;
  liPth_->setText("Scrub of " + VisibleName(volume));
  liFil_->setText("Choosing the files checked longest ago");
  liCancel_->hide();
  ShowDone(0, 0, total_bytes);
}

void RunPage::ShowScrubProgress(uint64_t files, uint64_t bytes, const std::string& path) {
  liFil_->setText(VisibleName(path));
  ShowDone(static_cast<int64_t>(files), static_cast<int64_t>(bytes), scrub_total_);
}

void RunPage::AddScrubProblem(const std::string& path, const std::string& reason) {
  problems_->Add(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())), Q(reason));
  liError_->setText(Q(scan::ErrorCountText(problems_->count())));
}

void RunPage::ShowScrubEnd(const std::string& line, uint64_t files, uint64_t bytes) {
  liCancel_->hide();
  // The last progress may not have shown: the scrub reads on while the window draws.
  ShowDone(static_cast<int64_t>(files), static_cast<int64_t>(bytes), scrub_total_);
  liFil_->setText(VisibleLines(line));
}
