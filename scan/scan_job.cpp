#include "scan/scan_job.h"

#include <algorithm>
#include <exception>
#include <future>
#include <new>
#include <string_view>
#include <thread>
#include <utility>

#include "fs/volume_info.h"
#include "lists/list_format.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "scan/listed_dirs.h"
#include "scan/read_plan.h"
#include "support/msg.h"
#include "support/text.h"

namespace scan {

namespace {

// Options of the directory walks.
constexpr uint32_t kWalkTree =
    fs::walk_option::NoFiles | fs::walk_option::Recurse | fs::walk_option::SumSizes;
constexpr uint32_t kWalkTreeLine = fs::walk_option::NoFiles | fs::walk_option::SumSizes;

// Inside a catch block: what went wrong, as a line for the user.
std::string CurrentFailureText() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "unexpected error";
  }
}

int32_t Ticks() { return static_cast<int32_t>(platform::TickCount()); }

// A text as the lists write it: CR and LF become "?" (one byte for one).
std::string AsListed(std::string text) {
  support::ReplaceLineBreaks(&text);
  return text;
}

scan::RunSettings Named(scan::RunSettings settings, const ScanWindow* window) {
  if (settings.job_name.empty())
    settings.job_name = window == nullptr ? "DskFil" : window->WindowName() + "_DskFil";
  return settings;
}

}  // namespace

std::string LeftOutReason(const fs::LeftOutDir& dir) {
  return "left out by the parameters (" + dir.parameter + ")";
}

void TDskFil::Run() {
  SetSlot(kSlotJobStart, Ticks());
  set_sender_kind(kSenderScan);
  if (Notify(kNotifyGather)) return;
  // An empty start would walk the current directory; there is nothing to catalogue.
  if (settings_.search_path.empty()) return Fail("no search path");
  const std::string root = support::WithTrailingSlash(settings_.search_path);
  dirs_ = std::make_unique<scan::ListedDirs>(root, AsListed(root), settings_.cross_mounts,
                                             &outcome_.other_volumes);
  plan_ = std::make_unique<scan::ReadPlan>(settings_, dirs_.get(), &dir_list_, StopFlag().get(),
                                           &outcome_.other_volumes);
  // Both lists are held before either is touched, so a second run is refused before
  // it changes anything.
  if (IdListFailed(ids_.Hold()) || TreeListFailed(tree_.Hold())) {
    return;
  }
  const bool continued = settings_.mode == kModeContinue;
  if (continued && !CheckIdList()) return;
  plan_->ChooseReaders();
  CountReaders();
  if (continued && tree_.size() > 0 ? !LoadTreeList() : !GatherTree()) return;
  if (IdListFailed(ids_.Prepare(continued, plan_->done()))) return;
  counters_.buffer_size = plan_->AllocateBuffer(settings_.buffer_percent, settings_.buffer_max);
  if (counters_.buffer_size < 0) {
    support::MsgSx(kNoBufferMessage, kScanMessageCaption);
    return Fail(kNoBufferMessage);
  }
  if (Notify(kNotifyScan)) return;
  WriteHeader();
  if (!ScanDirectories()) return;
  outcome_.finished = true;
}

bool TDskFil::CheckIdList() {
  const lists::ListFault fault = ids_.CheckHeader(dirs_->root_listed());
  if (fault != lists::ListFault::kForeign) return !IdListFailed(fault);
  Fail("the id list " + ids_.path() + " does not begin with a header of " + settings_.search_path,
       true);
  return false;
}

// A tree list of this run: its first line is the search path, and every line a directory
// at or below it. Anything else belongs to another run or to nobody.
bool TDskFil::LoadTreeList() {
  size_t bad_line = 0;
  const lists::ListFault fault = tree_.Load(dirs_->root_listed(), &dir_list_, &bad_line);
  const std::string& name = tree_.path();
  if (fault == lists::ListFault::kForeign) {
    Fail("the tree list " + name + " is not one of " + settings_.search_path + " (line " +
             std::to_string(bad_line) + ")",
         true);
    return false;
  }
  if (fault == lists::ListFault::kBlank) {
    Fail("the tree list " + name + " is empty", true);
    return false;
  }
  if (TreeListFailed(fault)) return false;
  counters_.total_bytes = 0;
  run_.set_recorder(&plan_->keeper());
  plan_->StartLookups();
  const std::vector<std::string> listed = std::move(dir_list_.items());
  dir_list_.Clear();
  // Lines below the search path that hold "?" and were gathered again, each up to the
  // first component with one.
  std::vector<std::string> gathered;
  support::StringList scratch;
  for (const std::string& line : listed) {
    if (Terminated()) break;
    if (std::any_of(gathered.begin(), gathered.end(),
                    [&line](const std::string& above) { return line.starts_with(above); })) {
      continue;
    }
    const size_t mark = line.find('?', dirs_->root_listed().size());
    if (mark != std::string::npos) {
      gathered.push_back(line.substr(0, line.find_first_of(platform::kSeparators, mark) + 1));
      GatherAgain(gathered.back());
      continue;
    }
    dir_list_.Add(line);
    std::string reason;
    const std::shared_ptr<platform::DirHandle> dir = dirs_->Open(line, &reason);
    if (dir == nullptr) continue;  // named in the file pass
    const int64_t bytes =
        fs::FilesToStringsAt(&scratch, *dir, line, kWalkTreeLine, &run_, settings_.dir_params);
    if (bytes > 0) counters_.total_bytes += bytes;
    scratch.Clear();
  }
  run_.set_recorder(nullptr);
  counters_.total_bytes += static_cast<int64_t>(plan_->keeper().FinishLookups());
  if (!gathered.empty()) dir_list_.Sort();
  return !Terminated();
}

// A name with CR or LF stands in the tree list with "?", and so may a name that holds a
// "?" itself: the line is no name to open. Each folder of the parent that reads as the
// line is gathered again, with its subdirectories, as the walk of a Create gathers them.
void TDskFil::GatherAgain(const std::string& line) {
  const size_t name_at = line.find_last_of(platform::kSeparators, line.size() - 2) + 1;
  const std::string parent_path = line.substr(0, name_at);
  const std::string_view listed_name =
      std::string_view(line).substr(name_at, line.size() - 1 - name_at);
  std::string reason;
  const std::shared_ptr<platform::DirHandle> parent = dirs_->Open(parent_path, &reason);
  platform::DirReader reader;
  if (parent == nullptr || !reader.Open(*parent)) {
    dir_list_.Add(line);  // the file pass names what is wrong
    return;
  }
  const std::string& params = settings_.dir_params;
  run_.ApplyParams(params, kWalkTree);
  std::vector<std::string> names;
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) {
    if (kind == platform::EntryKind::kDirectory && name.size() == listed_name.size() &&
        AsListed(std::string(name)) == listed_name) {
      names.emplace_back(name);
    }
  }
  reader.Close();
  platform::FileInfo self;
  const uint64_t parent_device = parent->StatSelf(&self) ? self.device : 0;
  fs::VolumeBorder border(settings_.cross_mounts);
  for (const std::string& each : names) {
    const std::string path = parent_path + each + platform::kSeparator;
    if (run_.Matches(fs::MaskListKind::kIncludeDirs, each) &&
        !run_.Matches(fs::MaskListKind::kExcludeDirs, each)) {
      dir_list_.Add(path);
    }
    platform::FileInfo info;
    platform::DirHandle dir;
    if (!run_.Matches(fs::MaskListKind::kIncludeSubdirs, each) ||
        run_.Matches(fs::MaskListKind::kExcludeSubdirs, each) || !parent->Stat(each, &info) ||
        !border.Enters(parent_device, info.device) || !dir.OpenAt(*parent, each)) {
      continue;  // what cannot be entered is named in the file pass
    }
    const int64_t bytes = fs::FilesToStringsAt(&dir_list_, dir, path, kWalkTree, &run_, params);
    if (bytes > 0) counters_.total_bytes += bytes;
  }
}

bool TDskFil::GatherTree() {
  dir_list_.Clear();
  dir_list_.Add(dirs_->root());
  std::vector<fs::WalkError> errors;
  run_.set_errors(&errors);
  run_.set_recorder(&plan_->keeper());
  // With several readers, as many threads look the files up while the walk goes on.
  plan_->StartLookups();
  const int64_t bytes = fs::FilesToStringsSx(&dir_list_, settings_.search_path, kWalkTree, &run_,
                                             {}, settings_.dir_params);
  const auto looked_up = static_cast<int64_t>(plan_->keeper().FinishLookups());
  run_.set_recorder(nullptr);
  run_.set_errors(nullptr);
  counters_.total_bytes = std::max<int64_t>(bytes, 0) + looked_up;
  for (const fs::WalkError& error : errors)
    Problem(error.path, error.reason, ProblemKind::kDirectory);
  // A stop during the walk ends the run here, as one at this notification does.
  if (Notify(kNotifySort)) return false;
  dir_list_.Sort();
  return !TreeListFailed(tree_.Replace(lists::TreeListText(dir_list_)));
}

void TDskFil::WriteHeader() {
  counters_.dir_index = -1;
  counters_.last_dir_index = static_cast<int32_t>(dir_list_.size()) - 1;
  counters_.bytes_done = 0;
  counters_.files_done = 0;
  counters_.dir_bytes = 0;
  counters_.dir_id_sum = 0;
  blank_line_ = true;

  lists::ListOptions options;
  options.hex_file = (settings_.options & kOptHexFile) != 0;
  options.hex_path = (settings_.options & kOptHexPath) != 0;
  options.min_blocks = settings_.min_blocks;
  options.root_column = fs::RootColumn(settings_.search_path);
  writer_ = std::make_unique<lists::IdListWriter>(options);
  const auto mode = settings_.mode == kModeContinue && !ids_.fresh() ? lists::RunMode::kContinue
                    : settings_.mode == kModeUpdate                  ? lists::RunMode::kUpdate
                                                                     : lists::RunMode::kCreate;
  writer_->FormatHeader(mode, settings_.volume_serial, settings_.volume_label, platform::NowLocal(),
                        settings_.search_path);
  ids_.AppendHeader(writer_->line(), writer_->end_stamp_offset());
  outcome_.id_list_written = true;
  SetSlot(kSlotScanLoop, Ticks());
}

bool TDskFil::ScanDirectories() {
  plan_->Start();
  CountReaders();
  while (true) {
    SetSlot(kSlotDirectory, Ticks());
    if (ids_.failed()) return false;
    if (++counters_.dir_index > counters_.last_dir_index) {
      if (counters_.files_done > 0) {
        writer_->FormatTotalsLine(
            counters_.run_id_sum, static_cast<uint64_t>(counters_.total_bytes),
            static_cast<uint64_t>(counters_.files_done), settings_.search_path);
        ids_.Append(writer_->line());
      }
      return !ids_.failed();
    }
    // Between directories a stop takes effect as at a notification.
    if (Terminated()) return false;
    // A directory left midway stays planned: readers may still read from it.
    if (!ScanDirectory(plan_->Front())) return false;
    plan_->PopFront();
  }
}

bool TDskFil::ScanDirectory(scan::PlannedDirectory& dir) {
  const std::string& listed = *dir.listed;
  counters_.current_dir = listed;
  counters_.current_file.clear();
  counters_.dir_bytes = 0;
  // A directory that is not read must not show the bytes done of the one before.
  counters_.dir_bytes_done = 0;
  if (!dir.readable) {
    // Without a reason: on another file system, listed but not entered.
    if (!dir.problem.empty()) Problem(listed, dir.problem, ProblemKind::kDirectory);
    return true;
  }
  writer_->SetDirectory(counters_.current_dir, dir.handle.get());
  for (const fs::WalkError& error : dir.listing_errors)
    Problem(error.path, error.reason, ProblemKind::kDirectory);
  counters_.dir_bytes = std::max<int64_t>(dir.bytes, 0);
  if (dir.order.empty()) return true;
  if (!blank_line_) {
    ids_.Append(lists::kListLineEnd);
    blank_line_ = true;
  }
  counters_.file_index = -1;
  counters_.last_file_index = static_cast<int32_t>(dir.order.size()) - 1;
  SetSlot(kSlotDirectoryFiles, Ticks());
  counters_.dir_id_sum = 0;
  const int32_t files_before = counters_.files_done;
  if (!ScanFiles(dir)) return false;
  // The directory's trailer follows its last file line, when it has one.
  if (counters_.files_done > files_before) {
    writer_->FormatDirectoryLine(counters_.current_dir, counters_.dir_id_sum,
                                 static_cast<uint64_t>(counters_.dir_bytes), dir.order.size());
    ids_.Append(writer_->line());
    counters_.run_id_sum += counters_.dir_id_sum;
  }
  return true;
}

bool TDskFil::ScanFiles(scan::PlannedDirectory& dir) {
  const bool notify_progress = window() != nullptr;
  const scan::DirectoryFiles& files = *dir.files;
  support::FindData find_data;
  for (size_t k = 0; k < dir.order.size(); ++k) {
    ++counters_.file_index;
    if (Terminated()) return false;
    const std::string_view entry = files.name(dir.order[k]);
    SetSlot(kSlotFileStart, Ticks());
    counters_.current_file.assign(entry);
    if (dir.done[k]) continue;
    const content::ReadResult result = plan_->Result(dir, k);
    CountReaders();
    // Given up for a stop: the file is not listed, a Continue reads it again.
    if (result.code == content::kChkStopped) return false;
    SetSlot(kSlotFileEnd, Ticks());
    // A changed file is written as the list has always shown one (id 0), a gone one as
    // one not found.
    const uint8_t code = result.code == content::kChkChanged ? content::kChkOk
                         : result.code == content::kChkGone  ? content::kChkNotFound
                                                             : result.code;
    counters_.dir_id_sum += result.id;
    ++counters_.files_done;
    // The record is the listing's, taken before the file was read: the line shows what
    // the walk saw, and the id is that of those bytes or 0.
    files.FillFindData(dir.order[k], &find_data);
    const int line_errors =
        writer_->FormatFileLine(code, result.id, find_data, entry, &result.first);
    NameFileErrors(result, line_errors, entry);
    if (code != content::kChkNotFound) {
      counters_.dir_bytes_done += static_cast<int64_t>(find_data.size);
      counters_.bytes_done += static_cast<int64_t>(find_data.size);
    }
    ids_.Append(writer_->line());
    if (ids_.failed()) return false;
    blank_line_ = false;
    ids_.Grow(settings_.expand);

    const int16_t wait = interval();
    if (!notify_progress || wait == 0) continue;
    const uint32_t now = platform::TickCount();
    if (wait > 1 && progress_sent_ && now - progress_tick_ < static_cast<uint32_t>(wait)) continue;
    progress_sent_ = true;
    progress_tick_ = now;
    if (Notify(kNotifyProgress)) return false;
  }
  return true;
}

void TDskFil::NameFileErrors(const content::ReadResult& result, int line_errors,
                             std::string_view entry) {
  const char* reason = nullptr;
  ProblemKind kind = ProblemKind::kUnreadable;
  switch (result.code) {
    case content::kChkOk:
    case content::kChkEmpty:
    case content::kChkTooShort:
      break;
    case content::kChkChanged:
      reason = kChangedWhileRead;
      kind = ProblemKind::kChanged;
      ++line_errors;  // its line shows none
      break;
    case content::kChkGone:
      reason = kVanishedBeforeRead;
      kind = ProblemKind::kChanged;
      break;
    case content::kChkNotFound:
      reason = kNoLongerAFile;
      kind = ProblemKind::kChanged;
      break;
    case content::kChkNoBuffer:
    case content::kChkBufferSizeFailed:
      reason = "no read buffer could be allocated";
      break;
    case content::kChkOpenFailed:
      reason = "cannot be opened";
      break;
    default:
      reason = "read error";
      break;
  }
  counters_.error_count += line_errors;
  std::vector<ScanProblem>& problems = outcome_.problems;
  const std::string path = counters_.current_dir + std::string(entry);
  if (result.from_memory) problems.push_back({path, kReadFromMemory, ProblemKind::kFromMemory});
  if (line_errors == 0) return;
  if (reason != nullptr) {
    problems.push_back({path, result.error.empty() ? reason : result.error, kind});
    --line_errors;
  }
  // What is left is a line break the line shows as "?".
  if (line_errors > 0) {
    const bool in_name = entry.find_first_of("\r\n") != std::string_view::npos;
    problems.push_back(
        {path, in_name ? kNameBreaksLine : kDirectoryBreaksLine, ProblemKind::kUnlistable});
  }
}

void TDskFil::Problem(const std::string& path, const std::string& reason, ProblemKind kind) {
  // A directory the walk could not enter is also one the file pass cannot: once.
  if (kind == ProblemKind::kDirectory && !reported_.insert(path).second) return;
  outcome_.problems.push_back({path, reason, kind});
  ++counters_.error_count;
}

void TDskFil::CountReaders() {
  counters_.readers = plan_->readers();
  counters_.readers_most = plan_->readers_most();
}

void TDskFil::EndLists() {
  // The readers go before anything they read from.
  if (plan_ != nullptr) plan_->End();
  if (ids_.held()) {
    lists::ListFault fault;
    if (outcome_.finished && counters_.files_done == 0 && counters_.error_count == 0 &&
        ids_.CanLeaveAsItWas()) {
      // Nothing was left to read: the list stays as it was, without an empty run.
      outcome_.nothing_left = true;
      fault = ids_.LeaveAsItWas();
    } else {
      // Lines still pending are written here; when they cannot be, the run did not finish.
      fault = ids_.Finish(platform::NowLocal(), &outcome_.finished, counters_.error_count > 0);
    }
    IdListFailed(fault);
    IdListFailed(ids_.Release());
  }
  tree_.Release();
  SetSlot(kSlotScanEnd, Ticks());
}

void TDskFil::Fail(const std::string& text, bool refuse) {
  if (refuse) outcome_.refused = true;
  if (outcome_.failure.empty()) outcome_.failure = text;
}

bool TDskFil::ListFailed(lists::ListFault fault, const char* list, const std::string& path,
                         const std::string& error) {
  // In the order of ListFault; the faults past these are worded where they are met.
  static constexpr const char* kVerbs[] = {"",      "open", "read",  "empty", "position in",
                                           "write", "cut",  "stamp", "close"};
  const auto at = static_cast<size_t>(fault);
  if (fault == lists::ListFault::kNone || at >= std::size(kVerbs)) return false;
  Fail(std::string("cannot ") + kVerbs[at] + " the " + list + " " + path + ": " + error);
  return true;
}

bool TDskFil::IdListFailed(lists::ListFault fault) {
  return ListFailed(fault, "id list", ids_.path(), ids_.error());
}

bool TDskFil::TreeListFailed(lists::ListFault fault) {
  return ListFailed(fault, "tree list", tree_.path(), tree_.error());
}

// ---------------------------------------------------------------------------------------
// The job's life: created, started on its thread, notified, ended.

TDskFil::TDskFil(ScanWindow* window, const std::string& job_name, const std::string& search_path)
    : TDskFil(window, [&] {
        scan::RunSettings settings;
        settings.job_name = job_name;
        settings.search_path = search_path;
        return settings;
      }()) {}

TDskFil::TDskFil(ScanWindow* window, scan::RunSettings settings)
    : cmdDisk(window, settings.interval),
      settings_(Named(std::move(settings), window)),
      ids_(settings_.id_list),
      tree_(settings_.tree_list) {
  run_.set_cross_mounts(settings_.cross_mounts);
  run_.set_other_volumes(&outcome_.other_volumes);
  // The tree walks meet each folder once; the file pass lists directories' files only.
  run_.set_left_out(&outcome_.left_out);
  run_.set_stop_flag(StopFlag().get());
}

TDskFil::~TDskFil() = default;

int32_t TDskFil::SendToWindow(const JobEvent& event) { return window()->OnJobNotify(*this, event); }

void TDskFil::Execute() {
  SetSlot(kSlotJobStart, Ticks());
  begin_time_ = platform::NowSerial();
  if (!Notify(kNotifyStart)) {
    outcome_.scanned = true;
    Scan();
    end_time_ = platform::NowSerial();
  }
  end_sent_ = true;
  Notify(kNotifyEnd);
}

void TDskFil::NoteFailure() noexcept {
  try {
    if (outcome_.failure.empty()) outcome_.failure = CurrentFailureText();
  } catch (...) {
    // No memory even for the text; this one fits the string's own storage.
    outcome_.failure = "out of memory";
  }
}

void TDskFil::Scan() {
  try {
    Run();
  } catch (...) {
    NoteFailure();
  }
  EndLists();
}

void TDskFil::RunGuarded() noexcept {
  try {
    Execute();
    return;
  } catch (...) {
    NoteFailure();
  }
  if (end_sent_) return;
  end_sent_ = true;
  try {
    Notify(kNotifyEnd);
  } catch (...) {
    // The window failed at the last notification; the future still tells the end.
  }
}

ScanOutcome TDskFil::Outcome() const {
  ScanOutcome outcome = outcome_;
  outcome.stopped = Terminated() && !outcome_.finished;
  // The walk and the file pass may both meet one.
  outcome.other_volumes.clear();
  for (const std::string& path : outcome_.other_volumes) {
    if (std::find(outcome.other_volumes.begin(), outcome.other_volumes.end(), path) ==
        outcome.other_volumes.end()) {
      outcome.other_volumes.push_back(path);
    }
  }
  std::sort(outcome.left_out.begin(), outcome.left_out.end(),
            [](const fs::LeftOutDir& a, const fs::LeftOutDir& b) { return a.path < b.path; });
  outcome.error_count = counters_.error_count;
  outcome.files_done = counters_.files_done;
  outcome.readers_last = counters_.readers;
  outcome.readers_most = counters_.readers_most;
  return outcome;
}

JobThread TDskFil::Start(std::unique_ptr<TDskFil> job) {
  std::promise<ScanOutcome> promise;
  std::shared_future<ScanOutcome> done = promise.get_future().share();
  std::shared_ptr<std::atomic<bool>> stop = job->StopFlag();
  std::thread thread([job = std::move(job), promise = std::move(promise)]() mutable {
    job->RunGuarded();
    ScanOutcome outcome;
    try {
      outcome = job->Outcome();
    } catch (...) {
      outcome.failure = "out of memory";
    }
    // The job is gone before anyone learns that it ended.
    job.reset();
    promise.set_value(std::move(outcome));
  });
  return JobThread(std::move(thread), std::move(stop), std::move(done));
}

}  // namespace scan
