#include "app/run/run_control.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/kit/widget_kit.h"
#include "app/run/job_link.h"
#include "app/run/scrub_run.h"
#include "audit/audit_report.h"
#include "audit/verify_plan.h"
#include "lists/list_names.h"
#include "lists/list_paths.h"
#include "platform/files.h"
#include "scan/run_preflight.h"
#include "support/msg.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kCloseQuestion[] = "Thread is still active, terminate it ( as soon as possible )";
constexpr char kCloseCaption[] = "Viv050- Terminate thread";
constexpr char kCompareStopped[] = "the comparison was stopped";
// The stop request a "No" to the close question leaves.
constexpr uint8_t kStopFromClose = 3;
constexpr uint8_t kStopFromCancel = 1;
// How often the window, going, looks whether the job has ended.
constexpr auto kWaitStep = std::chrono::milliseconds(20);

// The refusals of a run's pre-flight, as the window has always worded them.
std::string RefusalText(const scan::RunProblem& problem) {
  const std::string& path = problem.path;
  const std::string what = problem.file == scan::RunFile::kIdList         ? "id list"
                           : problem.file == scan::RunFile::kTreeList     ? "tree list"
                           : problem.file == scan::RunFile::kBackupFolder ? "backup folder"
                                                                          : "list folder";
  switch (problem.refusal) {
    case scan::RunRefusal::kNoListName:
      return "No list names: fill in the search path or a name";
    case scan::RunRefusal::kSameNames:
      return lists::kSameNamesMessage;
    case scan::RunRefusal::kRelativePath:
      return "The search path must begin with \"/\": " + path;
    case scan::RunRefusal::kNoDirectory:
      return "cannot scan " + path + ": no such directory";
    case scan::RunRefusal::kUnreadableDirectory:
      return "cannot read the directory " + path;
    case scan::RunRefusal::kListIsLink:
      return "the " + what + " " + path + " is a symbolic link; give the list itself";
    case scan::RunRefusal::kListNotAFile:
      return "the " + what + " " + path + " is not a regular file";
    case scan::RunRefusal::kFolderUnusable:
      return "the " + what + " " + path + " " + problem.reason + "; nothing was written";
    case scan::RunRefusal::kFolderNotMade:
      return "cannot create the " + what + " " + path + "; nothing was written";
    case scan::RunRefusal::kListHeld:
      return "cannot open the id list " + path + ": " + problem.reason;
    case scan::RunRefusal::kBackUpFailed:
      break;
  }
  return problem.reason + "; nothing was written";
}

std::string VerifyRefusalText(const audit::VerifyPlan& plan, const audit::VerifyRun& verify) {
  switch (plan.refusal) {
    case audit::VerifyRefusal::kNotMounted:
      return plan.reason + "; mount it and verify again";
    case audit::VerifyRefusal::kNoDirectory:
      return "cannot verify " + verify.given_search_path() + ": no such directory";
    default:
      return plan.reason;
  }
}

// What a verify found once its job has ended; unchanged files are kept for the window.
void FinishVerify(audit::VerifyRun& verify, const scan::ScanOutcome& outcome,
                  const std::atomic<bool>* stop, AuditEnd* end) {
  std::string error;
  if (!outcome.failure.empty()) {
    end->error = outcome.failure;
  } else if (!outcome.id_list_written) {
    end->error = audit::kNothingVerified;
  } else if (!verify.Compare(outcome, true, &error, stop)) {
    end->error = error;
  } else if (verify.result()->comparison.stopped) {
    end->error = kCompareStopped;
  } else {
    const std::shared_ptr<audit::AuditResult>& result = verify.result();
    end->notes = audit::ListWarnings(result->old_name, result->old_list);
    if (!outcome.finished) end->notes.push_back(audit::PartialVerifyText(outcome.files_done));
    // The page keeps what it shows, not the lists: a run may take them again.
    result->old_list.ReleaseFile();
    result->new_list.ReleaseFile();
    end->result = result;
  }
}

void CompareFiles(const std::string& old_list, const std::string& new_list, bool relative,
                  const std::atomic<bool>* stop, AuditEnd* end) {
  auto result = std::make_shared<audit::AuditResult>();
  audit::CompareOptions options;
  options.keep_unchanged = true;
  options.relative = relative;
  options.stop = stop;
  std::vector<std::string> errors;
  if (!audit::CompareListFiles(old_list, new_list, options, result.get(), &errors)) {
    for (const std::string& error : errors) end->error += (end->error.empty() ? "" : "; ") + error;
    return;
  }
  if (result->comparison.stopped) {
    end->error = kCompareStopped;
    return;
  }
  end->notes = audit::ListWarnings(old_list, result->old_list);
  for (std::string& note : audit::ListWarnings(new_list, result->new_list)) {
    end->notes.push_back(std::move(note));
  }
  result->old_list.ReleaseFile();
  result->new_list.ReleaseFile();
  end->result = std::move(result);
}

}  // namespace

RunControl::RunControl() : link_(new JobLink(qApp)) {}

bool RunControl::ParseNumbers(const RunFields& fields, scan::RunSettings* settings) {
  // Each field with its range from the one table checker-cli uses, named by its caption.
  const struct {
    const std::string& text;
    scan::SettingRange range;
    const char* name;
  } kNumbers[] = {
      {fields.interval, scan::kIntervalRange, "Interval"},
      {fields.expand, scan::kExpandRange, "Expand"},
      {fields.buffer_percent, scan::kBufferPercentRange, "Max buffer %"},
      {fields.buffer_max, scan::kBufferMaxRange, "Max buffer bytes"},
      {fields.min_blocks, scan::kMinBlocksRange, "Min block count"},
      {fields.threads, scan::kThreadsRange, ""},
  };
  int64_t values[std::size(kNumbers)];
  try {
    for (size_t i = 0; i < std::size(kNumbers); ++i) {
      const auto& number = kNumbers[i];
      values[i] = support::ParseIntegerText(number.text, INT32_MIN, INT32_MAX);
      if (number.range.Holds(values[i])) continue;
      emit info(kInfoAlert, *number.name == 0  // the reader count keeps its own words
                                ? scan::ReadersRangeMessage(number.text)
                                : scan::RangeMessage(number.name, number.range, number.text));
      return false;
    }
  } catch (const support::ConversionError& error) {
    support::MsgSx(error.what(), QCoreApplication::applicationName().toStdString());
    return false;
  }
  settings->interval = static_cast<int16_t>(values[0]);
  settings->expand = static_cast<int32_t>(values[1]);
  settings->buffer_percent = static_cast<int32_t>(values[2]);
  settings->buffer_max = static_cast<int32_t>(values[3]);
  settings->min_blocks = static_cast<uint16_t>(values[4]);
  settings->threads = static_cast<int32_t>(values[5]);
  return true;
}

bool RunControl::Prepare(const scan::RunSettings& settings, const std::string& backup_target) {
  scan::RunPlan plan = scan::CheckRun(settings, {scan::PathForm::kWithParameters, false});
  if (!plan.problem) scan::PrepareRun(settings, backup_target, &plan);
  for (const auto& [file, folder] : plan.made) {
    const char* what = file == scan::RunFile::kBackupFolder ? "backup folder" : "list folder";
    emit info(kInfoStatus, std::string("created the ") + what + " " + folder);
  }
  if (!plan.problem) return true;
  emit info(kInfoAlert, RefusalText(*plan.problem));
  return false;
}

std::unique_ptr<TDskFil> RunControl::SetUpJob(uint8_t mode, const RunFields& fields) {
  // Every number first, so that a bad one starts nothing.
  scan::RunSettings settings;
  if (!ParseNumbers(fields, &settings)) return nullptr;
  settings.mode = mode;
  settings.search_path = fields.search_path;
  settings.job_name = fields.job_name;
  settings.tree_list = fields.tree_list;
  settings.id_list = fields.id_list;
  settings.options = fields.options;
  settings.dir_params = fields.dir_params;
  settings.file_params = fields.file_params;
  settings.volume_list_folder = fields.volume_list_folder;
  settings.backup_folder = fields.backup_folder;
  lists::SerialFromDigits(fields.serial, &settings.volume_serial);
  settings.volume_label = fields.label;
  if (!Prepare(settings, fields.backup_target)) return nullptr;
  return std::make_unique<TDskFil>(link_, std::move(settings));
}

bool RunControl::Start(uint8_t mode, const RunFields& fields) {
  if (JobRunning()) return false;
  std::unique_ptr<TDskFil> job = SetUpJob(mode, fields);
  if (job == nullptr) return false;
  stop_request_ = 0;
  pending_interval_ = -1;
  running_job_ = job.get();
  // At once, not at the first notification: a second click must not start a second job.
  emit starting();
  try {
    job_thread_ = TDskFil::Start(std::move(job));
  } catch (const std::system_error& error) {
    running_job_ = nullptr;
    emit info(kInfoAlert, std::string("cannot start the scan: ") + error.what());
    emit startFailed();
    return false;
  }
  return true;
}

bool RunControl::ToggleCancel() {
  stop_request_ = stop_request_ != 0 ? 0 : kStopFromCancel;
  if (scrubbing_) audit_stop_ = stop_request_ != 0;
  // Withdrawing the stop withdraws a close that waited for it.
  if (stop_request_ == 0) close_at_end_ = false;
  return stop_request_ != 0;
}

void RunControl::SetPendingInterval(int32_t interval) {
  if (!scan::kIntervalRange.Holds(interval)) {
    emit info(kInfoAlert,
              scan::RangeMessage("Interval", scan::kIntervalRange, std::to_string(interval)));
    return;
  }
  pending_interval_ = static_cast<int16_t>(interval);
}

void RunControl::HandOver(TDskFil& job) {
  if (stop_request_ != 0) job.Terminate();
  if (pending_interval_ >= 0) {
    job.set_interval(pending_interval_);
    pending_interval_ = -1;
  }
}

bool RunControl::CloseCheck() {
  // A comparison is stopped by "Yes" (the window goes at its end) as by "No" (the window
  // stays).
  if (close_at_end_) return false;  // asked already: the window goes at the end
  if (audit_running_ && running_job_ == nullptr) {
    const int answer = support::MsgSx(kCloseQuestion, kCloseCaption,
                                      support::kMbYesNoCancel | support::kMbIconQuestion);
    if (answer == support::kIdYes || answer == support::kIdNo) audit_stop_ = true;
    close_at_end_ = answer == support::kIdYes;
    return false;
  }
  if (running_job_ == nullptr || running_job_->Terminated()) return true;
  const int answer = support::MsgSx(kCloseQuestion, kCloseCaption,
                                    support::kMbYesNoCancel | support::kMbIconQuestion);
  // The run may have ended while the question was open.
  if (running_job_ == nullptr) return true;
  // Yes: the run stops at its next notification and the window closes at its end; it
  // never hides while its run goes on.
  if (answer == support::kIdYes) {
    stop_request_ = kStopFromCancel;
    close_at_end_ = true;
    // A verify's comparison would follow the job; it is stopped too.
    audit_stop_ = true;
  }
  if (answer == support::kIdNo) stop_request_ = kStopFromClose;
  return false;
}

void RunControl::Close() {
  link_->MarkClosed();
  running_job_ = nullptr;
}

RunControl::~RunControl() { Shutdown(); }

void RunControl::Shutdown() {
  shut_down_ = true;
  // Until the link is closed a job that has not ended is still alive; from then on it
  // answers "stop" by itself and never reaches a widget.
  if (!link_->closed() && running_job_ != nullptr) running_job_->Terminate();
  link_->MarkClosed();
  running_job_ = nullptr;
  job_thread_.Stop();
  // A notification queued before the link closed still waits for this thread's answer.
  const std::shared_future<scan::ScanOutcome>& done = job_thread_.done();
  while (done.valid() && done.wait_for(kWaitStep) != std::future_status::ready) {
    QCoreApplication::processEvents();
  }
  job_thread_.StopAndJoin();
  // A comparison or scrub still going stops at its next file; its end is dropped.
  audit_stop_ = true;
  if (audit_thread_.joinable()) audit_thread_.join();
}

void RunControl::PostEnd(RunControl* control, AuditEnd end) {
  auto shared = std::make_shared<AuditEnd>(std::move(end));
  // The control outlives the thread (its owner joins it); a call still queued when the
  // control goes is dropped with it.
  QMetaObject::invokeMethod(
      control,
      [control, shared] {
        control->audit_running_ = false;
        control->scrubbing_ = false;
        if (control->shut_down_) return;
        emit control->auditEnded(*shared);
      },
      Qt::QueuedConnection);
}

bool RunControl::StartVerify(const std::string& list) {
  if (JobRunning() || audit_running_) return false;
  auto verify = std::make_shared<audit::VerifyRun>();
  audit::VerifyRequest request;
  request.list = list;
  const audit::VerifyPlan plan = audit::PlanVerify(request, verify.get());
  if (plan.refusal != audit::VerifyRefusal::kNone) {
    emit info(kInfoAlert, VerifyRefusalText(plan, *verify));
    return false;
  }
  auto job = std::make_unique<TDskFil>(link_, plan.settings);
  if (!plan.moved.empty()) emit info(kInfoStatus, plan.moved);
  stop_request_ = 0;
  pending_interval_ = -1;
  running_job_ = job.get();
  audit_running_ = true;
  emit starting();
  try {
    job_thread_ = TDskFil::Start(std::move(job));
  } catch (const std::system_error& error) {
    running_job_ = nullptr;
    audit_running_ = false;
    emit info(kInfoAlert, std::string("cannot start the scan: ") + error.what());
    emit startFailed();
    return false;
  }
  // The comparison waits for the job on a thread of its own; the window stays free.
  const std::shared_future<scan::ScanOutcome> done = job_thread_.done();
  RunControl* self = this;
  if (audit_thread_.joinable()) audit_thread_.join();
  audit_stop_ = false;
  try {
    audit_thread_ = std::thread([verify, done, self, moved = plan.moved]() mutable {
      AuditEnd end;
      end.verify = true;
      try {
        FinishVerify(*verify, done.get(), &self->audit_stop_, &end);
        if (!moved.empty()) end.notes.insert(end.notes.begin(), moved);
      } catch (const std::bad_alloc&) {
        end = AuditEnd();
        end.verify = true;
        end.error = "not enough memory to verify";
      }
      verify.reset();  // its temp folder goes here, off the GUI thread
      PostEnd(self, std::move(end));
    });
  } catch (const std::system_error& error) {
    AuditEnd end;
    end.verify = true;
    end.error = std::string("cannot compare: ") + error.what();
    PostEnd(self, std::move(end));
  }
  return true;
}

bool RunControl::StartCompare(const std::string& old_list, const std::string& new_list,
                              bool relative) {
  if (JobRunning() || audit_running_) return false;
  audit_running_ = true;
  RunControl* self = this;
  if (audit_thread_.joinable()) audit_thread_.join();
  audit_stop_ = false;
  try {
    audit_thread_ = std::thread([old_list, new_list, relative, self] {
      AuditEnd end;
      try {
        CompareFiles(old_list, new_list, relative, &self->audit_stop_, &end);
      } catch (const std::bad_alloc&) {
        end = AuditEnd();
        end.error = "not enough memory to compare " + old_list + " and " + new_list;
      }
      PostEnd(self, std::move(end));
    });
  } catch (const std::system_error& error) {
    audit_running_ = false;
    emit info(kInfoAlert, std::string("cannot compare: ") + error.what());
    return false;
  }
  return true;
}

bool RunControl::StartScrub(const catalogue::CatalogueList& list) {
  if (JobRunning() || audit_running_) return false;
  audit_running_ = true;
  scrubbing_ = true;
  stop_request_ = 0;
  RunControl* self = this;
  if (audit_thread_.joinable()) audit_thread_.join();
  audit_stop_ = false;
  progress_posted_ = false;
  ScrubReports reports;
  // Queued, never blocking: the scrub reads on while the window shows what it did.
  reports.progress = [self](uint64_t files, uint64_t bytes, const std::string& path) {
    if (self->progress_posted_.exchange(true)) return;
    QMetaObject::invokeMethod(
        self,
        [self, files, bytes, path] {
          self->progress_posted_ = false;
          if (!self->shut_down_) emit self->scrubProgress(files, bytes, path);
        },
        Qt::QueuedConnection);
  };
  reports.found = [self](const std::string& path, const std::string& reason) {
    QMetaObject::invokeMethod(
        self,
        [self, path, reason] {
          if (!self->shut_down_) emit self->scrubFound(path, reason);
        },
        Qt::QueuedConnection);
  };
  try {
    audit_thread_ = std::thread([list, reports, self] {
      AuditEnd end;
      try {
        end = RunScrub(list, &self->audit_stop_, reports);
      } catch (const std::bad_alloc&) {
        end = AuditEnd();
        end.scrub = true;
        end.error = "not enough memory to scrub " + list.name;
        end.scrub_line = "scrub: " + end.error;
      }
      PostEnd(self, std::move(end));
    });
  } catch (const std::system_error& error) {
    audit_running_ = false;
    scrubbing_ = false;
    emit info(kInfoAlert, std::string("cannot scrub: ") + error.what());
    return false;
  }
  emit starting();
  return true;
}
