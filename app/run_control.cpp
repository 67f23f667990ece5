#include "app/run_control.h"

#include <QCoreApplication>
#include <system_error>

#include "app/job_link.h"
#include "app/widget_kit.h"
#include "platform/files.h"
#include "scan/list_paths.h"
#include "support/msg.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

constexpr char kCloseQuestion[] = "Thread is still active, terminate it ( as soon as possible )";
constexpr char kCloseCaption[] = "Viv050- Terminate thread";
// The stop request a "No" to the close question leaves.
constexpr uint8_t kStopFromClose = 3;
constexpr uint8_t kStopFromCancel = 1;

bool IsAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// Digits only, as a 64-bit number of which the low 32 bits count; false without a digit.
bool SerialFromDigits(const std::string& text, uint32_t* serial) {
  uint64_t value = 0;
  bool any = false;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    any = true;
  }
  if (any) *serial = static_cast<uint32_t>(value);
  return any;
}

// The directory a walk of this start path reads: the path itself when it is a directory,
// else the part before its parameters (the first "/" after a blank), less a final mask;
// empty when the path names no directory.
std::string StartDirectory(const std::string& path) {
  if (DirExistsSx(path)) return path;
  std::string start = support::Trim(path);
  if (DirExistsSx(start)) return start;
  for (size_t i = 1; i < start.size(); ++i) {
    if (start[i] == '/' && static_cast<unsigned char>(start[i - 1]) <= ' ') {
      start = support::Trim(std::string_view(start).substr(0, i));
      break;
    }
  }
  if (DirExistsSx(start)) return start;
  // "/data/*.jpg|*.png": masks follow the last "/". A plain name there is a mistyped
  // directory, which would be walked as a mask and give an empty list.
  const size_t slash = start.rfind('/');
  if (slash == std::string::npos || start.find_first_of("*?|", slash + 1) == std::string::npos) {
    return {};
  }
  return start.substr(0, slash + 1);
}

}  // namespace

RunControl::RunControl() : link_(new JobLink(qApp)) {}

bool RunControl::BackUpLists(const std::string& folder, const std::string& tree_list,
                             const std::string& id_list) {
  for (const std::string& list : {tree_list, id_list}) {
    std::string error;
    if (!scan::BackUpList(list, folder, &error)) {
      emit info(kInfoAlert, error + "; nothing was written");
      return false;
    }
  }
  return true;
}

std::unique_ptr<TDskFil> RunControl::SetUpJob(uint8_t mode, const RunFields& fields) {
  // Every number first, so that a bad one starts nothing.
  int32_t interval = 0, expand = 0, buffer_percent = 0, buffer_max = 0, min_blocks = 0;
  int64_t threads = 0;
  try {
    interval =
        static_cast<int32_t>(support::ParseIntegerText(fields.interval, INT32_MIN, INT32_MAX));
    expand = static_cast<int32_t>(support::ParseIntegerText(fields.expand, INT32_MIN, INT32_MAX));
    buffer_percent = static_cast<int32_t>(
        support::ParseIntegerText(fields.buffer_percent, INT32_MIN, INT32_MAX));
    buffer_max =
        static_cast<int32_t>(support::ParseIntegerText(fields.buffer_max, INT32_MIN, INT32_MAX));
    min_blocks =
        static_cast<int32_t>(support::ParseIntegerText(fields.min_blocks, INT32_MIN, INT32_MAX));
    threads = support::ParseIntegerText(fields.threads, INT32_MIN, INT32_MAX);
  } catch (const support::ConversionError& error) {
    MsgSx(error.what(), QCoreApplication::applicationName().toStdString());
    return nullptr;
  }
  if (threads < 0 || threads > kMaxReaders) {
    emit info(kInfoAlert, "Readers must be 0 (chosen by the disk) to " +
                              std::to_string(kMaxReaders) + ": " + fields.threads);
    return nullptr;
  }

  const std::string& id_list = fields.id_list;
  const std::string& tree_list = fields.tree_list;
  if (id_list.empty() || tree_list.empty()) {
    emit info(kInfoAlert, "No list names: fill in the search path or a name");
    return nullptr;
  }
  if (id_list == tree_list) {
    emit info(kInfoAlert, scan::kSameNamesMessage);
    return nullptr;
  }
  const std::string& path = fields.search_path;
  if (!IsAbsolute(support::Trim(path))) {
    emit info(kInfoAlert, "The search path must begin with \"/\": " + path);
    return nullptr;
  }
  const std::string start = StartDirectory(path);
  if (start.empty() || !DirExistsSx(start)) {
    emit info(kInfoAlert, "cannot scan " + path + ": no such directory");
    return nullptr;
  }
  {
    // Another run holding the id list would have its tree list overwritten before the
    // job found out.
    platform::FileInfo info;
    platform::File probe;
    if (platform::StatPath(id_list, &info) &&
        !probe.Open(id_list, platform::OpenMode::kReadWriteLocked)) {
      emit this->info(kInfoAlert, "cannot open the id list " + id_list + ": " + probe.ErrorText());
      return nullptr;
    }
  }
  if (mode == kModeCreate && (fields.options & kOptNoBackUp) == 0 &&
      !BackUpLists(fields.backup_target, tree_list, id_list)) {
    return nullptr;
  }

  auto job = std::make_unique<TDskFil>(link_, "", "");
  job->set_mode(mode);
  job->set_search_path(path);
  job->set_job_name(fields.job_name);
  job->set_tree_list_file(tree_list);
  job->set_id_list_file(id_list);
  job->set_options(fields.options);
  job->set_dir_params(fields.dir_params);
  job->set_file_params(fields.file_params);
  job->set_interval(static_cast<int16_t>(interval));
  job->set_expand(expand);
  job->set_buffer_percent(buffer_percent);
  job->set_buffer_max(buffer_max);
  job->set_volume_list_folder(fields.volume_list_folder);
  job->set_backup_folder(fields.backup_folder);
  uint32_t serial = 0;
  if (SerialFromDigits(fields.serial, &serial)) job->set_volume_serial(serial);
  job->set_volume_label(fields.label);
  job->set_min_blocks(static_cast<uint16_t>(min_blocks));
  job->set_threads(static_cast<int32_t>(threads));
  return job;
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
    job_done_ = TDskFil::Start(std::move(job));
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
  return stop_request_ != 0;
}

void RunControl::SetPendingInterval(int32_t interval) {
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
  if (running_job_ == nullptr || running_job_->Terminated()) return true;
  const int answer =
      MsgSx(kCloseQuestion, kCloseCaption, support::kMbYesNoCancel | support::kMbIconQuestion);
  // The run may have ended while the question was open.
  if (running_job_ == nullptr) return true;
  if (answer == support::kIdYes) {
    running_job_->Terminate();
    return true;
  }
  if (answer == support::kIdNo) stop_request_ = kStopFromClose;
  return false;
}

void RunControl::Close() {
  link_->MarkClosed();
  running_job_ = nullptr;
}

void RunControl::Shutdown() {
  // Until the link is closed a job that has not ended is still alive; from then on it
  // answers "stop" by itself and never reaches a widget.
  if (!link_->closed() && running_job_ != nullptr) running_job_->Terminate();
  link_->MarkClosed();
}
