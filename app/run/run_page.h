#pragma once
// The Run page (tsRun) and its presenter: turns each notification of the scan job into
// the page's texts; the times, the directory's and the run's figures are its figures
// block's. Reads the job only; the stop request and interval belong to run control.

#include <cstdint>
#include <string>

#include "app/run/run_figures.h"
#include "scan/progress_figures.h"
#include "scan/scan_job.h"

class ProblemsList;
class QLabel;
class QProgressBar;
class QPushButton;
class QString;
class QWidget;

class RunPage {
 public:
  // The page, unparented until the window's page control takes it.
  QWidget* Build();

  // GUI thread, while the job's thread waits for the notification to be handled.
  void Present(TDskFil& job, int16_t code);
  // " CANCELLING " shows while a stop request is pending.
  void ShowCancelling(bool pending);
  // "Cancel" may be pressed while a run shows.
  void EnableCancel(bool enabled);
  // "Verify" (bcRunVerify) and "Compare with..." (bcRunCompare), for the window to
  // connect; they may be pressed while nothing runs.
  QPushButton* verify_button() const { return bcRunVerify_; }
  QPushButton* compare_button() const { return bcRunCompare_; }
  void EnableAudit(bool enabled);
  ProblemsList* problems() const { return problems_; }
  // The percent of the bytes done beside the bar and, in the bar, the files done and the
  // bytes done of the total; a total of 0 empties both.
  void ShowDone(int64_t files, int64_t bytes_done, int64_t total_bytes);

  // A scrub of `volume` (its list's bytes: `total_bytes`) begins; the last run's figures go.
  void StartScrub(const std::string& volume, int64_t total_bytes);
  // After each file of the scrub: its figures and the file just read.
  void ShowScrubProgress(uint64_t files, uint64_t bytes, const std::string& path);
  void AddScrubProblem(const std::string& path, const std::string& reason);
  // The scrub's last line, in place of the current file, and the figures it ended with.
  void ShowScrubEnd(const std::string& line, uint64_t files, uint64_t bytes);

 private:
  QWidget* BuildTop();
  void ShowPhase(const TDskFil& job, int16_t code, const QString& elapsed);
  void ShowProgress(TDskFil& job, int16_t code, const scan::ProgressInputs& in,
                    const QString& elapsed);
  void ShowEnd(const TDskFil& job);
  // The percent label and the bar; an empty percent empties both.
  void ShowBar(const std::string& percent, double exact_percent, int64_t files, int64_t bytes_done,
               int64_t total_bytes);
  // The figures of the last run go before a new one shows its own.
  void ClearFigures();
  // The job's problems and folders left out that the list does not show yet.
  void AddNewProblems(const TDskFil& job);

  QLabel* liPth_ = nullptr;
  QLabel* liFil_ = nullptr;
  QLabel* liTotPrc_ = nullptr;
  QLabel* liError_ = nullptr;
  QPushButton* bcRun09_ = nullptr;
  QLabel* liCancel_ = nullptr;
  QPushButton* bcRunVerify_ = nullptr;
  QPushButton* bcRunCompare_ = nullptr;
  QProgressBar* pbRun_ = nullptr;
  RunFigures figures_;
  ProblemsList* problems_ = nullptr;
  // Labels that rarely change are set only when their value did.
  std::string last_shown_dir_;
  int32_t last_shown_errors_ = -1;
  size_t problems_shown_ = 0;
  size_t left_out_shown_ = 0;
  int64_t scrub_total_ = 0;
};
