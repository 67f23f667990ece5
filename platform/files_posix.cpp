#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/memory.h"

namespace platform {

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDelta = 11644473600LL;

FileTime ToFileTime(int64_t sec, int64_t nsec) {
  const int64_t units = (sec + kEpochDelta) * 10000000LL + nsec / 100;
  return units < 0 ? 0 : static_cast<FileTime>(units);
}

// The last component, for the hidden bit.
std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
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

// A name as a C string without allocating for ordinary lengths.
class CName {
 public:
  explicit CName(std::string_view name) {
    if (name.size() < sizeof small_) {
      std::memcpy(small_, name.data(), name.size());
      small_[name.size()] = 0;
      text_ = small_;
    } else {
      large_.assign(name);
      text_ = large_.c_str();
    }
  }
  const char* c_str() const { return text_; }

 private:
  char small_[256];
  std::string large_;
  const char* text_;
};

// What an entry that could not be opened as a directory is instead, for messages.
std::string NotADirectoryText(int dirfd, const char* name, int error) {
  struct stat st;
  if (fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return "is a symbolic link";
    if (!S_ISDIR(st.st_mode)) return "is not a directory";
  }
  return std::strerror(error);
}

int OpenDirAt(int dirfd, const char* name, std::string* error) {
  int fd;
  do {
    fd = openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) *error = NotADirectoryText(dirfd, name, errno);
  return fd;
}

bool StatxAt(int dirfd, const char* path, int flags, std::string_view name, FileInfo* info) {
  struct statx st;
  if (statx(dirfd, path, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatxMask, &st) != 0)
    return false;
  return FillInfo(st, name, info);
}

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

std::atomic<ReadHook> g_read_hook{nullptr};
std::atomic<DirEntryHook> g_dir_entry_hook{nullptr};
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

bool StatPath(const std::string& path, FileInfo* info) {
  if (path.empty()) return false;
  // A trailing "/" would make the system follow a link to a directory.
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  if (end == path.size()) return StatxAt(AT_FDCWD, path.c_str(), 0, BaseName(path), info);
  const std::string bare = path.substr(0, end);
  // ...but it still names a directory only.
  FileInfo found;
  if (!StatxAt(AT_FDCWD, bare.c_str(), 0, BaseName(bare), &found) ||
      found.kind != EntryKind::kDirectory)
    return false;
  *info = found;
  return true;
}

PathKind PathKindOf(const std::string& path, std::string* error) {
  // Without the trailing "/" the last component is looked at itself, not its target.
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const std::string bare = path.substr(0, end);
  struct stat st;
  if (bare.empty() || lstat(bare.c_str(), &st) != 0) {
    if (bare.empty() || errno == ENOENT || errno == ENOTDIR) return PathKind::kMissing;
    if (error != nullptr) *error = std::strerror(errno);
    return PathKind::kUnknown;
  }
  if (S_ISLNK(st.st_mode)) {
    struct stat target;
    const bool to_dir = stat(bare.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return to_dir ? PathKind::kLinkToDirectory : PathKind::kLink;
  }
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  if (S_ISFIFO(st.st_mode)) return PathKind::kFifo;
  if (S_ISSOCK(st.st_mode)) return PathKind::kSocket;
  return PathKind::kDevice;
}

bool FindFirst(const std::string& path, FileInfo* info, std::string* name) {
  const size_t slash = path.rfind('/');
  const std::string_view last =
      slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  if (!HasWildcard(last)) {
    if (!StatPath(path, info)) return false;
    if (name) *name = std::string(BaseName(path));
    return true;
  }
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string pattern(last);
  DirReader reader;
  if (!reader.Open(dir)) return false;
  std::string_view entry;
  EntryKind kind;
  while (reader.Next(&entry, &kind)) {
    if (kind == EntryKind::kOther) continue;
    const std::string candidate(entry);
    if (fnmatch(pattern.c_str(), candidate.c_str(), 0) != 0) continue;
    if (!reader.Stat(candidate, info)) continue;
    if (name) *name = candidate;
    return true;
  }
  return false;
}

DirReader::~DirReader() { Close(); }

DirHandle::~DirHandle() { Close(); }

DirHandle::DirHandle(DirHandle&& other) noexcept
    : fd_(other.fd_), error_(std::move(other.error_)) {
  other.fd_ = -1;
}

DirHandle& DirHandle::operator=(DirHandle&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    error_ = std::move(other.error_);
    other.fd_ = -1;
  }
  return *this;
}

bool DirHandle::Open(const std::string& path) {
  Close();
  error_.clear();
  if (path.empty()) {
    error_ = std::strerror(ENOENT);
    return false;
  }
  fd_ = OpenDirAt(AT_FDCWD, path.c_str(), &error_);
  return fd_ >= 0;
}

bool DirHandle::OpenAt(const DirHandle& parent, std::string_view name) {
  // The parent may be this very handle: open first, then let the old one go.
  error_.clear();
  if (parent.fd_ < 0) {
    error_ = std::strerror(EBADF);
    Close();
    return false;
  }
  const CName c_name(name);
  const int fd = OpenDirAt(parent.fd_, c_name.c_str(), &error_);
  Close();
  fd_ = fd;
  return fd_ >= 0;
}

bool DirHandle::Duplicate(const DirReader& reader) {
  Close();
  error_.clear();
  fd_ = reader.fd_ < 0 ? -1 : fcntl(reader.fd_, F_DUPFD_CLOEXEC, 0);
  if (fd_ < 0) error_ = std::strerror(reader.fd_ < 0 ? EBADF : errno);
  return fd_ >= 0;
}

void DirHandle::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool DirHandle::Stat(std::string_view name, FileInfo* info) const {
  if (fd_ < 0) return false;
  const CName c_name(name);
  return StatxAt(fd_, c_name.c_str(), 0, name, info);
}

bool DirHandle::StatSelf(FileInfo* info) const {
  if (fd_ < 0) return false;
  return StatxAt(fd_, "", AT_EMPTY_PATH, {}, info);
}

bool DirReader::Adopt(int fd) {
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    error_ = std::strerror(errno);
    close(fd);
    return false;
  }
  dir_ = dir;
  fd_ = fd;
  return true;
}

bool DirReader::Open(const std::string& path) {
  Close();
  if (path.empty()) {
    error_ = std::strerror(ENOENT);
    return false;
  }
  const int fd = OpenDirAt(AT_FDCWD, path.c_str(), &error_);
  return fd >= 0 && Adopt(fd);
}

bool DirReader::Open(const DirHandle& dir) {
  Close();
  if (dir.fd_ < 0) {
    error_ = std::strerror(EBADF);
    return false;
  }
  // A descriptor of its own, read from the start: the handle keeps its position.
  const int fd = openat(dir.fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  return Adopt(fd);
}

bool DirReader::OpenChild(std::string_view name, DirReader* other) const {
  other->Close();
  if (fd_ < 0) {
    other->error_ = std::strerror(EBADF);
    return false;
  }
  const CName c_name(name);
  const int fd = OpenDirAt(fd_, c_name.c_str(), &other->error_);
  return fd >= 0 && other->Adopt(fd);
}

void DirReader::Close() {
  if (dir_ != nullptr) closedir(static_cast<DIR*>(dir_));  // closes fd_ too
  dir_ = nullptr;
  fd_ = -1;
  failed_ = false;
  error_.clear();
}

bool DirReader::Next(std::string_view* name, EntryKind* kind) {
  if (dir_ == nullptr) return false;
  for (;;) {
    errno = 0;
    const struct dirent* entry = readdir(static_cast<DIR*>(dir_));
    if (entry == nullptr) {
      // The end and a failure look alike but for errno.
      if (errno != 0) {
        failed_ = true;
        error_ = std::strerror(errno);
      }
      return false;
    }
    const char* n = entry->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    if (const DirEntryHook hook = g_dir_entry_hook.load(std::memory_order_relaxed)) {
      if (const int error = hook(n); error != 0) {
        failed_ = true;
        error_ = std::strerror(error);
        return false;
      }
    }
    *name = std::string_view(n);
    switch (entry->d_type) {
      case DT_REG:
        *kind = EntryKind::kFile;
        break;
      case DT_DIR:
        *kind = EntryKind::kDirectory;
        break;
      case DT_UNKNOWN: {
        // Some file systems do not fill the type in.
        struct stat st;
        if (fstatat(fd_, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
          *kind = EntryKind::kOther;
        else if (S_ISREG(st.st_mode))
          *kind = EntryKind::kFile;
        else if (S_ISDIR(st.st_mode))
          *kind = EntryKind::kDirectory;
        else
          *kind = EntryKind::kOther;
        break;
      }
      default:
        *kind = EntryKind::kOther;
    }
    return true;
  }
}

bool DirReader::Stat(std::string_view name, FileInfo* info) const {
  if (fd_ < 0) return false;
  const CName c_name(name);
  return StatxAt(fd_, c_name.c_str(), 0, name, info);
}

bool DirReader::StatSelf(FileInfo* info) const {
  if (fd_ < 0) return false;
  return StatxAt(fd_, "", AT_EMPTY_PATH, {}, info);
}

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

bool File::ReadToEnd(std::unique_ptr<char[]>* data, size_t* size) {
  // Room for the recorded size and one byte more, so that a file that keeps its size is
  // read in one request that finds its end.
  constexpr size_t kFirstRoom = 1 << 16;
  const int64_t recorded = Size();
  size_t room = recorded > 0 ? static_cast<size_t>(recorded) + 1 : kFirstRoom;
  auto buffer = std::make_unique_for_overwrite<char[]>(room);
  size_t done = 0;
  for (;;) {
    const int64_t got = Read(buffer.get() + done, room - done);
    if (got < 0) return false;
    done += static_cast<size_t>(got);
    if (done < room) break;
    // Grown since its size was taken, or a file whose size says nothing.
    auto bigger = std::make_unique_for_overwrite<char[]>(room * 2);
    std::memcpy(bigger.get(), buffer.get(), done);
    buffer = std::move(bigger);
    room *= 2;
  }
  *data = std::move(buffer);
  *size = done;
  return true;
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

bool KeepToOwner(const std::string& path, bool* changed) {
  *changed = false;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return errno == ENOENT;
  if ((st.st_mode & 077) == 0) return true;
  if (chmod(path.c_str(), st.st_mode & 07700) != 0) return false;
  *changed = true;
  return true;
}

size_t DescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  return static_cast<size_t>(limit.rlim_cur);
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  partial.reserve(path.size());
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    partial.assign(path, 0, next);
    if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    pos = next + 1;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool CreateLockedFile(const std::string& path, File* file) {
  // Made and locked under a name of its own, then linked to `path`, which link(2) never
  // replaces: whoever finds `path` unlocked knows its holder is gone.
  std::string temporary = path + ".XXXXXX";
  const int made = mkostemp(temporary.data(), O_CLOEXEC);
  if (made < 0) {
    file->Close();
    file->error_ = std::strerror(errno);
    return false;
  }
  close(made);
  bool ok = file->Open(temporary, OpenMode::kReadWriteLocked);
  if (ok && link(temporary.c_str(), path.c_str()) != 0) {
    file->error_ = std::strerror(errno);
    ok = false;
  }
  unlink(temporary.c_str());
  if (!ok) {
    const std::string error = file->error_;
    file->Close();
    file->error_ = error;
  }
  return ok;
}

bool RemoveDir(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool WriteWholeFile(const std::string& path, std::string_view data) {
  File file;
  if (!file.Open(path, OpenMode::kCreateTruncate)) return false;
  const bool ok = file.Write(data);
  return file.Close() && ok;
}

namespace {

void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int dir_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    fsync(dir_fd);
    close(dir_fd);
  }
}

// Gives the file `from` the name `to` unless `to` exists: EEXIST then. File systems
// without the atomic form (EINVAL) get a hard link, and those without links a look
// before the rename.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP) return errno;
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) return EEXIST;
  return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

bool ReplaceFileLocked(const std::string& path, std::string_view data, File* lock,
                       std::string* error) {
  // One fixed name beside the file: whoever holds the lock owns it, and a copy left by
  // a crash is simply written over. A name at the length limit leaves room by its end.
  constexpr size_t kMaxName = 255;
  constexpr std::string_view kSuffix = ".new";
  const size_t slash_at = path.rfind('/');
  const size_t base = slash_at == std::string::npos ? 0 : slash_at + 1;
  const size_t keep = std::min(path.size() - base, kMaxName - kSuffix.size());
  const std::string temporary = path.substr(0, base + keep) + std::string(kSuffix);
  File fresh;
  if (!fresh.Open(temporary, OpenMode::kOpenOrCreateLocked)) {
    *error = fresh.ErrorText();
    return false;
  }
  if (!fresh.SetSize(0) || !fresh.Write(data) || !fresh.Sync()) {
    *error = fresh.ErrorText();
    fresh.Close();
    unlink(temporary.c_str());
    return false;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    *error = std::strerror(errno);
    fresh.Close();
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself must reach the disk before the old name's data is trusted gone.
  SyncFolderOf(path);
  *lock = std::move(fresh);
  return true;
}

CopyResult CopyToNewFile(const std::string& from, const std::string& to, std::string* error) {
  struct stat st;
  if (lstat(to.c_str(), &st) == 0) return CopyResult::kExists;
  File in;
  if (!in.Open(from, OpenMode::kRead)) {
    *error = in.ErrorText();
    return CopyResult::kFailed;
  }
  const size_t slash = to.rfind('/');
  std::string temporary = to.substr(0, slash == std::string::npos ? 0 : slash + 1);
  temporary += ".checker-copy-XXXXXX";
  // A name of our own in that folder; File then writes it as any other.
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = std::strerror(errno);
    return CopyResult::kFailed;
  }
  close(fd);
  File out;
  if (!out.Open(temporary, OpenMode::kCreateTruncate)) {
    *error = out.ErrorText();
    unlink(temporary.c_str());
    return CopyResult::kFailed;
  }
  std::string buffer(1 << 20, '\0');
  bool copied = false;
  for (;;) {
    const int64_t got = in.Read(buffer.data(), buffer.size());
    if (got < 0) {
      *error = in.ErrorText();
      break;
    }
    if (got == 0) {
      copied = out.Sync() && out.Close();
      if (!copied) *error = out.ErrorText();
      break;
    }
    if (!out.Write(buffer.data(), static_cast<size_t>(got))) {
      *error = out.ErrorText();
      break;
    }
  }
  out.Close();
  if (copied) {
    const int failed = RenameNoReplace(temporary, to);
    if (failed == 0) {
      SyncFolderOf(to);
      return CopyResult::kCopied;
    }
    unlink(temporary.c_str());
    if (failed == EEXIST) return CopyResult::kExists;
    *error = std::strerror(failed);
    return CopyResult::kFailed;
  }
  unlink(temporary.c_str());
  return CopyResult::kFailed;
}

bool ReadWholeFile(const std::string& path, std::string* data) {
  File file;
  if (!file.Open(path, OpenMode::kRead)) return false;
  const int64_t size = file.Size();
  if (size < 0) return false;
  std::string result;
  result.resize(static_cast<size_t>(size));
  const int64_t n = file.Read(result.data(), result.size());
  if (n < 0) return false;
  result.resize(static_cast<size_t>(n));
  // The file may have grown since the size was taken.
  char extra[65536];
  for (;;) {
    const int64_t more = file.Read(extra, sizeof extra);
    if (more < 0) return false;
    if (more == 0) break;
    result.append(extra, static_cast<size_t>(more));
  }
  *data = std::move(result);
  return true;
}

void SetReadHookForTesting(ReadHook hook) { g_read_hook.store(hook); }
void SetDirEntryHookForTesting(DirEntryHook hook) { g_dir_entry_hook.store(hook); }
void SetNoCachestatForTesting(bool no_cachestat) { g_no_cachestat.store(no_cachestat); }

void SetNoReadPastCacheForTesting(bool refuse) { g_no_read_past_cache.store(refuse); }

uint64_t DirectAlignment() { return PageSize(); }

}  // namespace platform
