#pragma once
// The figures block of the Run page (sbRun): the times of the run, the current
// directory's size, bytes done and speed, and the run's totals and readers, each set from
// one notification of the scan job. GUI thread, while the job's thread waits.

#include <cstdint>
#include <string>
#include <unordered_set>

#include "scan/progress_figures.h"
#include "scan/scan_job.h"

class QLabel;
class QLayout;
class QString;
class QWidget;

class RunFigures {
 public:
  // The block, unparented until the page takes it.
  QWidget* Build();

  // A notification of a phase: the times, and at the scan's start the total to read.
  void ShowPhase(const TDskFil& job, int16_t code, const QString& elapsed);
  // A progress or end notification; `dir_changed` when the job is in another directory
  // than the last one shown.
  void ShowProgress(const TDskFil& job, int16_t code, const QString& elapsed,
                    const scan::ProgressFigures& figures, bool dir_changed);
  void ShowEnd(const TDskFil& job);
  // The directory at `path` could not be read: it has no figures to show.
  void MarkUnreadable(const std::string& path);
  // A new run begins: the figures of the last one go; the times a start sets stay.
  void Clear();

 private:
  QLayout* BuildTimes();
  QWidget* BuildDirectory();
  QWidget* BuildTotals();
  void ShowDirectory(const TDskFil& job, bool changed);
  void ShowReaders(const TDskFil& job);

  QLabel* liTme_ = nullptr;
  QLabel* liLeft_ = nullptr;
  QLabel* liTime1_ = nullptr;
  QLabel* liTime2_ = nullptr;
  QLabel* liDirSize_ = nullptr;
  QLabel* liDirDone_ = nullptr;
  QLabel* liDirSpeed_ = nullptr;
  QLabel* liTotSize_ = nullptr;
  QLabel* liTotDone_ = nullptr;
  QLabel* liTotSpeed_ = nullptr;
  QLabel* liTotFil_ = nullptr;
  QLabel* liReaders_ = nullptr;
  std::unordered_set<std::string> unreadable_dirs_;  // of this run
};
