#pragma once
// The content id of a file: a multiplicative fold of its 16-bit little-endian words
// modulo 4294967295, and the page-rounded read buffer it reads through.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/find_data.h"

namespace platform {
class DirHandle;
class File;
struct FileInfo;
}  // namespace platform

namespace content {

struct FoldState;

// Result codes of FileChkSx.
constexpr uint8_t kChkOk = 0;
constexpr uint8_t kChkReadError = 1;
constexpr uint8_t kChkOpenFailed = 250;
constexpr uint8_t kChkBufferSizeFailed = 251;
constexpr uint8_t kChkNoBuffer = 252;
constexpr uint8_t kChkTooShort = 253;
constexpr uint8_t kChkEmpty = 254;
constexpr uint8_t kChkNotFound = 255;
// Codes of FileChkListed only, never written as such: the file changed since it was
// listed or while it was read (its line is that of code 0 with id 0, but the run counts
// it as an error); the read was given up because the run was told to stop (the file is
// not listed); the file is gone since it was listed (its line is that of code 255).
constexpr uint8_t kChkChanged = 2;
constexpr uint8_t kChkStopped = 3;
constexpr uint8_t kChkGone = 4;

// Computes the id of one file. `id` is 0 unless the whole file was folded; `find_data`
// receives the file's record (taken from the open file, so it describes exactly what was
// read). buffer: a region from VirtAllocSx lent for the call, or null to use an own one;
// buffer_size below 2 (lent) uses the whole region, larger than the region is cut to it;
// below 4 (own) sizes the own buffer from 80 % of the available memory, never larger
// than the file nor than 4 MiB; the own buffer is kept for the thread's next call.
// Reads go in chunks of that size (even), then the rest, then a last odd
// byte; the chunking never changes the id. share_mode (1 or 3) has no effect here.
// Symbolic links, directories and special files are "not found". Never throws; safe on
// any thread as long as a lent buffer is not shared between calls running at once.
uint8_t FileChkSx(const std::string& file_name, uint32_t* id, support::FindData* find_data,
                  int32_t buffer_size, void* buffer, uint8_t share_mode);

// The first bytes of a file of 1 to 5 bytes, which its line shows instead of an id.
constexpr size_t kFirstBytesMax = 5;
struct FirstBytes {
  uint8_t count = 0;
  uint8_t bytes[kFirstBytesMax] = {};
};

// What a long read tests between buffers: it gives up once either flag is set. Either
// may be null.
struct StopTest {
  const std::atomic<bool>* first = nullptr;
  const std::atomic<bool>* second = nullptr;
  bool operator()() const {
    return (first != nullptr && first->load(std::memory_order_relaxed)) ||
           (second != nullptr && second->load(std::memory_order_relaxed));
  }
};

// A read buffer lent for one call: `size` bytes (2 or more) at `data`. Without data the
// calling thread's own buffer is used, sized as FileChkSx sizes one.
struct LentBuffer {
  uint8_t* data = nullptr;
  uint64_t size = 0;
};

// What the read of a listed file does with the page cache.
enum class CacheUse : uint8_t {
  kKeep,  // reads through it and leaves it as it is
  // Leaves it as it was: a file of which (nearly) no page was cached before is dropped
  // once it is folded; files under a page are not looked at.
  kDropBehind,
  // The id is that of what the device holds: pages not on the disk yet are written there
  // first, then the file's pages are dropped. Pages that stay (another process maps them)
  // are read past, or, where the file system refuses that, the file is read from memory
  // and said to be; on a file system kept in memory its pages are its disk. A file whose
  // pages are dirty again after the flush is kChkChanged, "still being written".
  // Afterwards as kDropBehind.
  kDevice,
};
constexpr char kStillBeingWritten[] = "still being written (not all of it is on the disk yet)";

// What a listing saw of a regular file: the line shows it, and a read compares the open
// file with it, so that no line gives the bytes of one file the record of another.
struct ListedFile {
  uint64_t size = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t write_ns = 0;
  int64_t change_ns = 0;  // 0: not known
};
ListedFile ListedFileOf(const platform::FileInfo& info);

// The id of the entry `name` of `dir`, which a listing found as `listed`; the line shows
// the record taken then. An empty file is not opened. Of a file of 1 to 5 bytes up to 5
// bytes are read into *first (code kChkTooShort). Any other file is read to exactly its
// listed size, in one read when it fits the buffer, else in chunks of its even part and
// the rest in one read. A file that is not the listed one in the listed state when it is
// opened (replaced, cut, grown or written since), or that changes while it is read, is
// kChkChanged with id 0. One gone since is kChkGone, one that is no regular file any
// more kChkNotFound. Before each read it tests `stop` and gives up with kChkStopped once
// it is set. `error` (may be null) receives the system's text when the file cannot be
// opened or read, or why it is kChkChanged when it is still being written. `cache` says
// what the read does with the page cache; *from_cache (may be null) tells whether the
// file was read from it (see ReadFromCache), *from_memory (may be null) whether a read
// of the device could only read memory (see PrepareListedRead). Never throws; any thread.
uint8_t FileChkListed(const platform::DirHandle& dir, std::string_view name,
                      const ListedFile& listed, LentBuffer buffer, StopTest stop, uint32_t* id,
                      FirstBytes* first, std::string* error = nullptr,
                      CacheUse cache = CacheUse::kKeep, bool* from_cache = nullptr,
                      bool* from_memory = nullptr);

// The parts of FileChkListed, for a large file read by several threads at once. Opens
// the listed file: kChkOk, else the code of its line (kChkGone, kChkNotFound,
// kChkOpenFailed); `error` as above.
uint8_t OpenListedFile(const platform::DirHandle& dir, std::string_view name, platform::File* file,
                       std::string* error = nullptr);
// Readies the open file of `size` bytes for reading by `cache`. kDevice flushes and
// drops its pages; it gives kChkChanged (with kStillBeingWritten in `error`) when some
// are dirty again, kChkReadError when they cannot be written (errno's text in `error`);
// pages that stay make the file read past the cache (File::ReadsPastCache), or, where
// the file system refuses, set *from_memory (may be null): its bytes are memory's, not
// the disk's. Else kChkOk. *drop_after tells whether EndListedRead is to drop the file
// once all of it is folded (a file not cached before). Once per file, after it is
// opened and before any part of it is read: read-ahead of a first part fills the next.
uint8_t PrepareListedRead(platform::File& file, uint64_t size, CacheUse cache, bool* drop_after,
                          std::string* error = nullptr, bool* from_memory = nullptr);
// Whether a read by `cache` of a file of `size` bytes, readied with *drop_after, is
// served from the page cache: known only of a drop-behind read of a file found cached.
bool ReadFromCache(CacheUse cache, uint64_t size, bool drop_after);
// After the last read of a file: drops its pages when drop_after is set.
void EndListedRead(const platform::File& file, bool drop_after);
// Whether the open file is still the listed one as it was listed: kChkOk, kChkChanged,
// or kChkNotFound for one that is no regular file. One look at the open descriptor;
// asked after the open and again after the last read.
uint8_t CheckListedFile(const platform::File& file, const ListedFile& listed);
// Folds `length` bytes from the even `offset` of the open file into *state with
// positioned reads; an odd length ends with the file's last byte as a word. Read past
// the cache, `offset` is a multiple of platform::DirectAlignment(). kChkOk,
// kChkReadError, kChkChanged, kChkNotFound, kChkNoBuffer or kChkStopped. Threads may
// fold different ranges of one file at once, each with its own buffer.
uint8_t FoldFileRange(platform::File& file, uint64_t offset, uint64_t length, LentBuffer buffer,
                      StopTest stop, FoldState* state);

// Maps a region of `size` bytes (whole pages), releasing *region first when set.
// fill >= 0 sets every byte to fill's low byte. Returns the committed size or -1.
int64_t VirtAllocSx(void** region, int fill, int64_t size);
// Committed size of the region, 0 when clear or unknown.
int64_t VirtSizeSx(const void* region);
// Releases the region and clears *region; true when clear already or released.
bool VirtFreeSx(void** region, int64_t size);

}  // namespace content
