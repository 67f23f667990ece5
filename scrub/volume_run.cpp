#include "scrub/volume_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "catalogue/volumes.h"
#include "lists/list_names.h"
#include "lists/list_reader.h"
#include "platform/paths.h"
#include "scan/read_plan.h"
#include "scrub/check.h"

namespace scrub {

namespace {

using catalogue::CatalogueList;

// Checks written in one transaction: at most this many, or what this many ms read. A run
// at full speed commits seldom, so that the history costs it next to nothing; a kill then
// loses at most its last second.
struct BatchSize {
  size_t checks;
  int64_t ms;
};
constexpr BatchSize kPacedBatch{256, 100};
constexpr BatchSize kFullSpeedBatch{4096, 1000};
// Unseen lines are added to the history this many at a time, to bound the memory.
constexpr size_t kSeenBatch = 10000;
constexpr auto kWaitStep = std::chrono::seconds(1);
// Files read at once by a run paced by a rate or a time.
constexpr int kReaders = 4;
// The buffer the pooled readers share, as verify's by default: small pieces keep many
// reads in flight, where each reader's own large buffer reads a third slower.
constexpr int64_t kSharedBufferBytes = 512000;

// A region for the readers to share, let go at the end of the run.
class SharedBuffer {
 public:
  SharedBuffer() { size_ = content::VirtAllocSx(&region_, -1, kSharedBufferBytes); }
  ~SharedBuffer() { content::VirtFreeSx(&region_, -1); }
  SharedBuffer(const SharedBuffer&) = delete;
  SharedBuffer& operator=(const SharedBuffer&) = delete;
  // Empty when none could be had: each reader then uses its own.
  content::LentBuffer lent() const {
    if (region_ == nullptr || size_ <= 0) return {};
    return {static_cast<uint8_t*>(region_), static_cast<uint64_t>(size_)};
  }

 private:
  void* region_ = nullptr;
  int64_t size_ = -1;
};

bool Stopped(const std::atomic<bool>* stop) {
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The files a scrub can judge: a size and an id, a path the list tells from others.
struct Candidates {
  std::vector<uint32_t> files;  // indexes into IdList::files()
  std::vector<uint64_t> hashes;
  uint64_t bytes = 0;
};

FileKey KeyOf(const lists::IdList& read, const CatalogueList& list, const std::string& volume,
              const lists::ListedFile& file) {
  FileKey key;
  key.volume = volume;
  key.path = catalogue::PathOnVolume(list, read.FullPath(file));
  key.size = file.size;
  key.write_time = file.write_time;
  key.id = catalogue::ContentKey(file.id_text()).value_or(0);
  return key;
}

Candidates CandidatesOf(const lists::IdList& read, const CatalogueList& list) {
  Candidates out;
  const std::vector<lists::ListedFile>& files = read.files();
  for (size_t i = 0; i < files.size(); ++i) {
    const lists::ListedFile& file = files[i];
    if (!file.has_id || !file.has_size || file.ambiguous || file.size == 0) continue;
    const std::optional<int64_t> id = catalogue::ContentKey(file.id_text());
    if (!id) continue;
    const std::string path = catalogue::PathOnVolume(list, read.FullPath(file));
    out.files.push_back(static_cast<uint32_t>(i));
    out.hashes.push_back(LineHash(path, file.size, file.write_time, *id));
    out.bytes += file.size;
  }
  return out;
}

bool ReadHeldList(const std::string& path, bool wait, const std::atomic<bool>* stop,
                  lists::IdList* read, RunResult* result) {
  for (;;) {
    lists::ListReadError error;
    if (lists::ReadIdList(path, read, &error, stop)) return true;
    if (!error.in_use || !wait || Stopped(stop)) {
      result->state = error.stopped || Stopped(stop) ? RunState::kStopped
                      : error.in_use                 ? RunState::kBusy
                                                     : RunState::kListError;
      result->error = error.message;
      return false;
    }
    std::this_thread::sleep_for(kWaitStep);
  }
}

class Batch {
 public:
  Batch(History* history, const VolumeClock& clock, BatchSize size)
      : history_(history), clock_(clock), size_(size) {}
  bool Add(CheckRecord record) {
    pending_.push_back(std::move(record));
    if (pending_.size() < size_.checks && SteadyMs() - since_ < size_.ms) return true;
    return Flush();
  }
  bool Flush() {
    const bool ok = history_->Record(clock_.volume, clock_.now, pending_);
    pending_.clear();
    since_ = SteadyMs();
    return ok;
  }

 private:
  History* history_;
  VolumeClock clock_;
  BatchSize size_;
  std::vector<CheckRecord> pending_;
  int64_t since_ = SteadyMs();
};

bool AddUnseen(History* history, const lists::IdList& read, const CatalogueList& list,
               const std::string& volume, const Candidates& candidates,
               const std::vector<uint32_t>& unseen, const VolumeClock& clock) {
  std::vector<FileKey> keys;
  for (size_t i = 0; i < unseen.size(); ++i) {
    keys.push_back(KeyOf(read, list, volume, read.files()[candidates.files[unseen[i]]]));
    if (keys.size() < kSeenBatch && i + 1 < unseen.size()) continue;
    if (!history->AddSeen(clock.volume, keys, clock.now)) return false;
    keys.clear();
  }
  return true;
}

// Whether the budget lets the file at `position` of the plan start.
bool WithinBudget(const Plan& plan, const Budget& budget, size_t position, uint64_t bytes_done,
                  uint64_t size, int64_t started_ms) {
  if (position < plan.must) return true;
  if (budget.kind == Budget::Kind::kTime) return SteadyMs() - started_ms < budget.seconds * 1000;
  return bytes_done + size <= plan.byte_limit;
}

}  // namespace

std::string VolumeKey(const CatalogueList& list) {
  // Lists without a serial are one volume only with their search path.
  if (list.serial == 0) return "path " + list.search_path;
  return lists::SerialNumberText(list.serial) + " " + list.label;
}

VolumeLock::Result VolumeLock::Take(const std::string& history_path, const std::string& volume_key,
                                    bool wait, const std::atomic<bool>* stop) {
  const std::string folder =
      history_path.substr(0, history_path.find_last_of(platform::kSeparators) + 1) + "locks/";
  if (!platform::MakeDirs(folder)) {
    error_ = "cannot make the folder " + folder;
    return Result::kFailed;
  }
  char name[24];
  std::snprintf(name, sizeof(name), "%016llx.lock",
                static_cast<unsigned long long>(LineHash(volume_key, 0, 0, 0)));
  const std::string path = folder + name;
  for (;;) {
    if (file_.Open(path, platform::OpenMode::kOpenOrCreateLocked)) return Result::kTaken;
    if (file_.ErrorText() != platform::kInUseText) {
      error_ = "cannot lock " + path + ": " + file_.ErrorText();
      return Result::kFailed;
    }
    if (!wait) return Result::kBusy;
    if (Stopped(stop)) return Result::kStopped;
    std::this_thread::sleep_for(kWaitStep);
  }
}

std::string MountedFileOf(const std::vector<catalogue::MountedVolume>& mounted,
                          const CatalogueList& list, const std::string& path) {
  const std::string below = lists::PathBelowRoot(path, list.root_column);
  if (below.empty()) return {};
  const catalogue::VolumeChoice choice = catalogue::ChooseVolume(mounted, list.serial, list.label);
  if (choice.device == 0) return {};
  return catalogue::MountShowing(mounted, choice.device, below).path;
}

namespace {

// Without a rate or a time, files are read as verify reads them, at full speed.
bool Pooled(const RunOptions& options) {
  return options.rate == 0 && options.budget.kind != Budget::Kind::kTime;
}

struct Scrubbing {
  History* history;
  const CatalogueList& list;
  const std::vector<catalogue::MountedVolume>& mounted;
  const RunOptions& options;
  const RunSinks& sinks;
  RunResult* result;
};

// The readers of one run: each takes the next file of the plan while the budget lets it
// start, reads and judges it, and records it. A virtual or network disk reads several
// files at once faster than one after the other, as verify's readers find.
class Readers {
  // A file begun: its line, where it is mounted, and (pooled) what its read needs.
  struct Started {
    CheckRecord record;
    std::string where;
    std::string listed_path;  // as the list has it
    ListedLine listed;
    PreparedCheck check;
  };

 public:
  Readers(const Scrubbing& run, const lists::IdList& read, const Candidates& candidates,
          const Plan& plan, const VolumeClock& clock)
      : run_(run),
        read_(read),
        candidates_(candidates),
        plan_(plan),
        volume_(VolumeKey(run.list)),
        rate_(run.options.rate),
        batch_(run.history, clock, Pooled(run.options) ? kFullSpeedBatch : kPacedBatch) {}

  bool Run() {
    if (Pooled(run_.options)) return RunPooled();
    std::vector<std::thread> threads;
    for (int i = 1; i < kReaders; ++i) threads.emplace_back([this] { Read(); });
    Read();
    for (std::thread& thread : threads) thread.join();
    return ok_ && batch_.Flush();
  }

 private:
  // The next file the budget lets start, or null; Take() starts it.
  const lists::ListedFile* Peek() {
    if (ended_ || next_ >= plan_.order.size() || Stopped(run_.options.stop)) return nullptr;
    const lists::ListedFile& file =
        read_.files()[candidates_.files[OrderIndex(plan_.order[next_])]];
    if (!WithinBudget(plan_, run_.options.budget, next_, started_bytes_, file.size, started_ms_)) {
      ended_ = true;
      return nullptr;
    }
    return &file;
  }

  // Starts the file Peek() gave: its line and where it is mounted.
  Started Take(const lists::ListedFile& file) {
    ++next_;
    started_bytes_ += file.size;
    Started started;
    started.record.key = KeyOf(read_, run_.list, volume_, file);
    started.listed_path = read_.FullPath(file);
    started.where = MountedFileOf(run_.mounted, run_.list, started.listed_path);
    started.listed = {file.size, file.write_time, started.record.key.id};
    return started;
  }

  void Read() {
    std::unique_lock lock(mutex_);
    while (const lists::ListedFile* file = Peek()) {
      Started started = Take(*file);
      lock.unlock();
      const CheckResult check =
          CheckFile(started.where, started.listed, run_.options.rate > 0 ? &rate_ : nullptr,
                    run_.options.stop, run_.options.read_placeholders);
      lock.lock();
      if (check.stopped) break;
      Judged(std::move(started), check);
    }
  }

  // As many as verify starts with for the volume of the first file.
  int32_t StartingReaders() {
    const lists::ListedFile* first = Peek();
    if (first == nullptr) return 1;
    const std::string where = MountedFileOf(run_.mounted, run_.list, read_.FullPath(*first));
    return where.empty() ? 1 : scan::AutoReaders(where);
  }

  // Without a rate or a time, files are read as verify reads them: a pool that splits a
  // large file among its readers and follows what the disk gives, many reads in flight.
  // Each file still starts only once the budget lets it.
  bool RunPooled() {
    const SharedBuffer buffer;
    std::unique_ptr<content::ReadPool> pool;
    try {
      pool = std::make_unique<content::ReadPool>(
          content::kMaxAdaptiveReaders, buffer.lent(), run_.options.stop,
          std::make_unique<content::ReaderControl>(StartingReaders(), scan::Cores()));
    } catch (const std::exception&) {
      Read();  // no threads to be had: this one reads
      return ok_ && batch_.Flush();
    }
    std::deque<Started> reading;  // in the order handed over; a deque keeps their places
    OpenFolder folder;
    for (;;) {
      const lists::ListedFile* file = nullptr;
      while ((file = Peek()) != nullptr && pool->HasRoom(file->size)) {
        Started& started = reading.emplace_back(Take(*file));
        started.check =
            PrepareCheck(started.where, started.listed, &folder, run_.options.read_placeholders);
        if (started.check.read) {
          pool->Push({started.check.dir.get(), started.check.name, started.check.now,
                      content::CacheUse::kDevice});
        } else {
          // Judged at once; nothing of it waits in the pool.
          const CheckResult check = std::move(started.check.result);
          Judged(std::move(started), check);
          reading.pop_back();
        }
      }
      if (reading.empty()) break;
      const CheckResult check =
          JudgeRead(pool->Take(), reading.front().listed, reading.front().check.same_time);
      if (check.stopped) break;
      Judged(std::move(reading.front()), check);
      reading.pop_front();
    }
    pool.reset();
    return ok_ && batch_.Flush();
  }

  void Judged(Started started, const CheckResult& check) {
    RunResult& result = *run_.result;
    CheckRecord& record = started.record;
    const std::string& where = started.where;
    record.time = run_.options.now();
    record.verdict = check.verdict;
    record.id_read = check.id_read;
    // A history that cannot be written ends the run: a check not kept is a check lost.
    if (!batch_.Add(std::move(record))) {
      ok_ = false;
      ended_ = true;
    }
    ++result.files;
    result.bytes += check.bytes_read;
    if (check.verdict != Verdict::kUnchanged || check.from_memory) {
      result.findings.push_back(
          {check.verdict, where, check.reason, check.from_memory, std::move(started.listed_path)});
      if (run_.sinks.found) run_.sinks.found(result.findings.back());
    }
    if (run_.sinks.progress) run_.sinks.progress(result.files, result.bytes, where);
  }

  const Scrubbing& run_;
  const lists::IdList& read_;
  const Candidates& candidates_;
  const Plan& plan_;
  const std::string volume_;
  RateCap rate_;  // shared by the readers
  std::mutex mutex_;
  // Under mutex_:
  Batch batch_;
  size_t next_ = 0;
  uint64_t started_bytes_ = 0;
  bool ended_ = false;
  bool ok_ = true;
  const int64_t started_ms_ = SteadyMs();
};

}  // namespace

RunResult ScrubVolume(History* history, const std::string& history_path, const CatalogueList& list,
                      const std::vector<catalogue::MountedVolume>& mounted,
                      const RunOptions& options, const RunSinks& sinks) {
  RunResult result;
  if (catalogue::ChooseVolume(mounted, list.serial, list.label).device == 0) {
    result.state = RunState::kNotMounted;
    return result;
  }
  const std::string volume = VolumeKey(list);
  VolumeLock lock;
  switch (lock.Take(history_path, volume, options.wait, options.stop)) {
    case VolumeLock::Result::kTaken:
      break;
    case VolumeLock::Result::kBusy:
      result.state = RunState::kBusy;
      return result;
    case VolumeLock::Result::kStopped:
      result.state = RunState::kStopped;
      return result;
    case VolumeLock::Result::kFailed:
      result.state = RunState::kHistoryError;
      result.error = lock.error();
      return result;
  }
  lists::IdList read;
  if (!ReadHeldList(list.path, options.wait, options.stop, &read, &result)) return result;
  const int64_t start = options.now();
  VolumeClock clock;
  StaleTable table;
  Candidates candidates = CandidatesOf(read, list);
  if (!history->StartRun(volume, start, kDaySeconds, &clock) ||
      !history->LoadStale(clock.volume, &table, candidates.files.size())) {
    result.state = RunState::kHistoryError;
    result.error = history->error();
    return result;
  }
  std::vector<uint32_t> unseen;
  std::vector<uint64_t> order = std::move(candidates.hashes);
  OrderStalest(&order, std::move(table), clock.now, &unseen);
  const Plan plan = PlanRun(std::move(order), candidates.bytes, options.budget, clock);
  const Scrubbing run{history, list, mounted, options, sinks, &result};
  if (!AddUnseen(history, read, list, volume, candidates, unseen, clock) ||
      !Readers(run, read, candidates, plan, clock).Run() ||
      !history->EndRun(clock.volume, start, options.now(), result.files, result.bytes,
                       result.findings.size())) {
    result.state = RunState::kHistoryError;
    result.error = history->error();
    return result;
  }
  if (Stopped(options.stop)) result.state = RunState::kStopped;
  return result;
}

}  // namespace scrub
