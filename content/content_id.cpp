#include "content/content_id.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "content/fold.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "support/toolkit.h"

namespace content {

namespace {

// An own buffer never shrinks below this while retrying.
constexpr uint64_t kOwnBufferFloor = 32000;
constexpr uint64_t kShrinkLarge = 104857600;  // 100 MiB
constexpr uint64_t kShrinkMedium = 1048576;   // 1 MiB, while above 10 MiB
constexpr uint64_t kShrinkMediumAbove = 10485760;
constexpr uint64_t kShrinkSmall = 1024;
// Chunks are 32-bit counts, kept even.
constexpr uint64_t kMaxChunk = 0xfffffffe;
constexpr uint8_t kOwnBufferPercent = 80;
constexpr uint64_t kOwnBufferLimit = 4194304;

// The record of the file to be read. The open descriptor answers first, so a file that
// opens is described by exactly what is read; only when it cannot be opened does a
// lookup decide between "no such file" and "cannot open".
void AssignOpenRecord(const platform::FileInfo& info, std::string_view name,
                      support::FindData* record) {
  support::AssignFileInfo(info, record);
  // Assigned in place, so a record reused from file to file keeps its capacity.
  record->name.assign(name);
}

bool FillRecord(const std::string& file_name, platform::File* file, support::FindData* record) {
  platform::FileInfo info;
  if (file->Open(file_name, platform::OpenMode::kRead) && file->Stat(&info)) {
    const size_t slash = file_name.find_last_of(platform::kSeparators);
    AssignOpenRecord(info, std::string_view(file_name).substr(slash == std::string::npos ? 0 : slash + 1),
                     record);
    record->short_name = platform::ShortNameOf(file_name);
    return true;
  }
  file->Close();
  return support::FindDataSx(file_name, record, 1);
}

// A new region of `*chunk` bytes, shrinking stepwise while the system refuses.
void* AllocateOwnBuffer(uint64_t* chunk) {
  void* region = nullptr;
  uint64_t size = *chunk;
  while (VirtAllocSx(&region, -1, static_cast<int64_t>(size)) < 0) {
    if (size <= kOwnBufferFloor) return nullptr;
    if (size > kShrinkLarge) {
      size -= kShrinkLarge;
    } else if (size > kShrinkMediumAbove) {
      size -= kShrinkMedium;
    } else if (size > kShrinkSmall) {
      size -= kShrinkSmall;
    }
  }
  *chunk = size;
  return region;
}

// The buffer used when none is lent. It survives from file to file on its thread:
// fresh pages fault in one by one, which costs far more than reading into pages that
// are already there (a 1 GiB own buffer per file took over 4 s for a cached 1 GiB file,
// the lent 512000 bytes 0.08 s).
class OwnBuffer {
 public:
  OwnBuffer() = default;
  OwnBuffer(const OwnBuffer&) = delete;
  OwnBuffer& operator=(const OwnBuffer&) = delete;
  ~OwnBuffer() { VirtFreeSx(&region_, -1); }

  // At least *chunk bytes; *chunk shrinks when a new region had to be smaller. Null
  // when the system grants none.
  void* Get(uint64_t* chunk) {
    if (region_ != nullptr && size_ >= *chunk) return region_;
    VirtFreeSx(&region_, -1);
    size_ = 0;
    region_ = AllocateOwnBuffer(chunk);
    if (region_ != nullptr) size_ = static_cast<uint64_t>(VirtSizeSx(region_));
    return region_;
  }

 private:
  void* region_ = nullptr;
  uint64_t size_ = 0;
};

thread_local OwnBuffer t_own_buffer;
// Reads past the cache through a lent buffer too small for an aligned piece use this one.
constexpr uint64_t kPastCacheBufferSize = 1048576;
thread_local OwnBuffer t_past_cache_buffer;

// Files below this size have no id; their line shows their bytes.
constexpr uint64_t kShortFileLimit = 6;

// The buffer for a read of a listed file of `size` bytes: the lent one, or the thread's
// own, sized as FileChkSx sizes one but large enough for a whole file that fits.
bool ListedBuffer(LentBuffer* buffer, uint64_t size) {
  if (buffer->data != nullptr) return buffer->size >= 2;
  uint64_t want = support::MemPercentSx(kOwnBufferPercent);
  if (want == 0 || want > kOwnBufferLimit) want = kOwnBufferLimit;
  if (want > size) want = size;
  void* region = t_own_buffer.Get(&want);
  if (region == nullptr) return false;
  buffer->data = static_cast<uint8_t*>(region);
  // The region is whole pages, so an odd size still fits.
  buffer->size =
      std::min<uint64_t>(static_cast<uint64_t>(VirtSizeSx(region)), std::max<uint64_t>(want, 2));
  return true;
}

// Folds the bytes of one read; only the last read of a file can be odd, and its last
// byte is the low byte of a word whose high byte is 0.
void FoldBytes(const uint8_t* data, uint64_t count, FoldState* state) {
  FoldWords(data, count / 2, state);
  if (count & 1) FoldWord(data[count - 1], state);
}

// A read that failed or ended early: a file swapped for something else since it was
// listed is not found; any other is what the read says.
uint8_t Anomaly(const platform::File& file, uint8_t code) {
  platform::FileInfo info;
  if (!file.Stat(&info) || info.kind != platform::EntryKind::kFile) return kChkNotFound;
  return code;
}

// A read that failed: an error of the file, unless it is no regular file any more.
uint8_t ReadFailure(const platform::File& file, std::string* error) {
  const uint8_t code = Anomaly(file, kChkReadError);
  if (code == kChkReadError && error != nullptr) {
    try {
      *error = file.ErrorText();
    } catch (const std::bad_alloc&) {  // the code alone says enough
    }
  }
  return code;
}

// Reads and folds the file. Returns the result code; *id is set only when every
// recorded byte was folded.
uint8_t FoldFile(platform::File* file, uint64_t size, uint64_t chunk, uint8_t* buffer,
                 uint32_t* id) {
  FoldState state;
  uint64_t remaining = size;
  for (;;) {
    const int64_t got = file->Read(buffer, chunk);
    if (got < 0) return kChkReadError;
    // Read fills the request unless the file ends, so a short read means the file
    // shrank: the id stays 0.
    if (static_cast<uint64_t>(got) < chunk) return kChkChanged;
    remaining -= chunk;
    FoldWords(buffer, chunk / 2, &state);
    if (remaining >= chunk) continue;
    if (remaining > 2) {
      chunk = remaining & ~uint64_t{1};
      continue;
    }
    break;
  }
  if (remaining > 0) {
    // One or two bytes left; a single byte is the low byte of a word whose high byte is
    // 0. A tail that fails or is missing is an error or a shrunk file like any other
    // read, not a zero word.
    buffer[0] = 0;
    buffer[1] = 0;
    const int64_t got = file->Read(buffer, remaining);
    if (got < 0) return kChkReadError;
    if (static_cast<uint64_t>(got) < remaining) return kChkChanged;
    FoldWord(static_cast<uint16_t>(buffer[0] | (buffer[1] << 8)), &state);
  }
  *id = FoldResult(state);
  return kChkOk;
}

// Reads the file opened (or not) by FillRecord and folds it.
uint8_t CheckFile(platform::File* file, uint32_t* id, support::FindData* find_data,
                  int32_t buffer_size, void* buffer) {
  const uint64_t size = find_data->size;
  if (size == 0) return kChkEmpty;
  if (size < 6) return kChkTooShort;
  const uint64_t even_size = size & ~uint64_t{1};

  uint64_t chunk;
  if (buffer != nullptr) {
    // A lent size that cannot hold one word means the whole region; one larger than
    // the region is cut to it, so a wrong size never reads past the buffer.
    const int64_t committed = VirtSizeSx(buffer);
    if (buffer_size < 2) {
      if (committed < 2) return kChkBufferSizeFailed;
      chunk = static_cast<uint64_t>(committed);
    } else {
      chunk = static_cast<uint64_t>(buffer_size);
      if (committed > 0 && chunk > static_cast<uint64_t>(committed)) {
        chunk = static_cast<uint64_t>(committed);
      }
    }
  } else {
    chunk = buffer_size < 4 ? support::MemPercentSx(kOwnBufferPercent)
                            : static_cast<uint64_t>(buffer_size);
    // Memory that cannot be measured is no reason to refuse every file. Beyond a few
    // MiB a larger buffer only reads slower (it no longer stays in the cache).
    if (chunk == 0 || chunk > kOwnBufferLimit) chunk = kOwnBufferLimit;
  }
  if (chunk > kMaxChunk) chunk = kMaxChunk;
  chunk &= ~uint64_t{1};
  if (chunk > even_size) chunk = even_size;
  if (buffer == nullptr) {
    buffer = t_own_buffer.Get(&chunk);
    if (buffer == nullptr) return kChkNoBuffer;
  }

  uint8_t code = kChkOpenFailed;
  if (file->IsOpen()) {
    try {
      code = FoldFile(file, size, chunk, static_cast<uint8_t*>(buffer), id);
    } catch (const std::bad_alloc&) {  // keeping an error text can fail
      *id = 0;
      code = kChkReadError;
    }
  }
  return code;
}

// A file of which less than this share is cached counts as not cached: a few pages
// read by a file manager or a thumbnailer are not worth leaving a large file cached for.
constexpr uint64_t kCachedShare = 32;

// Whether a drop-behind read (a verify too) should drop the file afterwards: only when (nearly) none
// of it was cached before, so what the user had cached stays. A file partly cached
// beyond that is left whole: which pages were there is not kept (that would take a map
// per file). Files under a page cost more to ask about than they could ever hold.
bool ColdBefore(const platform::File& file, uint64_t size, CacheUse cache) {
  if (cache == CacheUse::kKeep || size < platform::PageSize()) return false;
  platform::CacheUsage usage;
  return file.CacheUsageOf(0, 0, &usage) && usage.resident < size / kCachedShare + 1;
}

// Drops the file on every way out of a read, a stopped or failed one too.
class DropBehind {
 public:
  DropBehind(const platform::File& file, const bool& drop) : file_(file), drop_(drop) {}
  ~DropBehind() { EndListedRead(file_, drop_); }
  DropBehind(const DropBehind&) = delete;
  DropBehind& operator=(const DropBehind&) = delete;

 private:
  const platform::File& file_;
  const bool& drop_;  // known once the first read tells
};

// The first read of a file that fits one: by `cache`, it tells whether the file was
// cached before, in place of a question to the kernel of its own (most files of a tree
// fit, and cached ones then cost one call fewer).
int64_t FirstRead(platform::File& file, uint64_t size, uint64_t want, CacheUse cache,
                  LentBuffer buffer, bool* drop_after) {
  if (cache != CacheUse::kDropBehind) return file.Read(buffer.data, want);
  if (want < size || size < platform::PageSize()) {
    *drop_after = ColdBefore(file, size, cache);
    return file.Read(buffer.data, want);
  }
  const int64_t cached = file.ReadCached(buffer.data, size);
  if (cached < 0) {
    *drop_after = ColdBefore(file, size, cache);
    return file.Read(buffer.data, size);
  }
  *drop_after = static_cast<uint64_t>(cached) < size / kCachedShare + 1;
  if (static_cast<uint64_t>(cached) == size) return cached;
  const int64_t rest = file.Read(buffer.data + cached, size - cached);
  return rest < 0 ? rest : cached + rest;
}

// The part of `buffer` a read past the cache can use: an aligned start and whole units
// of the alignment, at least one. Without a lent buffer (or one too small) the thread's
// own buffer, else one kept for such reads.
LentBuffer PastCacheBuffer(LentBuffer buffer, uint64_t size) {
  const uint64_t align = platform::DirectAlignment();
  if (buffer.data == nullptr && !ListedBuffer(&buffer, (size + align - 1) / align * align)) {
    return {};
  }
  const auto start = reinterpret_cast<uintptr_t>(buffer.data);
  const uint64_t skip = (align - start % align) % align;
  if (skip < buffer.size && buffer.size - skip >= align) {
    return {buffer.data + skip, (buffer.size - skip) / align * align};
  }
  uint64_t want = kPastCacheBufferSize;
  void* region = t_past_cache_buffer.Get(&want);
  if (region == nullptr) return {};
  return {static_cast<uint8_t*>(region), static_cast<uint64_t>(VirtSizeSx(region)) / align * align};
}

// The first bytes of a short file into `bytes` (kFirstBytesMax): the count, which may
// be more when the file grew, or -1.
int64_t ReadFirstBytes(platform::File& file, LentBuffer buffer, uint8_t* bytes) {
  if (!file.ReadsPastCache()) return file.Read(bytes, kFirstBytesMax);
  buffer = PastCacheBuffer(buffer, kFirstBytesMax);
  if (buffer.data == nullptr) return -1;
  const int64_t got = file.ReadAt(buffer.data, platform::DirectAlignment(), 0);
  if (got > 0) std::memcpy(bytes, buffer.data, std::min<size_t>(got, kFirstBytesMax));
  return got;
}

// Reads the file through the page cache from its start and folds it: sequential reads,
// the end of the file in one read when it fits, so a file that fits the buffer takes one
// read and nothing more.
uint8_t FoldListed(platform::File& file, uint64_t size, LentBuffer buffer, StopTest stop,
                   CacheUse cache, bool* drop_after, FoldState* state, std::string* error,
                   bool* from_cache) {
  if (!ListedBuffer(&buffer, size)) return kChkNoBuffer;
  const uint64_t chunk = buffer.size & ~uint64_t{1};
  uint64_t left = size;
  while (left > 0) {
    if (stop()) return kChkStopped;
    const uint64_t want = left <= buffer.size ? left : chunk;
    const int64_t got = left == size ? FirstRead(file, size, want, cache, buffer, drop_after)
                                     : file.Read(buffer.data, want);
    if (left == size && from_cache != nullptr) {
      *from_cache = ReadFromCache(cache, size, *drop_after);
    }
    if (got < 0) return ReadFailure(file, error);
    if (static_cast<uint64_t>(got) < want) return Anomaly(file, kChkChanged);
    FoldBytes(buffer.data, want, state);
    left -= want;
  }
  return kChkOk;
}

}  // namespace

uint8_t FileChkSx(const std::string& file_name, uint32_t* id, support::FindData* find_data,
                  int32_t buffer_size, void* buffer, uint8_t /*share_mode*/) {
  uint32_t unused_id = 0;
  if (id == nullptr) id = &unused_id;
  *id = 0;
  support::FindData unused_record;
  if (find_data == nullptr) find_data = &unused_record;

  platform::File file;
  try {
    if (!FillRecord(file_name, &file, find_data)) return kChkNotFound;
  } catch (const std::bad_alloc&) {
    return kChkNotFound;
  }
  const uint8_t code = CheckFile(&file, id, find_data, buffer_size, buffer);
  // A file that shrank keeps id 0 and reads as an ordinary result here.
  return code == kChkChanged ? kChkOk : code;
}

ListedFile ListedFileOf(const platform::FileInfo& info) {
  return ListedFile{info.size, info.device, info.inode, info.write_ns, info.change_ns};
}

uint8_t OpenListedFile(const platform::DirHandle& dir, std::string_view name, platform::File* file,
                       std::string* error) {
  if (file->OpenAt(dir, name, platform::OpenMode::kReadListed)) return kChkOk;
  if (file->NotFound()) return kChkGone;
  // Only now is it worth a lookup: whatever is no regular file any more is not found; a
  // file that is there but will not open cannot be opened.
  platform::FileInfo info;
  try {
    if (!dir.Stat(name, &info) || info.kind != platform::EntryKind::kFile) return kChkNotFound;
    if (error != nullptr) *error = file->ErrorText();
  } catch (const std::bad_alloc&) {  // a very long name is copied
    return kChkNotFound;
  }
  return kChkOpenFailed;
}

uint8_t PrepareListedRead(platform::File& file, uint64_t size, CacheUse cache, bool* drop_after,
                          std::string* error, bool* from_memory) {
  if (from_memory != nullptr) *from_memory = false;
  if (cache != CacheUse::kDevice || size == 0) {
    *drop_after = ColdBefore(file, size, cache);
    return kChkOk;
  }
  platform::CacheUsage usage;
  const bool known = file.CacheUsageOf(0, 0, &usage);
  *drop_after = known && size >= platform::PageSize() && usage.resident < size / kCachedShare + 1;
  // Pages the kernel has not written back yet (a copy just made) go to the disk first:
  // the file is as listed, only not on the disk yet. Clean pages need no flush.
  const bool dirty = !known || (usage.resident > 0 && (!usage.dirty_known || usage.dirty > 0));
  if (dirty && !file.FlushData()) return ReadFailure(file, error);
  file.DropCache(0, 0);
  if (!file.CacheUsageOf(0, 0, &usage) || usage.resident == 0) return kChkOk;
  // Dirty again since the flush: someone writes to it now.
  if (usage.dirty_known && usage.dirty > 0) {
    if (error != nullptr) {
      try {
        *error = kStillBeingWritten;
      } catch (const std::bad_alloc&) {  // the code alone says enough
      }
    }
    return kChkChanged;
  }
  // Clean pages that stay are mapped (or locked) by some process: the device is read past
  // them. A file system kept in memory has no other copy to read.
  if (file.InMemoryFileSystem() || file.ReadPastCache()) return kChkOk;
  if (from_memory != nullptr) *from_memory = true;
  return kChkOk;
}

bool ReadFromCache(CacheUse cache, uint64_t size, bool drop_after) {
  return cache == CacheUse::kDropBehind && size >= platform::PageSize() && !drop_after;
}

void EndListedRead(const platform::File& file, bool drop_after) {
  if (drop_after) file.DropCache(0, 0);
}

uint8_t CheckListedFile(const platform::File& file, const ListedFile& listed) {
  platform::FileInfo now;
  if (!file.Stat(&now) || now.kind != platform::EntryKind::kFile) return kChkNotFound;
  // The change time moves with every write and every change of the record, and no one
  // can set it back; the others catch what a coarse clock leaves in one tick.
  const bool same = now.device == listed.device && now.inode == listed.inode &&
                    now.size == listed.size && now.write_ns == listed.write_ns &&
                    (listed.change_ns == 0 || now.change_ns == listed.change_ns);
  return same ? kChkOk : kChkChanged;
}

uint8_t FoldFileRange(platform::File& file, uint64_t offset, uint64_t length, LentBuffer buffer,
                      StopTest stop, FoldState* state) {
  // Read past the cache, whole units are asked for; the read stops at the end of the file.
  uint64_t unit = 1;
  if (file.ReadsPastCache()) {
    buffer = PastCacheBuffer(buffer, length);
    if (buffer.data == nullptr) return kChkNoBuffer;
    unit = platform::DirectAlignment();
  } else if (!ListedBuffer(&buffer, length)) {
    return kChkNoBuffer;
  }
  const uint64_t chunk = buffer.size & ~uint64_t{1};
  while (length > 0) {
    if (stop()) return kChkStopped;
    const uint64_t want = length <= buffer.size ? length : chunk;
    const uint64_t ask = (want + unit - 1) / unit * unit;
    const int64_t got = file.ReadAt(buffer.data, ask, static_cast<int64_t>(offset));
    if (got < 0) return Anomaly(file, kChkReadError);
    if (static_cast<uint64_t>(got) < want) return Anomaly(file, kChkChanged);
    FoldBytes(buffer.data, want, state);
    offset += want;
    length -= want;
  }
  return kChkOk;
}

uint8_t FileChkListed(const platform::DirHandle& dir, std::string_view name,
                      const ListedFile& listed, LentBuffer buffer, StopTest stop, uint32_t* id,
                      FirstBytes* first, std::string* error, CacheUse cache, bool* from_cache,
                      bool* from_memory) {
  *id = 0;
  first->count = 0;
  if (from_cache != nullptr) *from_cache = false;
  if (from_memory != nullptr) *from_memory = false;
  const uint64_t size = listed.size;
  if (size == 0) return kChkEmpty;
  platform::File file;
  uint8_t opened = OpenListedFile(dir, name, &file, error);
  // A file replaced, cut or written since the walk is not read at all.
  if (opened == kChkOk) opened = CheckListedFile(file, listed);
  bool drop_after = false;
  // A drop-behind read learns from its first read whether the file was cached.
  const CacheUse prepare = cache == CacheUse::kDropBehind ? CacheUse::kKeep : cache;
  if (opened == kChkOk) {
    opened = PrepareListedRead(file, size, prepare, &drop_after, error, from_memory);
  }
  const DropBehind drop(file, drop_after);
  if (opened != kChkOk) return opened;
  if (size < kShortFileLimit) {
    const int64_t got = ReadFirstBytes(file, buffer, first->bytes);
    if (got < 0) return ReadFailure(file, error);
    const uint8_t after = CheckListedFile(file, listed);
    if (after != kChkOk) return after;
    first->count = static_cast<uint8_t>(std::min<int64_t>(got, kFirstBytesMax));
    return kChkTooShort;
  }
  FoldState state;
  const uint8_t code = file.ReadsPastCache() ? FoldFileRange(file, 0, size, buffer, stop, &state)
                                             : FoldListed(file, size, buffer, stop, cache,
                                                          &drop_after, &state, error, from_cache);
  if (code != kChkOk) return code;
  // Written to while it was read: the bytes folded may be of no one state of the file.
  const uint8_t after = CheckListedFile(file, listed);
  if (after != kChkOk) return after;
  *id = FoldResult(state);
  return kChkOk;
}

int64_t VirtAllocSx(void** region, int fill, int64_t size) {
  if (region == nullptr) return -1;
  if (*region != nullptr && !VirtFreeSx(region, -1)) return -1;
  if (size < 1) return -1;
  try {
    *region = platform::MapRegion(static_cast<uint64_t>(size));
  } catch (const std::bad_alloc&) {
    *region = nullptr;
  }
  if (*region == nullptr) return -1;
  const int64_t committed = VirtSizeSx(*region);
  if (fill >= 0) std::memset(*region, fill & 0xff, static_cast<size_t>(committed));
  return committed;
}

int64_t VirtSizeSx(const void* region) {
  return static_cast<int64_t>(platform::RegionSize(region));
}

bool VirtFreeSx(void** region, int64_t /*size*/) {
  if (region == nullptr || *region == nullptr) return true;
  // Unmapping releases every page at once; a region we never mapped is refused, and is
  // forgotten all the same.
  const bool released = platform::UnmapRegion(*region);
  *region = nullptr;
  return released;
}

}  // namespace content
