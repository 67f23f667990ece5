#pragma once
// One file read from its device and judged against its line, as verify reads: dirty
// pages written first, the cache dropped, pages another process maps read past.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "content/read_pool.h"
#include "platform/files.h"
#include "scrub/history.h"
#include "scrub/rate.h"

namespace scrub {

// A file larger than this is read in slices of it, each told to the rate cap.
constexpr uint64_t kSliceBytes = 8 << 20;

// What the line says of the file.
struct ListedLine {
  uint64_t size = 0;
  uint64_t write_time = 0;  // yyyymmddhhnnss (UTC, as the lists write it)
  int64_t id = 0;           // catalogue::ContentKey
};

struct CheckResult {
  Verdict verdict = Verdict::kUnchanged;
  std::optional<int64_t> id_read;  // ContentKey of what was read
  std::string reason;              // unreadable, missing, changed while read: why
  bool stopped = false;            // given up because `stop` was set: no verdict
  bool from_memory = false;        // the bytes came from memory, not the disk
  uint64_t bytes_read = 0;
};

// The file's write time as a list writes it; 0 when it cannot be shown.
uint64_t WriteTimeNumber(platform::FileTime time);

// Reads the file at `path` (`rate` may be null) and judges it: another size is changed
// without a read; the same size is read, and then another write time is touched (same id)
// or changed, the same write time unchanged or corrupted. Missing and unreadable with
// their reasons; a file whose data is not on this disk is unreadable, left unread, unless
// `read_placeholders`. Never throws; `stop` (may be null) ends a read between buffers.
CheckResult CheckFile(const std::string& path, const ListedLine& listed, RateCap* rate,
                      const std::atomic<bool>* stop, bool read_placeholders);

// CheckFile in two steps, for a pool of readers with many files in flight: first what
// the file's folder and its size tell without reading it (`result`, when `read` is
// false), else what to read; then the verdict of that read.
struct PreparedCheck {
  bool read = false;
  CheckResult result;
  std::shared_ptr<platform::DirHandle> dir;
  std::string name;
  content::ListedFile now;  // as the file is now
  bool same_time = false;
};
// The folder of the file before, kept open for the next of the same folder: a run reads
// a folder's files one after the other, as its list holds them.
struct OpenFolder {
  std::string path;
  std::shared_ptr<platform::DirHandle> dir;
};
// `folder` (may be null) is used when it is the file's, and made the file's.
PreparedCheck PrepareCheck(const std::string& path, const ListedLine& listed, OpenFolder* folder,
                           bool read_placeholders);
CheckResult JudgeRead(const content::ReadResult& read, const ListedLine& listed, bool same_time);

}  // namespace scrub
