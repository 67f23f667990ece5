#include "cli/scan_run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>

#include "cli/progress_line.h"
#include "cli/terminal_text.h"
#include "platform/clock.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "lists/list_names.h"

namespace cli {

namespace {

constexpr int kStderr = 2;
// How often the waiting front end looks for a stop signal.
constexpr int kStopPollMs = 20;

// Replies to the job: asks it to stop once a stop signal came, and draws the progress.
class TerminalWindow : public scan::ScanWindow {
 public:
  explicit TerminalWindow(ProgressLine* progress) : progress_(progress) {}

  int32_t OnJobNotify(TDskFil& job, const scan::JobEvent& event) override {
    const int16_t code = event.code;
    if (progress_ != nullptr) {
      ProgressShown shown;
      shown.code = code;
      shown.in = scan::ProgressInputsOf(job, code);
      shown.files_done = job.files_done();
      shown.error_count = job.error_count();
      shown.current_file = job.current_file();
      progress_->Show(shown);
      if (code == scan::kNotifyEnd) progress_->Finish();
    }
    return platform::StopSignalReceived() ? scan::kStopReply : 0;
  }

 private:
  ProgressLine* progress_;
};

}  // namespace

scan::PathVolume VolumeFields(const ScanOptions& options, const std::string& path) {
  scan::PathVolume volume = scan::VolumeOfPath(path);
  if (options.label) volume.label = *options.label;
  if (options.serial) {
    volume.serial = *options.serial;
    volume.serial_text = lists::SerialNumberText(volume.serial);
  }
  return volume;
}

scan::ScanOutcome RunScanJob(const ScanOptions& options, scan::RunSettings settings) {
  auto job = std::make_unique<TDskFil>(nullptr, std::move(settings));

  const bool terminal = platform::IsTerminal(kStderr);
  std::unique_ptr<ProgressLine> progress;
  if (!options.quiet && (terminal || options.progress)) {
    progress = std::make_unique<ProgressLine>(stderr, terminal, platform::TerminalColumns(kStderr));
  }
  TerminalWindow window(progress.get());
  job->set_window(&window);

  platform::IgnoreFileSizeSignal();
  platform::InstallStopSignals();
  // The job also learns of a stop between its notifications (an interval of 0 sends
  // none): the flag outlives the job, so it may be set until the run has ended.
  const std::shared_ptr<std::atomic<bool>> stop = job->StopFlag();
  if (platform::StopSignalReceived()) stop->store(true);
  scan::JobThread thread = TDskFil::Start(std::move(job));
  while (thread.done().wait_for(std::chrono::milliseconds(kStopPollMs)) !=
         std::future_status::ready) {
    if (platform::StopSignalReceived()) thread.Stop();
  }
  return thread.get();
}

int PrintProblems(const scan::ScanOutcome& outcome, bool verbose) {
  // Not problems: said once each, and not counted.
  for (const std::string& path : outcome.other_volumes) {
    PrintMessage("another volume, not entered: " + path);
  }
  if (verbose) {
    for (const fs::LeftOutDir& dir : outcome.left_out) {
      PrintMessage(dir.path + ": " + scan::LeftOutReason(dir));
    }
  }
  int directories_not_read = 0;
  for (const scan::ScanProblem& problem : outcome.problems) {
    switch (problem.kind) {
      case scan::ProblemKind::kDirectory:
        ++directories_not_read;
        PrintMessage("cannot read directory " + problem.path + ": " + problem.reason);
        break;
      case scan::ProblemKind::kUnreadable:
        PrintMessage("cannot read " + problem.path + ": " + problem.reason);
        break;
      case scan::ProblemKind::kChanged:
      case scan::ProblemKind::kUnlistable:
      case scan::ProblemKind::kFromMemory:
        PrintMessage(problem.path + ": " + problem.reason);
        break;
    }
  }
  return directories_not_read;
}

}  // namespace cli
