#include "scan/scan_job.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <exception>
#include <new>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>

#include "fs/volume_info.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "content/content_id.h"
#include "lists/list_format.h"
#include "scan/listings.h"
#include "scan/read_pool.h"
#include "support/msg.h"
#include "support/text.h"
#include "support/toolkit.h"

namespace {

// Lines are gathered and written in pieces of this size: one write per many files.
constexpr size_t kFlushSize = 64 * 1024;
// The growth step is used only above this.
constexpr int32_t kMinExpand = 512;
// The shared buffer: shares of available memory above this are capped, the buffer maximum
// counts only above kMinBufferMax, and a refused size shrinks in these steps.
constexpr int32_t kMaxBufferPercent = 80;
constexpr int32_t kMinBufferMax = 31;
constexpr int64_t kBigStep = 104857600;
constexpr int64_t kSmallStep = 1048576;
// The buffer size is a 32-bit field; larger reads gain nothing.
constexpr int64_t kBufferCeiling = 1 << 30;

// What the walk learned of each directory's files is kept up to this much memory; the
// directories past it are listed again when their files are read.
constexpr size_t kKeptListingBytes = 64 * 1048576;
// Readers plan directories (opened, their files sorted) at most this far ahead of the
// lines, and at most twice as many as a walk holds open; each holds a descriptor.
constexpr size_t kPlannedAhead = 64;

// Options of the directory walks.
constexpr uint32_t kWalkTree = walk_option::NoFiles | walk_option::Recurse | walk_option::SumSizes;
constexpr uint32_t kWalkTreeLine = walk_option::NoFiles | walk_option::SumSizes;
constexpr uint32_t kWalkFiles =
    walk_option::NoDirs | walk_option::BareNames | walk_option::SumSizes;

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

// A directory line below `root`: it ends with "/", and none of its components below the
// root is empty, "." or "..".
bool IsDirectoryBelow(std::string_view line, std::string_view root) {
  if (line.size() <= root.size() || line.compare(0, root.size(), root) != 0 || line.back() != '/')
    return false;
  size_t pos = root.size();
  while (pos < line.size()) {
    const size_t slash = line.find('/', pos);
    const std::string_view part = line.substr(pos, slash - pos);
    if (part.empty() || part == "." || part == "..") return false;
    pos = slash + 1;
  }
  return true;
}

}  // namespace

std::string LeftOutReason(const LeftOutDir& dir) {
  return "left out by the parameters (" + dir.parameter + ")";
}

// ---------------------------------------------------------------------------------------
// cmdDisk

cmdDisk::cmdDisk(ScanWindow* window) : window_(window) {}

cmdDisk::~cmdDisk() = default;

bool cmdDisk::Notify(int16_t code) {
  if (window_ == nullptr) return Terminated();
  const auto bits = static_cast<uint16_t>(code);
  record_[3] = static_cast<uint8_t>(bits & 0xFF);
  record_[4] = static_cast<uint8_t>(bits >> 8);
  last_reply_ = SendToWindow(wparam(), lparam());
  if (last_reply_ < kStopReplyLimit) Terminate();
  return Terminated();
}

int32_t cmdDisk::GetSlot(int slot) const {
  if (slot < 0 || static_cast<size_t>(slot) >= slots_.size()) return -1;
  return slots_[slot];
}

uint32_t cmdDisk::ElapsedMs() const {
  return platform::TickCount() - static_cast<uint32_t>(GetSlot(kSlotJobStart));
}

void cmdDisk::SetSlot(int slot, int32_t ticks) {
  if (slot < 0 || slot >= kSlotCount) return;
  if (static_cast<size_t>(slot) >= slots_.size()) slots_.resize(slot + 1, -1);
  slots_[slot] = ticks;
}

uint32_t cmdDisk::wparam() const {
  return record_[0] | (record_[1] << 8) | (record_[2] << 16) |
         (static_cast<uint32_t>(record_[3]) << 24);
}

uint32_t cmdDisk::lparam() const {
  return record_[4] | (record_[5] << 8) | (record_[6] << 16) |
         (static_cast<uint32_t>(record_[7]) << 24);
}

void cmdDisk::set_sender_kind(uint16_t kind) {
  record_[1] = static_cast<uint8_t>(kind & 0xFF);
  record_[2] = static_cast<uint8_t>(kind >> 8);
}

// ---------------------------------------------------------------------------------------
// The id list while a scan writes it: lines are gathered and written in large pieces;
// position() counts what was handed over, written() what reached the file.

namespace {

class ListOutput {
 public:
  platform::File& file() { return file_; }
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }

  // Writing starts at `position` of a file of `size` bytes.
  void StartAt(int64_t position, int64_t size) {
    written_ = position;
    size_ = size;
    started_ = true;
  }

  // After a failed write, what reached the file is kept only when its whole lines reach
  // this far: a line end that only separates what follows goes with it or not at all.
  void KeepFrom(int64_t position) { keep_from_ = position; }

  int64_t position() const { return written_ + static_cast<int64_t>(pending_.size()); }
  int64_t written() const { return written_; }

  void Append(std::string_view text) {
    if (failed_) return;
    pending_.append(text);
    if (pending_.size() >= kFlushSize) Flush();
  }

  // Grows the file by `expand` bytes when the position has reached its end, so that the
  // file system gets the list in few pieces. A refused growth only turns growing off.
  void Grow(int32_t expand) {
    if (expand <= kMinExpand || failed_ || no_growth_) return;
    const int64_t at = position();
    if (at < size_) return;
    if (file_.Reserve(at + expand)) {
      size_ = at + expand;
    } else {
      no_growth_ = true;
    }
  }

  bool Flush() {
    if (failed_) return false;
    if (pending_.empty()) return true;
    if (!file_.Write(pending_)) {
      failed_ = true;
      error_ = file_.ErrorText();
      // Part of the piece may have reached the file (a size limit stops a write midway);
      // whole lines of it are kept, so that the list stays readable and can be continued.
      const int64_t reached = file_.Position() - written_;
      if (reached > 0 && reached <= static_cast<int64_t>(pending_.size())) {
        const size_t line_end =
            std::string_view(pending_).substr(0, static_cast<size_t>(reached)).rfind("\r\n");
        const int64_t kept = written_ + static_cast<int64_t>(line_end + 2);
        if (line_end != std::string::npos && kept >= keep_from_) written_ = kept;
      }
      pending_.clear();
      return false;
    }
    written_ += static_cast<int64_t>(pending_.size());
    size_ = std::max(size_, written_);
    pending_.clear();
    return true;
  }

  // Cuts the file after the last data that reached it; nothing to cut before StartAt.
  bool Cut() { return !started_ || file_.SetSize(written_); }

 private:
  platform::File file_;
  std::string pending_;
  int64_t written_ = 0;
  int64_t size_ = 0;
  int64_t keep_from_ = 0;
  bool started_ = false;  // a list that could not be read is never cut
  bool failed_ = false;
  bool no_growth_ = false;
  std::string error_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// The scan proper. Owns what lives only during the scan: the open id list, the read
// buffer, the done list of a continued run and the line writer.

class TDskFil::Scanner {
 public:
  explicit Scanner(TDskFil& job) : job_(job), stop_(job.StopFlag()) {}
  ~Scanner() {
    pool_.reset();
    VirtFreeSx(&buffer_, -1);
  }

  // Steps up to the end of the directory loop; returns at a stop or an early end.
  void Run();
  // Cuts and stamps the id list, frees the buffer and the done list, lets the locks go.
  void End();

 private:
  bool LockLists();
  bool LoadTreeList();
  void GatherAgain(const std::string& line);
  bool GatherTree();
  // Tells the walks whether they cross into other file systems and where to name those
  // they do not enter.
  void HandWalkSettings();
  bool PrepareIdList();
  // A continued id list must begin with a header of this search path (or hold nothing).
  bool CheckIdListHeader();
  bool AllocateBuffer();
  void WriteHeader();
  // One directory of the tree list made ready for its lines: opened, its files known
  // and sorted. With readers it is made ahead of its lines; what it found wrong is only
  // counted when its lines are written, so that every notification shows what a run
  // with one reader shows.
  struct PlannedDirectory {
    const std::string* listed = nullptr;
    bool readable = false;
    std::string problem;  // why it was not read
    std::vector<WalkError> listing_errors;
    std::shared_ptr<platform::DirHandle> handle;
    std::unique_ptr<scan::DirectoryFiles> files;
    std::vector<uint32_t> order;  // the files its lines show, sorted
    std::vector<uint8_t> done;    // per entry of order: listed by an earlier run
    int64_t bytes = 0;            // its files' sizes, as its listing counted them
  };

  // False when the job was told to stop.
  bool ScanDirectories();
  bool ScanFiles(PlannedDirectory& dir);
  // How many threads read: the setting, or chosen for the processor and the disk.
  void ChooseReaders();
  // Starts them when there are more than one.
  void StartLookups();
  void StartReaders();
  // Plans the next directory of the tree list.
  void PlanNext();
  // Hands files to the readers while the read-ahead limits allow.
  void Feed();
  // The run's read buffer; without one, each reader uses its own.
  LentBuffer SharedBuffer() const {
    if (buffer_ == nullptr) return {};
    return {static_cast<uint8_t*>(buffer_), static_cast<uint64_t>(job_.buffer_size_)};
  }
  // The result for entry k of the directory whose lines are being written.
  scan::ReadResult NextResult(const PlannedDirectory& dir, size_t k);
  // The directory of the tree list, opened from the search path down without following
  // a link; null (and *reason set) when it cannot be.
  // A directory on another file system that is not entered gives null with *reason
  // empty; it is named in the job's other volumes.
  std::shared_ptr<platform::DirHandle> OpenListed(const std::string& dir, std::string* reason);
  // Reopens the directory of `depth` in open_dirs_ when it was let go, name by name from
  // the nearest ancestor still open.
  bool HoldListed(size_t depth, std::string* reason);
  // Lets the shallowest open directories go while more than held_most_ below the root
  // are open.
  void LetGoListed();
  // Leaves out the run's own lists when they lie in this directory.
  void DropOwnLists(PlannedDirectory* dir, std::vector<uint8_t>* left_out);
  void Problem(const std::string& path, const std::string& reason, ProblemKind kind) {
    // A directory the walk could not enter is also one the file pass cannot: once.
    if (kind == ProblemKind::kDirectory && !reported_.insert(path).second) return;
    job_.problems_.push_back({path, reason, kind});
    ++job_.error_count_;
  }
  // Names each error of a file's line (and a change the line does not count), so that
  // the problems of a run are as many as its errors.
  void NameFileErrors(const scan::ReadResult& result, int line_errors, std::string_view entry);
  void Fail(const std::string& text) {
    if (job_.failure_.empty()) job_.failure_ = text;
  }
  void Refuse(const std::string& text) {
    job_.refused_ = true;
    Fail(text);
  }

  TDskFil& job_;
  // The job's stop flag, held here so that testing it costs no count of references.
  const std::shared_ptr<std::atomic<bool>> stop_;
  ListOutput out_;
  bool list_open_ = false;
  bool id_list_created_ = false;
  platform::File tree_lock_;
  bool tree_list_created_ = false;
  bool tree_list_written_ = false;
  bool prepared_ = false;
  std::string root_;         // the search path with "/"
  std::string root_listed_;  // the same as the lists write it
  // Root, then each component below it (null when let go), and their devices.
  std::vector<std::shared_ptr<platform::DirHandle>> open_dirs_;
  std::vector<std::string> open_names_;
  std::vector<uint64_t> open_devices_;
  const size_t held_most_ = HeldDirectories();
  const size_t planned_most_ = std::min(kPlannedAhead, 2 * held_most_);
  VolumeBorder border_{false};
  scan::ListingKeeper keeper_{kKeptListingBytes};
  std::unordered_set<std::string_view> seen_;
  std::deque<std::unique_ptr<PlannedDirectory>> planned_;
  bool front_written_ = false;  // planned_.front() is the directory of the lines
  int32_t next_plan_ = 0;       // index in the tree list of the next directory to plan
  size_t feed_dir_ = 0;         // index in planned_ of the directory being fed
  size_t feed_entry_ = 0;       // its next entry to feed
  THddRun file_run_;
  uint32_t file_options_ = 0;
  std::vector<WalkError> walk_errors_;
  std::unordered_set<std::string> reported_;
  struct OwnList {
    platform::FileInfo folder;
    std::string name;
  };
  std::vector<OwnList> own_lists_;
  void* buffer_ = nullptr;
  support::StringList done_;
  bool have_done_ = false;
  std::unique_ptr<scan::IdListWriter> writer_;
  // Reads from the buffer and the planned directories: ended before either goes.
  std::unique_ptr<scan::ReadPool> pool_;
  bool adaptive_ = false;    // the reader count follows the throughput
  int32_t cores_ = 1;        // what reads from the page cache are bound by
  int64_t content_end_ = 0;  // where the old content of a continued list ends
  // A Continue whose id list holds no run yet: it writes what a Create writes.
  bool fresh_ = false;
  int64_t header_position_ = -1;
  int64_t header_end_ = -1;
  size_t stamp_offset_ = 0;
  std::string full_path_;
  std::string replaced_path_;
  std::string changed_path_;
  support::FindData find_data_;
  bool blank_line_ = true;
  bool dir_written_ = false;
  bool progress_sent_ = false;
  uint32_t progress_tick_ = 0;
};

void TDskFil::Scanner::Run() {
  job_.SetSlot(kSlotJobStart, Ticks());
  job_.set_sender_kind(kSenderScan);
  if (job_.Notify(kNotifyGather)) return;
  // An empty start would walk the current directory; there is nothing to catalogue.
  if (job_.settings_.search_path.empty()) {
    Fail("no search path");
    return;
  }
  root_ = support::WithTrailingSlash(job_.settings_.search_path);
  root_listed_ = AsListed(root_);
  // Both lists are held before either is touched, so a second run is refused before
  // it changes anything.
  if (!LockLists()) return;
  if (job_.mode_ == kModeContinue && !CheckIdListHeader()) return;
  ChooseReaders();

  const bool reuse_tree = job_.mode_ == kModeContinue && tree_lock_.Size() > 0;
  if (reuse_tree) {
    if (!LoadTreeList()) return;
  } else if (!GatherTree()) {
    return;
  }

  if (!PrepareIdList()) return;
  if (!AllocateBuffer()) return;
  if (job_.Notify(kNotifyScan)) return;
  WriteHeader();
  if (!ScanDirectories()) return;
  job_.finished_ = true;
}

bool TDskFil::Scanner::LockLists() {
  platform::FileInfo info;
  id_list_created_ = !platform::StatPath(job_.settings_.id_list, &info);
  platform::File& file = out_.file();
  if (!file.Open(job_.settings_.id_list, platform::OpenMode::kOpenOrCreateLocked)) {
    id_list_created_ = false;
    Fail("cannot open the id list " + job_.settings_.id_list + ": " + file.ErrorText());
    return false;
  }
  list_open_ = true;
  tree_list_created_ = !platform::StatPath(job_.settings_.tree_list, &info);
  if (!tree_lock_.Open(job_.settings_.tree_list, platform::OpenMode::kOpenOrCreateLocked)) {
    tree_list_created_ = false;
    Fail("cannot open the tree list " + job_.settings_.tree_list + ": " + tree_lock_.ErrorText());
    return false;
  }
  return true;
}

// A tree list of this run: its first line is the search path, and every line a directory
// at or below it with no "." or ".." in it. Anything else (a list cut short by a crash is
// never seen: it is replaced whole) belongs to another run or to nobody.
bool TDskFil::Scanner::LoadTreeList() {
  const std::string& name = job_.settings_.tree_list;
  std::string text;
  const int64_t size = tree_lock_.Size();
  text.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (size < 0 || tree_lock_.Seek(0) != 0 || tree_lock_.Read(text.data(), text.size()) != size) {
    Fail("cannot read the tree list " + name + ": " + tree_lock_.ErrorText());
    return false;
  }
  job_.dir_list_.SetText(text);
  const std::string& root = root_listed_;
  const support::StringList& lines = job_.dir_list_;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool ok = i == 0 ? line == root : IsDirectoryBelow(line, root);
    if (!ok) {
      Refuse("the tree list " + name + " is not one of " + job_.settings_.search_path + " (line " +
             std::to_string(i + 1) + ")");
      return false;
    }
  }
  if (lines.empty()) {
    Refuse("the tree list " + name + " is empty");
    return false;
  }
  job_.total_bytes_ = 0;
  HandWalkSettings();
  job_.run_.set_recorder(&keeper_);
  job_.run_.set_stop_flag(stop_.get());
  StartLookups();
  const std::vector<std::string> listed = std::move(job_.dir_list_.items());
  job_.dir_list_.Clear();
  // Lines below the search path that hold "?" and were gathered again, each up to the
  // first component with one.
  std::vector<std::string> gathered;
  for (const std::string& line : listed) {
    if (job_.Terminated()) break;
    if (std::any_of(gathered.begin(), gathered.end(),
                    [&line](const std::string& above) { return line.starts_with(above); })) {
      continue;
    }
    const size_t mark = line.find('?', root_listed_.size());
    if (mark != std::string::npos) {
      gathered.push_back(line.substr(0, line.find('/', mark) + 1));
      GatherAgain(gathered.back());
      continue;
    }
    job_.dir_list_.Add(line);
    std::string reason;
    const std::shared_ptr<platform::DirHandle> dir = OpenListed(line, &reason);
    if (dir == nullptr) continue;  // named in the file pass
    const int64_t bytes = FilesToStringsAt(&job_.scratch_list_, *dir, line, kWalkTreeLine,
                                           &job_.run_, job_.settings_.dir_params);
    if (bytes > 0) job_.total_bytes_ += bytes;
    job_.scratch_list_.Clear();
  }
  job_.run_.set_recorder(nullptr);
  job_.total_bytes_ += static_cast<int64_t>(keeper_.FinishLookups());
  if (!gathered.empty()) job_.dir_list_.Sort();
  return !job_.Terminated();
}

// A name with CR or LF stands in the tree list with "?", and so may a name that holds a
// "?" itself: the line is no name to open. Each folder of the parent that reads as the
// line is gathered again, with its subdirectories, as the walk of a Create gathers them.
void TDskFil::Scanner::GatherAgain(const std::string& line) {
  const size_t name_at = line.rfind('/', line.size() - 2) + 1;
  const std::string parent_path = line.substr(0, name_at);
  const std::string_view listed_name =
      std::string_view(line).substr(name_at, line.size() - 1 - name_at);
  std::string reason;
  const std::shared_ptr<platform::DirHandle> parent = OpenListed(parent_path, &reason);
  platform::DirReader reader;
  if (parent == nullptr || !reader.Open(*parent)) {
    job_.dir_list_.Add(line);  // the file pass names what is wrong
    return;
  }
  const std::string& params = job_.settings_.dir_params;
  job_.run_.ApplyParams(params, kWalkTree);
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
  VolumeBorder border(job_.settings_.cross_mounts);
  for (const std::string& each : names) {
    const std::string path = parent_path + each + "/";
    if (job_.run_.Matches(MaskListKind::kIncludeDirs, each) &&
        !job_.run_.Matches(MaskListKind::kExcludeDirs, each)) {
      job_.dir_list_.Add(path);
    }
    platform::FileInfo info;
    platform::DirHandle dir;
    if (!job_.run_.Matches(MaskListKind::kIncludeSubdirs, each) ||
        job_.run_.Matches(MaskListKind::kExcludeSubdirs, each) || !parent->Stat(each, &info) ||
        !border.Enters(parent_device, info.device) || !dir.OpenAt(*parent, each)) {
      continue;  // what cannot be entered is named in the file pass
    }
    const int64_t bytes =
        FilesToStringsAt(&job_.dir_list_, dir, path, kWalkTree, &job_.run_, params);
    if (bytes > 0) job_.total_bytes_ += bytes;
  }
}

bool TDskFil::Scanner::GatherTree() {
  job_.dir_list_.Clear();
  job_.dir_list_.Add(root_);
  job_.run_.set_errors(&walk_errors_);
  job_.run_.set_stop_flag(stop_.get());
  HandWalkSettings();
  job_.run_.set_recorder(&keeper_);
  // With several readers, as many threads look the files up while the walk goes on.
  StartLookups();
  const int64_t bytes = FilesToStringsSx(&job_.dir_list_, job_.settings_.search_path, kWalkTree,
                                         &job_.run_, {}, job_.settings_.dir_params);
  const auto looked_up = static_cast<int64_t>(keeper_.FinishLookups());
  job_.run_.set_recorder(nullptr);
  job_.run_.set_errors(nullptr);
  job_.total_bytes_ = std::max<int64_t>(bytes, 0) + looked_up;
  for (const WalkError& error : walk_errors_) Problem(error.path, error.reason, ProblemKind::kDirectory);
  walk_errors_.clear();
  // A stop during the walk ends the run here, as one at this notification does.
  if (job_.Notify(kNotifySort)) return false;
  job_.dir_list_.Sort();
  std::string error;
  if (!platform::ReplaceFileLocked(job_.settings_.tree_list, scan::TreeListText(job_.dir_list_),
                                   &tree_lock_, &error)) {
    Fail("cannot write the tree list " + job_.settings_.tree_list + ": " + error);
    return false;
  }
  tree_list_written_ = true;
  return true;
}

void TDskFil::Scanner::HandWalkSettings() {
  for (THddRun* run : {&job_.run_, &file_run_}) {
    run->set_cross_mounts(job_.settings_.cross_mounts);
    run->set_other_volumes(&job_.other_volumes_);
  }
  // The tree walks meet each folder once; the file pass lists directories' files only.
  job_.run_.set_left_out(&job_.left_out_);
}

bool TDskFil::Scanner::PrepareIdList() {
  const std::string& name = job_.settings_.id_list;
  platform::File& file = out_.file();
  prepared_ = true;
  int64_t size = file.Size();
  if (size < 0) {
    Fail("cannot read the id list " + name + ": " + file.ErrorText());
    return false;
  }
  int64_t start = 0;
  if (job_.mode_ != kModeContinue) {
    // Emptied before anything is written: a run killed midway must not leave the old
    // list's tail behind its lines.
    if (size > 0 && !file.SetSize(0)) {
      Fail("cannot empty the id list " + name + ": " + file.ErrorText());
      return false;
    }
    size = 0;
  } else if (size > 0) {
    std::string text(static_cast<size_t>(size), '\0');
    if (file.Seek(0) != 0 || file.Read(text.data(), text.size()) != size) {
      Fail("cannot read the id list " + name + ": " + file.ErrorText());
      return false;
    }
    // A crash while the list was grown leaves NUL bytes after the last line; the new
    // run goes where the lines end.
    size_t end = text.find_last_not_of('\0');
    end = end == std::string::npos ? 0 : end + 1;
    // A run killed in the middle of a write may leave part of a line: it goes, so that
    // the new run never follows a broken line and the file is read again.
    if (end > 0 && std::string_view(text).substr(0, end).substr(end >= 2 ? end - 2 : 0) != "\r\n") {
      const size_t last = std::string_view(text).substr(0, end).rfind("\r\n");
      end = last == std::string::npos ? 0 : last + 2;
    }
    start = static_cast<int64_t>(end);
    text.resize(end);
    scan::ReadDoneList(text, &done_);
    done_.Sort();
    have_done_ = !done_.empty();
  }
  // A list with no run in it yet (a run killed during its walk leaves it empty, a crash
  // while it grew leaves only NULs) is begun as a Create begins one: a header first, no
  // line end before it, so that the next Continue takes it as its own.
  if (job_.mode_ == kModeContinue && start == 0) {
    fresh_ = true;
    if (size > 0 && !file.SetSize(0)) {
      Fail("cannot empty the id list " + name + ": " + file.ErrorText());
      return false;
    }
    size = 0;
  }
  if (file.Seek(start) != start) {
    Fail("cannot position in the id list " + name + ": " + file.ErrorText());
    return false;
  }
  content_end_ = start;
  out_.StartAt(start, size);
  return true;
}

bool TDskFil::Scanner::CheckIdListHeader() {
  platform::File& file = out_.file();
  const int64_t size = file.Size();
  std::string first;
  constexpr size_t kPiece = 65536;
  char piece[kPiece];
  int64_t got = 0;
  if (size < 0 || file.Seek(0) != 0) got = -1;
  // Only the first line is needed; it ends at the first line break.
  while (got >= 0 && first.find_first_of("\r\n") == std::string::npos &&
         static_cast<int64_t>(first.size()) < size) {
    got = file.Read(piece, kPiece);
    if (got <= 0) break;
    first.append(piece, static_cast<size_t>(got));
  }
  if (got < 0) {
    Fail("cannot read the id list " + job_.settings_.id_list + ": " + file.ErrorText());
    return false;
  }
  // A first line without its line end was cut by a crash while it was written, and a
  // list of nothing but the NULs of a crash while it grew holds no run yet: both go.
  const size_t line_end = first.find_first_of("\r\n");
  if (line_end == std::string::npos) {
    const size_t text_end = first.find_first_of('\0');
    const std::string_view cut = std::string_view(first).substr(0, text_end);
    if (cut.empty() ||
        (cut[0] == scan::kRecordHeader && (cut.size() <= scan::kHeaderModeOffset ||
                                           scan::IsRunMode(cut[scan::kHeaderModeOffset])))) {
      return true;
    }
  }
  first.resize(std::min(first.size(), line_end));
  scan::RunHeader header;
  const bool ours = scan::ReadRunHeader(first, &header) && !header.search_path.empty() &&
                    support::WithTrailingSlash(header.search_path) == root_listed_;
  if (!ours) {
    Refuse("the id list " + job_.settings_.id_list + " does not begin with a header of " +
           job_.settings_.search_path);
  }
  return ours;
}

bool TDskFil::Scanner::AllocateBuffer() {
  if (job_.buffer_percent_ < 1) return true;
  const auto percent = static_cast<uint8_t>(std::min(job_.buffer_percent_, kMaxBufferPercent));
  int64_t bytes = static_cast<int64_t>(std::min<uint64_t>(MemPercentSx(percent), kBufferCeiling));
  if (job_.buffer_max_ > kMinBufferMax && job_.buffer_max_ < bytes) bytes = job_.buffer_max_;
  bytes &= ~int64_t{1};
  int64_t size = VirtAllocSx(&buffer_, -1, bytes);
  while (buffer_ == nullptr && bytes > kSmallStep) {
    bytes -= bytes > kBigStep ? kBigStep : kSmallStep;
    size = VirtAllocSx(&buffer_, -1, bytes);
  }
  if (buffer_ == nullptr) {
    job_.buffer_size_ = -1;
    MsgSx(kNoBufferMessage, kScanMessageCaption);
    Fail(kNoBufferMessage);
    return false;
  }
  job_.buffer_size_ = static_cast<int32_t>(std::min<int64_t>(size, INT32_MAX));
  return true;
}

void TDskFil::Scanner::WriteHeader() {
  job_.dir_index_ = -1;
  job_.last_dir_index_ = static_cast<int32_t>(job_.dir_list_.size()) - 1;
  job_.bytes_done_ = 0;
  job_.files_done_ = 0;
  job_.dir_bytes_ = 0;
  job_.dir_id_sum_ = 0;
  blank_line_ = true;
  dir_written_ = false;

  scan::ListOptions options;
  options.hex_file = (job_.settings_.options & kOptHexFile) != 0;
  options.hex_path = (job_.settings_.options & kOptHexPath) != 0;
  options.min_blocks = job_.settings_.min_blocks;
  options.root_column = fs::RootColumn(job_.settings_.search_path);
  writer_ = std::make_unique<scan::IdListWriter>(options);
  const auto mode = job_.mode_ == kModeContinue && !fresh_ ? scan::RunMode::kContinue
                    : job_.mode_ == kModeUpdate            ? scan::RunMode::kUpdate
                                                           : scan::RunMode::kCreate;
  writer_->FormatHeader(mode, job_.settings_.volume_serial, job_.settings_.volume_label, platform::NowLocal(),
                        job_.settings_.search_path);
  header_position_ = out_.position();
  stamp_offset_ = writer_->end_stamp_offset();
  header_end_ = header_position_ + static_cast<int64_t>(writer_->line().size());
  out_.KeepFrom(header_end_);
  out_.Append(writer_->line());
  job_.header_written_ = true;
  job_.SetSlot(kSlotScanLoop, Ticks());
}

std::shared_ptr<platform::DirHandle> TDskFil::Scanner::OpenListed(const std::string& dir,
                                                                  std::string* reason) {
  if (open_dirs_.empty()) {
    auto root = std::make_shared<platform::DirHandle>();
    if (!root->Open(root_)) {
      *reason = root->ErrorText();
      return nullptr;
    }
    platform::FileInfo self;
    open_devices_.assign(1, root->StatSelf(&self) ? self.device : 0);
    border_ = VolumeBorder(job_.settings_.cross_mounts);
    open_dirs_.push_back(std::move(root));
  }
  // A continued run's lines show the search path as the lists write it.
  if (dir.size() < root_.size() ||
      (dir.compare(0, root_.size(), root_) != 0 &&
       dir.compare(0, root_.size(), root_listed_) != 0)) {
    *reason = "not below the search path";
    return nullptr;
  }
  // The tree list is sorted, so most directories share all but their last component
  // with the one before: only what differs is opened. A handle stays open while a
  // planned directory holds it.
  size_t depth = 0;
  size_t pos = root_.size();
  while (pos < dir.size()) {
    const size_t slash = dir.find('/', pos);
    const size_t end = slash == std::string::npos ? dir.size() : slash;
    const std::string_view name = std::string_view(dir).substr(pos, end - pos);
    pos = end + 1;
    if (depth < open_names_.size() && open_names_[depth] == name) {
      ++depth;
      continue;
    }
    open_names_.resize(depth);
    open_dirs_.resize(depth + 1);
    open_devices_.resize(depth + 1);
    if (!HoldListed(depth, reason)) return nullptr;
    const platform::DirHandle& parent = *open_dirs_[depth];
    // Looked at before it is opened: opening the mount point of an automounter mounts it.
    platform::FileInfo info;
    const uint64_t device = parent.Stat(name, &info) ? info.device : open_devices_[depth];
    if (!border_.Enters(open_devices_[depth], device)) {
      job_.other_volumes_.push_back(dir.substr(0, pos));
      reason->clear();
      return nullptr;
    }
    auto child = std::make_shared<platform::DirHandle>();
    if (!child->OpenAt(parent, name)) {
      *reason = child->ErrorText();
      return nullptr;
    }
    open_dirs_.push_back(std::move(child));
    open_names_.emplace_back(name);
    open_devices_.push_back(device);
    LetGoListed();
    ++depth;
  }
  open_names_.resize(depth);
  open_dirs_.resize(depth + 1);
  open_devices_.resize(depth + 1);
  if (!HoldListed(depth, reason)) return nullptr;
  return open_dirs_.back();
}

bool TDskFil::Scanner::HoldListed(size_t depth, std::string* reason) {
  if (open_dirs_[depth] != nullptr) return true;
  // The root is never let go.
  size_t from = depth;
  while (open_dirs_[from - 1] == nullptr) --from;
  for (size_t i = from; i <= depth; ++i) {
    auto handle = std::make_shared<platform::DirHandle>();
    if (!handle->OpenAt(*open_dirs_[i - 1], open_names_[i - 1])) {
      *reason = handle->ErrorText();
      return false;
    }
    open_dirs_[i] = std::move(handle);
    LetGoListed();
  }
  return true;
}

void TDskFil::Scanner::LetGoListed() {
  if (open_dirs_.size() <= held_most_ + 1) return;
  size_t held = 0;
  for (size_t i = 1; i < open_dirs_.size(); ++i) held += open_dirs_[i] != nullptr ? 1 : 0;
  for (size_t i = 1; held > held_most_ && i < open_dirs_.size(); ++i) {
    if (open_dirs_[i] == nullptr) continue;
    open_dirs_[i].reset();
    --held;
  }
}

void TDskFil::Scanner::DropOwnLists(PlannedDirectory* dir, std::vector<uint8_t>* left_out) {
  const scan::DirectoryFiles& files = *dir->files;
  platform::FileInfo self;
  bool known = false;
  for (const OwnList& own : own_lists_) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (files.name(i) != own.name || !file_run_.ListsFile(own.name)) continue;
      // Only a directory that holds a file of that name is asked which one it is.
      if (!known && !dir->handle->StatSelf(&self)) return;
      known = true;
      if (own.folder.device != self.device || own.folder.inode != self.inode) continue;
      (*left_out)[i] = 1;
      dir->bytes -= static_cast<int64_t>(files.record(i).size);
    }
  }
}

void TDskFil::Scanner::PlanNext() {
  auto dir = std::make_unique<PlannedDirectory>();
  const std::string& listed = job_.dir_list_[static_cast<size_t>(next_plan_++)];
  dir->listed = &listed;
  // Two names that differ only in a CR or LF stand in the tree list as one line: the
  // directory so named is read once, the other is not found.
  if (!seen_.insert(listed).second) {
    dir->problem = "named twice in the tree list";
    planned_.push_back(std::move(dir));
    return;
  }
  dir->handle = OpenListed(listed, &dir->problem);
  if (dir->handle == nullptr) {
    planned_.push_back(std::move(dir));
    return;
  }
  dir->readable = true;
  // What the walk learned stands for the directory as it is now; a directory it did
  // not read whole, or that lists subdirectories' files too, is listed again.
  const bool flat = (file_options_ & walk_option::Recurse) == 0;
  if (flat) dir->files = keeper_.Take(listed);
  if (dir->files == nullptr) {
    dir->files = std::make_unique<scan::DirectoryFiles>();
    scan::FileGatherer gatherer(dir->files.get());
    file_run_.set_recorder(&gatherer);
    FilesToStringsAt(&job_.scratch_list_, *dir->handle, listed,
                     file_options_ | walk_option::NoFiles, &file_run_, {});
    file_run_.set_recorder(nullptr);
    job_.scratch_list_.Clear();
    dir->listing_errors.swap(walk_errors_);
    walk_errors_.clear();
  }
  const scan::DirectoryFiles& files = *dir->files;
  dir->bytes = static_cast<int64_t>(files.total_size());
  std::vector<uint8_t> left_out(files.size(), 0);
  DropOwnLists(dir.get(), &left_out);
  if ((file_options_ & walk_option::NoFiles) == 0) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (!left_out[i] && file_run_.ListsFile(files.name(i)))
        dir->order.push_back(static_cast<uint32_t>(i));
    }
  }
  std::stable_sort(dir->order.begin(), dir->order.end(), [&files](uint32_t a, uint32_t b) {
    return support::CompareText(files.name(a), files.name(b)) < 0;
  });
  dir->done.assign(dir->order.size(), 0);
  if (have_done_) {
    // Listed by an earlier run: no line, nothing counted. The list holds "?" for CR and
    // LF, so the name on disk is compared the same way. The done list is kept whole
    // (deleting from the middle of a large sorted list costs more than it saves).
    for (size_t k = 0; k < dir->order.size(); ++k) {
      full_path_.assign(listed).append(files.name(dir->order[k]));
      const std::string& listed_as = full_path_.find_first_of("\r\n") == std::string::npos
                                         ? full_path_
                                         : (replaced_path_ = AsListed(full_path_));
      size_t index = 0;
      dir->done[k] = done_.Find(listed_as, &index) ? 1 : 0;
    }
  }
  planned_.push_back(std::move(dir));
}

void TDskFil::Scanner::ChooseReaders() {
  int32_t readers = job_.settings_.threads;
  adaptive_ = readers <= 0;
  cores_ = static_cast<int32_t>(std::max(std::thread::hardware_concurrency(), 1u));
  if (adaptive_) {
    readers = std::min(cores_, kMaxAutoReaders);
    // Parallel reads make a spinning disk seek between the files; the control tries more
    // once reading shows whether they pay.
    if (readers > 1 && fs::OnRotationalDisk(root_)) readers = 1;
  }
  job_.readers_ = std::clamp(readers, 1, adaptive_ ? scan::kMaxAdaptiveReaders : kMaxReaders);
  job_.readers_most_ = job_.readers_;
}

// A chosen count looks the files up with threads of its own count, which follows the
// disk as the readers' does: a cold walk waits on the device as a read does.
void TDskFil::Scanner::StartLookups() {
  if (adaptive_) {
    keeper_.StartLookups(scan::kMaxAdaptiveReaders, stop_.get(),
                         std::make_unique<scan::ReaderControl>(job_.readers_, cores_));
  } else if (job_.readers_ > 1) {
    keeper_.StartLookups(job_.readers_, stop_.get());
  }
}

void TDskFil::Scanner::StartReaders() {
  if (job_.readers_ <= 1 && !adaptive_) return;
  try {
    if (adaptive_) {
      // Every thread is there from the start; the control lets as many take work as pay.
      pool_ = std::make_unique<scan::ReadPool>(
          scan::kMaxAdaptiveReaders, SharedBuffer(), stop_.get(),
          std::make_unique<scan::ReaderControl>(job_.readers_, cores_));
    } else {
      pool_ = std::make_unique<scan::ReadPool>(job_.readers_, SharedBuffer(), stop_.get());
    }
  } catch (const std::exception&) {
    // No threads to be had: the job's own thread reads.
    job_.readers_ = 1;
    job_.readers_most_ = 1;
  }
}

void TDskFil::Scanner::Feed() {
  for (;;) {
    if (feed_dir_ >= planned_.size()) {
      if (planned_.size() >= planned_most_ || next_plan_ > job_.last_dir_index_) return;
      PlanNext();
      continue;
    }
    const PlannedDirectory& dir = *planned_[feed_dir_];
    if (feed_entry_ >= dir.order.size()) {
      ++feed_dir_;
      feed_entry_ = 0;
      continue;
    }
    const uint32_t i = dir.order[feed_entry_];
    const scan::DirectoryFiles::Record& record = dir.files->record(i);
    if (dir.done[feed_entry_] || !record.found) {
      ++feed_entry_;
      continue;
    }
    if (!pool_->HasRoom(record.size)) return;
    pool_->Push(scan::ReadRequest{dir.handle.get(), dir.files->name(i), dir.files->listed(i),
                                  job_.settings_.cache});
    ++feed_entry_;
  }
}

scan::ReadResult TDskFil::Scanner::NextResult(const PlannedDirectory& dir, size_t k) {
  const uint32_t i = dir.order[k];
  const scan::DirectoryFiles::Record& record = dir.files->record(i);
  if (!record.found) {
    // Listed, and gone before the walk looked it up.
    scan::ReadResult result;
    result.code = kChkGone;
    return result;
  }
  if (pool_ != nullptr) {
    Feed();
    scan::ReadResult result = pool_->Take();
    if (adaptive_) {
      job_.readers_ = pool_->active_readers();
      job_.readers_most_ = std::max(job_.readers_most_, pool_->most_readers());
    }
    return result;
  }
  return scan::ReadListedFile(scan::ReadRequest{dir.handle.get(), dir.files->name(i),
                                                dir.files->listed(i), job_.settings_.cache},
                              SharedBuffer(), StopTest{stop_.get(), nullptr});
}

bool TDskFil::Scanner::ScanDirectories() {
  scan::IdListWriter& writer = *writer_;
  file_run_.set_errors(&walk_errors_);
  file_options_ = file_run_.ApplyParams(job_.settings_.file_params, kWalkFiles);
  for (const std::string* list : {&job_.settings_.id_list, &job_.settings_.tree_list}) {
    const size_t slash = list->rfind('/');
    platform::DirHandle folder;
    OwnList own;
    if (slash == std::string::npos || !folder.Open(list->substr(0, slash + 1)) ||
        !folder.StatSelf(&own.folder)) {
      continue;
    }
    own.name = list->substr(slash + 1);
    own_lists_.push_back(std::move(own));
  }
  StartReaders();
  while (true) {
    job_.SetSlot(kSlotDirectory, Ticks());
    if (dir_written_) {
      writer.FormatDirectoryLine(job_.current_dir_, job_.dir_id_sum_,
                                 static_cast<uint64_t>(job_.dir_bytes_),
                                 planned_.front()->order.size());
      out_.Append(writer.line());
      job_.run_id_sum_ += job_.dir_id_sum_;
      dir_written_ = false;
    }
    if (front_written_) {
      planned_.pop_front();
      if (feed_dir_ > 0) --feed_dir_;
      front_written_ = false;
    }
    if (out_.failed()) return false;
    ++job_.dir_index_;
    if (job_.dir_index_ > job_.last_dir_index_) {
      if (job_.files_done_ > 0) {
        writer.FormatTotalsLine(job_.run_id_sum_, static_cast<uint64_t>(job_.total_bytes_),
                                static_cast<uint64_t>(job_.files_done_), job_.settings_.search_path);
        out_.Append(writer.line());
      }
      return !out_.failed();
    }
    // Between directories a stop takes effect as at a notification.
    if (job_.Terminated()) return false;
    if (planned_.empty()) PlanNext();
    PlannedDirectory& dir = *planned_.front();
    front_written_ = true;
    const std::string& listed = *dir.listed;
    job_.current_dir_ = listed;
    job_.current_file_.clear();
    job_.dir_bytes_ = 0;
    // A directory that is not read must not show the bytes done of the one before.
    job_.dir_bytes_done_ = 0;
    dir_written_ = false;
    if (!dir.readable) {
      // Without a reason: on another file system, listed but not entered.
      if (!dir.problem.empty()) Problem(listed, dir.problem, ProblemKind::kDirectory);
      continue;
    }
    writer.SetDirectory(job_.current_dir_, dir.handle.get());
    for (const WalkError& error : dir.listing_errors) Problem(error.path, error.reason, ProblemKind::kDirectory);
    job_.dir_bytes_ = std::max<int64_t>(dir.bytes, 0);
    if (dir.order.empty()) continue;
    if (!blank_line_) {
      out_.Append(scan::kListLineEnd);
      blank_line_ = true;
    }
    job_.file_index_ = -1;
    job_.last_file_index_ = static_cast<int32_t>(dir.order.size()) - 1;
    job_.SetSlot(kSlotDirectoryFiles, Ticks());
    job_.dir_bytes_done_ = 0;
    job_.dir_id_sum_ = 0;
    if (!ScanFiles(dir)) return false;
  }
}

bool TDskFil::Scanner::ScanFiles(PlannedDirectory& dir) {
  scan::IdListWriter& writer = *writer_;
  const bool notify_progress = job_.window_ != nullptr;
  const std::atomic<bool>* stop = stop_.get();
  const scan::DirectoryFiles& files = *dir.files;
  for (size_t k = 0; k < dir.order.size(); ++k) {
    ++job_.file_index_;
    if (stop->load(std::memory_order_relaxed)) return false;
    const std::string_view entry = files.name(dir.order[k]);
    job_.SetSlot(kSlotFileStart, Ticks());
    job_.current_file_.assign(entry);
    if (dir.done[k]) continue;
    const scan::ReadResult result = NextResult(dir, k);
    // Given up for a stop: the file is not listed, a Continue reads it again.
    if (result.code == kChkStopped) return false;
    job_.SetSlot(kSlotFileEnd, Ticks());
    // A changed file is written as the list has always shown one (id 0), a gone one as
    // one not found.
    const uint8_t code = result.code == kChkChanged ? kChkOk
                         : result.code == kChkGone  ? kChkNotFound
                                                    : result.code;
    job_.dir_id_sum_ += result.id;
    ++job_.files_done_;
    // The record is the listing's, taken before the file was read: the line shows what
    // the walk saw, and the id is that of those bytes or 0.
    files.FillFindData(dir.order[k], &find_data_);
    const int line_errors =
        writer.FormatFileLine(code, result.id, find_data_, entry, &result.first);
    NameFileErrors(result, line_errors, entry);
    if (code != kChkNotFound) {
      job_.dir_bytes_done_ += static_cast<int64_t>(find_data_.size);
      job_.bytes_done_ += static_cast<int64_t>(find_data_.size);
    }
    out_.Append(writer.line());
    if (out_.failed()) return false;
    dir_written_ = true;
    blank_line_ = false;
    out_.Grow(job_.settings_.expand);

    const int16_t interval = job_.interval_;
    if (!notify_progress || interval == 0) continue;
    const uint32_t now = platform::TickCount();
    if (interval > 1 && progress_sent_ && now - progress_tick_ < static_cast<uint32_t>(interval)) {
      continue;
    }
    progress_sent_ = true;
    progress_tick_ = now;
    if (job_.Notify(kNotifyProgress)) return false;
  }
  return true;
}

void TDskFil::Scanner::NameFileErrors(const scan::ReadResult& result, int line_errors,
                                      std::string_view entry) {
  const char* reason = nullptr;
  ProblemKind kind = ProblemKind::kUnreadable;
  switch (result.code) {
    case kChkOk:
    case kChkEmpty:
    case kChkTooShort:
      break;
    case kChkChanged:
      reason = kChangedWhileRead;
      kind = ProblemKind::kChanged;
      ++line_errors;  // its line shows none
      break;
    case kChkGone:
      reason = kVanishedBeforeRead;
      kind = ProblemKind::kChanged;
      break;
    case kChkNotFound:
      reason = kNoLongerAFile;
      kind = ProblemKind::kChanged;
      break;
    case kChkNoBuffer:
    case kChkBufferSizeFailed:
      reason = "no read buffer could be allocated";
      break;
    case kChkOpenFailed:
      reason = "cannot be opened";
      break;
    default:
      reason = "read error";
      break;
  }
  job_.error_count_ += line_errors;
  if (result.from_memory) {
    changed_path_.assign(job_.current_dir_).append(entry);
    job_.problems_.push_back({changed_path_, kReadFromMemory, ProblemKind::kFromMemory});
  }
  if (line_errors == 0) return;
  changed_path_.assign(job_.current_dir_).append(entry);
  if (reason != nullptr) {
    job_.problems_.push_back({changed_path_, result.error.empty() ? reason : result.error, kind});
    --line_errors;
  }
  // What is left is a line break the line shows as "?".
  if (line_errors > 0) {
    const bool in_name = entry.find_first_of("\r\n") != std::string_view::npos;
    job_.problems_.push_back({changed_path_, in_name ? kNameBreaksLine : kDirectoryBreaksLine,
                              ProblemKind::kUnlistable});
  }
}

void TDskFil::Scanner::End() {
  // The readers go before anything they read from.
  pool_.reset();
  const bool continued = job_.mode_ == kModeContinue && !fresh_;
  if (list_open_) {
    const std::string& name = job_.settings_.id_list;
    platform::File& file = out_.file();
    if (continued && job_.finished_ && job_.files_done_ == 0 && job_.error_count_ == 0 &&
        header_position_ >= 0) {
      // Nothing was left to read: the list stays as it was, without an empty run.
      job_.nothing_left_ = true;
      // Only a tail left by a crash is cut: a cut of nothing would still date the list
      // (its write time names backups) to now.
      if (file.Size() != content_end_ && !file.SetSize(content_end_)) {
        Fail("cannot cut the id list " + name + ": " + file.ErrorText());
      }
    } else {
      // Lines still pending are written here; when they cannot be, the run did not
      // finish.
      out_.Flush();
      if (out_.failed()) {
        job_.finished_ = false;
        Fail("cannot write the id list " + name + ": " + out_.error());
      }
      if (!out_.Cut()) Fail("cannot cut the id list " + name + ": " + file.ErrorText());
      // The stamp goes only over a header that reached the file; after a failed write
      // the state says the run stopped early, so that Continue can finish it.
      if (header_position_ >= 0 && out_.written() >= header_end_) {
        const int64_t at = header_position_ + static_cast<int64_t>(stamp_offset_);
        const std::string stamp =
            scan::EndStamp(platform::NowLocal(),
                           job_.finished_ ? scan::RunState::kFinished : scan::RunState::kStopped,
                           job_.error_count_ > 0);
        if (file.Seek(at) != at || !file.Write(stamp)) {
          Fail("cannot stamp the id list " + name + ": " + file.ErrorText());
        }
      }
    }
    // A list this run created only to hold its lock, and never came to, goes again.
    if (id_list_created_ && !prepared_) platform::RemoveFile(name);
    if (!file.Close()) Fail("cannot close the id list " + name + ": " + file.ErrorText());
    list_open_ = false;
  }
  if (tree_lock_.IsOpen()) {
    if (tree_list_created_ && !tree_list_written_ && tree_lock_.Size() == 0) {
      platform::RemoveFile(job_.settings_.tree_list);
    }
    tree_lock_.Close();
  }
  planned_.clear();
  open_dirs_.clear();
  open_names_.clear();
  keeper_.Clear();
  done_.Clear();
  have_done_ = false;
  VirtFreeSx(&buffer_, -1);
  job_.SetSlot(kSlotScanEnd, Ticks());
}

// ---------------------------------------------------------------------------------------
// TDskFil

TDskFil::TDskFil(ScanWindow* window, const std::string& job_name, const std::string& search_path)
    : TDskFil(window, [&] {
        scan::RunSettings settings;
        settings.job_name = job_name;
        settings.search_path = search_path;
        return settings;
      }()) {}

TDskFil::TDskFil(ScanWindow* window, scan::RunSettings settings)
    : cmdDisk(window), settings_(std::move(settings)) {
  if (settings_.job_name.empty())
    settings_.job_name = window == nullptr ? "DskFil" : window->WindowName() + "_DskFil";
  mode_ = settings_.mode;
  interval_ = settings_.interval;
  buffer_percent_ = settings_.buffer_percent;
  buffer_max_ = settings_.buffer_max;
}

TDskFil::~TDskFil() = default;

int32_t TDskFil::SendToWindow(uint32_t wparam, uint32_t lparam) {
  return window_->OnJobNotify(*this, wparam, lparam);
}

void TDskFil::Execute() {
  SetSlot(kSlotJobStart, Ticks());
  begin_time_ = platform::NowSerial();
  if (!Notify(kNotifyStart)) {
    scanned_ = true;
    Scan();
    end_time_ = platform::NowSerial();
  }
  end_sent_ = true;
  Notify(kNotifyEnd);
}

void TDskFil::NoteFailure() noexcept {
  try {
    if (failure_.empty()) failure_ = CurrentFailureText();
  } catch (...) {
    // No memory even for the text; this one fits the string's own storage.
    failure_ = "out of memory";
  }
}

void TDskFil::Scan() {
  Scanner scanner(*this);
  try {
    scanner.Run();
  } catch (...) {
    NoteFailure();
  }
  scanner.End();
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
  ScanOutcome outcome;
  outcome.scanned = scanned_;
  outcome.finished = finished_;
  outcome.stopped = Terminated() && !finished_;
  outcome.nothing_left = nothing_left_;
  outcome.refused = refused_;
  outcome.problems = problems_;
  // The walk and the file pass may both meet one.
  for (const std::string& path : other_volumes_) {
    if (std::find(outcome.other_volumes.begin(), outcome.other_volumes.end(), path) ==
        outcome.other_volumes.end()) {
      outcome.other_volumes.push_back(path);
    }
  }
  outcome.left_out = left_out_;
  std::sort(outcome.left_out.begin(), outcome.left_out.end(),
            [](const LeftOutDir& a, const LeftOutDir& b) { return a.path < b.path; });
  outcome.id_list_written = header_written_;
  outcome.error_count = error_count_;
  outcome.files_done = files_done_;
  outcome.readers_last = readers_;
  outcome.readers_most = readers_most_;
  outcome.failure = failure_;
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

JobThread::JobThread(std::thread thread, std::shared_ptr<std::atomic<bool>> stop,
                     std::shared_future<ScanOutcome> done)
    : thread_(std::move(thread)), stop_(std::move(stop)), done_(std::move(done)) {}

JobThread& JobThread::operator=(JobThread&& other) noexcept {
  StopAndJoin();
  thread_ = std::move(other.thread_);
  stop_ = std::move(other.stop_);
  done_ = std::move(other.done_);
  return *this;
}

void JobThread::Stop() {
  if (stop_ != nullptr) stop_->store(true, std::memory_order_relaxed);
}

ScanOutcome JobThread::get() {
  if (thread_.joinable()) thread_.join();
  return done_.get();
}

void JobThread::StopAndJoin() {
  if (!thread_.joinable()) return;
  Stop();
  thread_.join();
}
