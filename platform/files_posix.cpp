// files.h on POSIX: a file opened, read, written, and what the page cache holds of it.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/files_posix_parts.h"
#include "platform/memory.h"
#include "platform/placeholders.h"

namespace platform {

using posix_parts::BaseName;
using posix_parts::CName;

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDelta = 11644473600LL;

FileTime ToFileTime(int64_t sec, int64_t nsec) {
  const int64_t units = (sec + kEpochDelta) * 10000000LL + nsec / 100;
  return units < 0 ? 0 : static_cast<FileTime>(units);
}

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

bool FillInfo(const struct statx& st, std::string_view name, FileInfo* info) {
  const mode_t mode = st.stx_mode;
  info->device = DeviceNumber(st.stx_dev_major, st.stx_dev_minor);
  info->inode = st.stx_ino;
  if (S_ISREG(mode)) {
    info->kind = EntryKind::kFile;
    info->attributes = kAttrArchive;
    info->size = st.stx_size;
  } else if (S_ISDIR(mode)) {
    info->kind = EntryKind::kDirectory;
    info->attributes = kAttrDirectory;
    info->size = 0;
  } else {
    info->kind = EntryKind::kOther;
    return false;
  }
  if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) info->attributes |= kAttrReadOnly;
  if (IsHiddenName(name)) info->attributes |= kAttrHidden;
  info->attributes |= PlaceholderMarkOf(name);
  info->last_write_time = ToFileTime(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
  info->write_ns = st.stx_mtime.tv_sec * int64_t{1000000000} + st.stx_mtime.tv_nsec;
  info->change_ns = (st.stx_mask & STATX_CTIME)
                        ? st.stx_ctime.tv_sec * int64_t{1000000000} + st.stx_ctime.tv_nsec
                        : 0;
  info->last_access_time = ToFileTime(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
  info->creation_time = (st.stx_mask & STATX_BTIME)
                            ? ToFileTime(st.stx_btime.tv_sec, st.stx_btime.tv_nsec)
                            : info->last_write_time;
  return true;
}

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_MTIME | STATX_ATIME |
                                STATX_BTIME | STATX_CTIME | STATX_INO;

std::atomic<ReadHook> g_read_hook{nullptr};
// Set once cachestat said ENOSYS (an older kernel) or EPERM (a filter that refuses it).
std::atomic<bool> g_no_cachestat{false};
std::atomic<bool> g_no_read_past_cache{false};
// The f_type of the file systems kept in memory alone (linux/magic.h).
constexpr int64_t kTmpfsMagic = 0x01021994;
constexpr int64_t kRamfsMagic = 0x858458f6;

// The kernel's cachestat(2) records; counts are in pages.
struct CachestatRange {
  uint64_t off;
  uint64_t len;
};
struct Cachestat {
  uint64_t nr_cache;
  uint64_t nr_dirty;
  uint64_t nr_writeback;
  uint64_t nr_evicted;
  uint64_t nr_recently_evicted;
};
constexpr long kCachestatCall = 451;
// mincore maps this much of a file at a time; its vector stays on the stack.
constexpr uint64_t kMincoreSpan = 64 * 1048576;
constexpr uint64_t kMincoreMaxPages = kMincoreSpan / 4096;

// -1: no cachestat here; 0: it failed; 1: answered.
int CachestatRangeOf(int fd, uint64_t offset, uint64_t length, uint64_t page, CacheUsage* usage) {
  if (g_no_cachestat.load(std::memory_order_relaxed)) return -1;
  CachestatRange range{offset, length};
  Cachestat stat{};
  if (syscall(kCachestatCall, fd, &range, &stat, 0) != 0) {
    if (errno != ENOSYS && errno != EPERM) return 0;
    g_no_cachestat.store(true, std::memory_order_relaxed);
    return -1;
  }
  usage->resident = stat.nr_cache * page;
  usage->dirty = (stat.nr_dirty + stat.nr_writeback) * page;
  usage->dirty_known = true;
  return 1;
}

// mincore over read-only mappings of the range, a piece at a time. A file that shrinks
// meanwhile does no harm: mincore never touches the pages, and pages past the end are
// simply not resident.
bool MincoreRangeOf(int fd, uint64_t offset, uint64_t end, uint64_t page, CacheUsage* usage) {
  unsigned char pages[kMincoreMaxPages];
  offset -= offset % page;
  const uint64_t span = std::min<uint64_t>(kMincoreSpan, kMincoreMaxPages * page);
  while (offset < end) {
    const uint64_t length = std::min(span, end - offset);
    void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(offset));
    if (map == MAP_FAILED) return false;
    const int rc = mincore(map, length, pages);
    munmap(map, length);
    if (rc != 0) return false;
    const uint64_t count = (length + page - 1) / page;
    for (uint64_t i = 0; i < count; ++i) usage->resident += (pages[i] & 1) * page;
    offset += length;
  }
  return true;
}

// Below this size the read-ahead hint costs more than it saves.
constexpr uint64_t kSequentialHintSize = 1 << 20;

}  // namespace

namespace posix_parts {

// The last component, for the hidden bit.
std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool StatxAt(int dirfd, const char* path, int flags, std::string_view name, FileInfo* info) {
  struct statx st;
  if (statx(dirfd, path, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &st) != 0)
    return false;
  return FillInfo(st, name, info);
}

}  // namespace posix_parts

File::~File() { Close(); }

File::File(File&& other) noexcept
    : fd_(other.fd_),
      writable_(other.writable_),
      hidden_(other.hidden_),
      not_found_(other.not_found_),
      past_cache_(other.past_cache_),
      has_info_(other.has_info_),
      info_(other.info_),
      error_(std::move(other.error_)) {
  other.fd_ = -1;
  other.has_info_ = false;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    writable_ = other.writable_;
    hidden_ = other.hidden_;
    not_found_ = other.not_found_;
    past_cache_ = other.past_cache_;
    has_info_ = other.has_info_;
    info_ = other.info_;
    error_ = std::move(other.error_);
    other.fd_ = -1;
    other.has_info_ = false;
  }
  return *this;
}

void File::SetError() { error_ = std::strerror(errno); }

bool File::Open(const std::string& path, OpenMode mode) {
  return OpenIn(AT_FDCWD, path.c_str(), BaseName(path), mode);
}

bool File::OpenAt(const DirHandle& dir, std::string_view name, OpenMode mode) {
  return OpenInDirectory(dir.fd_, name, mode);
}

bool File::OpenAt(const DirReader& dir, std::string_view name, OpenMode mode) {
  return OpenInDirectory(dir.fd_, name, mode);
}

bool File::OpenInDirectory(int dirfd, std::string_view name, OpenMode mode) {
  if (dirfd < 0) {
    Close();
    error_ = std::strerror(EBADF);
    return false;
  }
  const CName c_name(name);
  return OpenIn(dirfd, c_name.c_str(), name, mode);
}

bool File::OpenIn(int dirfd, const char* path, std::string_view name, OpenMode mode) {
  Close();
  error_.clear();
  not_found_ = false;
  int flags = O_CLOEXEC | O_NOFOLLOW;
  switch (mode) {
    case OpenMode::kRead:
    case OpenMode::kReadShared:
    case OpenMode::kReadListed:
      // O_NONBLOCK: a FIFO must never block the open.
      flags |= O_RDONLY | O_NONBLOCK | O_NOCTTY;
      break;
    case OpenMode::kReadWriteLocked:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreateTruncate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
    case OpenMode::kOpenOrCreateLocked:
      flags |= O_RDWR | O_CREAT;
      break;
  }
  int fd;
  do {
    fd = openat(dirfd, path, flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    not_found_ = errno == ENOENT;
    SetError();
    return false;
  }
  hidden_ = IsHiddenName(name);
  if (mode == OpenMode::kReadListed) {
    fd_ = fd;
    writable_ = false;
    return true;
  }
  // One statx serves both the type check and Stat() of a file opened for reading.
  struct statx st;
  if (statx(fd, "", AT_EMPTY_PATH, kStatxMask, &st) != 0) {
    SetError();
    close(fd);
    return false;
  }
  if (!S_ISREG(st.stx_mode)) {
    error_ = S_ISDIR(st.stx_mode) ? std::strerror(EISDIR) : "not a regular file";
    close(fd);
    return false;
  }
  // The descriptor knows no name; the hidden bit comes from the one it was opened by, so
  // that the record agrees with a lookup of the same path.
  has_info_ = FillInfo(st, name, &info_);
  // O_NONBLOCK has no effect on reads of a regular file, so it stays set.
  if ((mode == OpenMode::kRead || mode == OpenMode::kReadShared) &&
      st.stx_size >= kSequentialHintSize)
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  if ((mode == OpenMode::kReadWriteLocked || mode == OpenMode::kOpenOrCreateLocked) &&
      flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error_ = errno == EWOULDBLOCK ? kInUseText : std::strerror(errno);
    close(fd);
    return false;
  }
  // Only a holder refuses a reader; a file system that knows no locks (ENOLCK, EINVAL)
  // is read without one.
  if (mode == OpenMode::kReadShared && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    error_ = kInUseText;
    close(fd);
    return false;
  }
  fd_ = fd;
  writable_ = mode != OpenMode::kRead && mode != OpenMode::kReadShared;
  return true;
}

bool File::Close() {
  has_info_ = false;
  past_cache_ = false;
  if (fd_ < 0) return true;
  const int rc = close(fd_);  // also drops the lock
  fd_ = -1;
  if (rc != 0 && errno != EINTR) {
    SetError();
    return false;
  }
  return true;
}

int64_t File::Read(void* buffer, size_t size) {
  if (fd_ < 0) return -1;
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  const ReadHook hook = g_read_hook.load(std::memory_order_relaxed);
  // Fill the request unless the file ends: callers count on whole chunks.
  while (done < size) {
    const int64_t n = hook ? hook(fd_, out + done, size - done) : read(fd_, out + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError();
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::ReadCached(void* buffer, size_t size) {
  // A test's read hook stands for the device: it must see every read.
  if (fd_ < 0 || g_read_hook.load(std::memory_order_relaxed) != nullptr) return -1;
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    iovec part{out + done, size - done};
    const ssize_t n = preadv2(fd_, &part, 1, -1, RWF_NOWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) break;
      return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t File::ReadAt(void* buffer, size_t size, int64_t offset) {
  if (fd_ < 0) return -1;
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd_, out + done, size - done, offset + static_cast<int64_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;  // no text: other threads may be reading the same file
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

bool File::Write(const void* data, size_t size) {
  if (fd_ < 0) return false;
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd_, in, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError();
      return false;
    }
    if (n == 0) {
      error_ = std::strerror(ENOSPC);
      return false;
    }
    in += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int64_t File::Seek(int64_t position) {
  if (fd_ < 0) return -1;
  const off_t r = lseek(fd_, position, SEEK_SET);
  if (r < 0) SetError();
  return r;
}

int64_t File::SeekEnd() {
  if (fd_ < 0) return -1;
  const off_t r = lseek(fd_, 0, SEEK_END);
  if (r < 0) SetError();
  return r;
}

int64_t File::Position() const { return fd_ < 0 ? -1 : lseek(fd_, 0, SEEK_CUR); }

int64_t File::Size() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool File::SetSize(int64_t size) {
  if (fd_ < 0) return false;
  int rc;
  do {
    rc = ftruncate(fd_, size);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) SetError();
  return rc == 0;
}

bool File::Reserve(int64_t size) {
  if (fd_ < 0) return false;
  const int64_t current = Size();
  if (current < 0) return false;
  if (size <= current) return true;
  const int rc = posix_fallocate(fd_, current, size - current);
  if (rc == 0) return true;
  if (rc != EOPNOTSUPP && rc != EINVAL) {
    error_ = std::strerror(rc);
    return false;
  }
  return SetSize(size);
}

bool File::Stat(FileInfo* info) const {
  if (fd_ < 0) return false;
  if (has_info_ && !writable_) {
    *info = info_;
    return true;
  }
  struct statx st;
  if (statx(fd_, "", AT_EMPTY_PATH, kStatxMask, &st) != 0) return false;
  if (!FillInfo(st, {}, info)) return false;
  if (hidden_) info->attributes |= kAttrHidden;
  return true;
}

bool File::Sync() {
  if (fd_ < 0) return false;
  if (fsync(fd_) != 0) {
    SetError();
    return false;
  }
  return true;
}

bool File::FlushData() {
  if (fd_ < 0) return false;
  int rc;
  do {
    rc = fdatasync(fd_);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) SetError();
  return rc == 0;
}

bool File::ReadPastCache() {
  if (fd_ < 0 || g_no_read_past_cache.load(std::memory_order_relaxed)) return false;
  if (past_cache_) return true;
  const int flags = fcntl(fd_, F_GETFL);
  // A file system without direct reads says EINVAL here.
  if (flags < 0 || fcntl(fd_, F_SETFL, flags | O_DIRECT) != 0) return false;
  past_cache_ = true;
  return true;
}

bool File::InMemoryFileSystem() const {
  struct statfs figures;
  if (fd_ < 0 || fstatfs(fd_, &figures) != 0) return false;
  const auto type = static_cast<int64_t>(figures.f_type);
  return type == kTmpfsMagic || type == kRamfsMagic;
}

bool File::CacheUsageOf(uint64_t offset, uint64_t length, CacheUsage* usage) const {
  *usage = CacheUsage();
  if (fd_ < 0) return false;
  const uint64_t page = PageSize();
  const int answered = CachestatRangeOf(fd_, offset, length, page, usage);
  if (answered >= 0) return answered == 1;
  struct stat st;
  if (fstat(fd_, &st) != 0) return false;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  uint64_t end = length == 0 || offset + length > size ? size : offset + length;
  if (offset >= end) return true;
  if (!MincoreRangeOf(fd_, offset, end, page, usage)) {
    *usage = CacheUsage();
    return false;
  }
  return true;
}

bool File::DropCache(uint64_t offset, uint64_t length) const {
  if (fd_ < 0) return false;
  return posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                       POSIX_FADV_DONTNEED) == 0;
}

void SetReadHookForTesting(ReadHook hook) { g_read_hook.store(hook); }
int64_t ReadHandle(NativeHandle fd, void* buffer, size_t size) { return read(fd, buffer, size); }
void SetNoCachestatForTesting(bool no_cachestat) { g_no_cachestat.store(no_cachestat); }

void SetNoReadPastCacheForTesting(bool refuse) { g_no_read_past_cache.store(refuse); }

uint64_t DirectAlignment() { return PageSize(); }

}  // namespace platform
