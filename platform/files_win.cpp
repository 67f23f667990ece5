#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/files_win_parts.h"
#include "platform/wide_win.h"

namespace platform {

using win_parts::kShareAll;
using win_parts::NotFoundCode;

namespace {

std::atomic<ReadHook> g_read_hook{nullptr};
std::atomic<bool> g_no_read_past_cache{false};

// The byte locked for a run's exclusive or shared hold: far past any end, because a
// Windows lock forbids others to read or write the range it covers.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFFE;
constexpr DWORD kTransferLimit = 1u << 30;

bool LockByte(HANDLE h, bool exclusive) {
  OVERLAPPED at = {};
  at.Offset = kLockOffsetLow;
  at.OffsetHigh = kLockOffsetHigh;
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  return LockFileEx(h, flags, 0, 1, 0, &at) != 0;
}

}  // namespace

void SetReadHookForTesting(ReadHook hook) { g_read_hook.store(hook); }

int64_t ReadHandle(NativeHandle fd, void* buffer, size_t size) {
  const DWORD want = size > kTransferLimit ? kTransferLimit : static_cast<DWORD>(size);
  DWORD got = 0;
  return ReadFile(fd, buffer, want, &got, nullptr) ? int64_t{got} : -1;
}

void SetNoCachestatForTesting(bool) {}
void SetNoReadPastCacheForTesting(bool refuse) { g_no_read_past_cache.store(refuse); }

// Unbuffered reads want whole sectors; 4096 covers every disk in use.
uint64_t DirectAlignment() { return 4096; }

// Windows has no small limit on open handles.
size_t DescriptorLimit() { return SIZE_MAX; }

File::~File() { Close(); }

File::File(File&& other) noexcept { *this = std::move(other); }

File& File::operator=(File&& other) noexcept {
  if (this == &other) return *this;
  Close();
  fd_ = other.fd_;
  writable_ = other.writable_;
  hidden_ = other.hidden_;
  not_found_ = other.not_found_;
  past_cache_ = other.past_cache_;
  has_info_ = other.has_info_;
  info_ = other.info_;
  error_ = std::move(other.error_);
  other.fd_ = kNoHandle;
  other.has_info_ = false;
  other.past_cache_ = false;
  return *this;
}

void File::SetError() { error_ = SystemErrorText(GetLastError()); }

bool File::OpenAt(const DirHandle& dir, std::string_view name, OpenMode mode) {
  return OpenIn(dir.fd_, nullptr, name, mode);
}

bool File::OpenAt(const DirReader& dir, std::string_view name, OpenMode mode) {
  return OpenIn(dir.fd_, nullptr, name, mode);
}

bool File::Stat(FileInfo* info) const {
  if (has_info_) {
    *info = info_;
    return true;
  }
  return fd_ != kNoHandle && win_parts::InfoOfHandle(fd_, info) && info->kind != EntryKind::kOther;
}

bool File::Open(const std::string& path, OpenMode mode) {
  return OpenIn(kNoHandle, path.c_str(), {}, mode);
}

// Opens `path`, or the entry `name` of the directory `dirfd` when path is null.
bool File::OpenIn(NativeHandle dirfd, const char* path, std::string_view name, OpenMode mode) {
  Close();
  error_.clear();
  not_found_ = false;
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::kRead:
    case OpenMode::kReadShared:
    case OpenMode::kReadListed:
      break;
    case OpenMode::kReadWriteLocked:
      access |= GENERIC_WRITE;
      break;
    case OpenMode::kCreateTruncate:
      access = GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::kOpenOrCreateLocked:
      access |= GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
  }
  // Delete sharing everywhere: a list open here may still be renamed over by another run.
  if (path == nullptr && dirfd == kNoHandle) {
    error_ = SystemErrorText(ERROR_INVALID_HANDLE);
    return false;
  }
  // An existing entry of a directory is opened through the directory's handle.
  const HANDLE h =
      path == nullptr && disposition == OPEN_EXISTING
          ? win_parts::OpenChild(dirfd, name, access)
          : CreateFileW((path ? LongPath(path) : win_parts::ChildPath(dirfd, name)).c_str(), access,
                        kShareAll, nullptr, disposition,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    not_found_ = NotFoundCode(GetLastError());
    SetError();
    return false;
  }
  fd_ = h;
  if (mode != OpenMode::kReadListed) {
    FileInfo info;
    if (!Stat(&info) || info.kind != EntryKind::kFile) {
      if (error_.empty())
        error_ = info.kind == EntryKind::kDirectory ? "is a directory" : "not a regular file";
      CloseHandle(h);
      fd_ = kNoHandle;
      return false;
    }
    info_ = info;
    has_info_ = mode == OpenMode::kRead;
  }
  const bool exclusive =
      mode == OpenMode::kReadWriteLocked || mode == OpenMode::kOpenOrCreateLocked;
  if ((exclusive || mode == OpenMode::kReadShared) && !LockByte(h, exclusive)) {
    error_ = GetLastError() == ERROR_LOCK_VIOLATION ? kInUseText : SystemErrorText(GetLastError());
    CloseHandle(h);
    fd_ = kNoHandle;
    return false;
  }
  writable_ = access & GENERIC_WRITE;
  return true;
}

bool File::Close() {
  has_info_ = false;
  past_cache_ = false;
  if (fd_ == kNoHandle) return true;
  const bool ok = CloseHandle(fd_) != 0;  // also lets the lock go
  if (!ok) SetError();
  fd_ = kNoHandle;
  return ok;
}

int64_t File::Read(void* buffer, size_t size) {
  if (fd_ == kNoHandle) return -1;
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  const ReadHook hook = g_read_hook.load(std::memory_order_relaxed);
  // Fill the request unless the file ends: callers count on whole chunks.
  while (done < size) {
    const int64_t n =
        hook ? hook(fd_, out + done, size - done) : ReadHandle(fd_, out + done, size - done);
    if (n < 0) {
      if (!hook) SetError();
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

// Windows cannot read the cache without waiting for the disk; Read does.
int64_t File::ReadCached(void*, size_t) { return -1; }

int64_t File::ReadAt(void* buffer, size_t size, int64_t offset) {
  if (fd_ == kNoHandle) return -1;
  // A read at an offset moves a handle's position: read through a handle of its own.
  const HANDLE h = ReOpenFile(fd_, GENERIC_READ, kShareAll, 0);
  if (h == INVALID_HANDLE_VALUE) return -1;
  char* out = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < size) {
    OVERLAPPED at = {};
    const uint64_t position = static_cast<uint64_t>(offset) + done;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    const DWORD want = size - done > kTransferLimit ? kTransferLimit : DWORD(size - done);
    DWORD got = 0;
    if (!ReadFile(h, out + done, want, &got, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      CloseHandle(h);
      return -1;  // no text: other threads may be reading the same file
    }
    if (got == 0) break;
    done += got;
  }
  CloseHandle(h);
  return static_cast<int64_t>(done);
}

bool File::Write(const void* data, size_t size) {
  if (fd_ == kNoHandle) return false;
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD want = size > kTransferLimit ? kTransferLimit : static_cast<DWORD>(size);
    DWORD put = 0;
    if (!WriteFile(fd_, in, want, &put, nullptr)) {
      SetError();
      return false;
    }
    if (put == 0) {
      error_ = SystemErrorText(ERROR_DISK_FULL);
      return false;
    }
    in += put;
    size -= put;
  }
  return true;
}

namespace {

int64_t MovePointer(NativeHandle fd, int64_t distance, DWORD method) {
  LARGE_INTEGER to, now;
  to.QuadPart = distance;
  if (fd == kNoHandle || !SetFilePointerEx(fd, to, &now, method)) return -1;
  return now.QuadPart;
}

}  // namespace

int64_t File::Seek(int64_t position) {
  const int64_t r = MovePointer(fd_, position, FILE_BEGIN);
  if (r < 0) SetError();
  return r;
}

int64_t File::SeekEnd() {
  const int64_t r = MovePointer(fd_, 0, FILE_END);
  if (r < 0) SetError();
  return r;
}

int64_t File::Position() const { return MovePointer(fd_, 0, FILE_CURRENT); }

int64_t File::Size() const {
  LARGE_INTEGER size;
  if (fd_ == kNoHandle || !GetFileSizeEx(fd_, &size)) return -1;
  return size.QuadPart;
}

bool File::SetSize(int64_t size) {
  FILE_END_OF_FILE_INFO end;
  end.EndOfFile.QuadPart = size;
  if (fd_ != kNoHandle && SetFileInformationByHandle(fd_, FileEndOfFileInfo, &end, sizeof end)) {
    return true;
  }
  SetError();
  return false;
}

bool File::Reserve(int64_t size) {
  if (Size() >= size) return true;
  FILE_ALLOCATION_INFO room;
  room.AllocationSize.QuadPart = size;
  // Space first, so a full disk says so before the size moves. A file system (or wine)
  // that cannot reserve space apart from the size finds the disk full when the size moves.
  if (fd_ == kNoHandle) return false;
  if (!SetFileInformationByHandle(fd_, FileAllocationInfo, &room, sizeof room)) {
    const DWORD code = GetLastError();
    if (code != ERROR_INVALID_FUNCTION && code != ERROR_NOT_SUPPORTED &&
        code != ERROR_INVALID_PARAMETER && code != ERROR_CALL_NOT_IMPLEMENTED) {
      SetError();
      return false;
    }
  }
  return SetSize(size);
}

bool File::Sync() {
  if (fd_ != kNoHandle && FlushFileBuffers(fd_)) return true;
  SetError();
  return false;
}

bool File::FlushData() {
  if (fd_ == kNoHandle) return false;
  if (writable_) return Sync();
  // Flushing needs write access; a handle of its own asks for it.
  const HANDLE h = ReOpenFile(fd_, GENERIC_WRITE, kShareAll, 0);
  if (h == INVALID_HANDLE_VALUE) {
    SetError();
    return false;
  }
  const bool ok = FlushFileBuffers(h) != 0;
  if (!ok) SetError();
  CloseHandle(h);
  return ok;
}

bool File::ReadPastCache() {
  if (fd_ == kNoHandle || g_no_read_past_cache.load()) return false;
  if (past_cache_) return true;
  const int64_t position = Position();
  const HANDLE h = ReOpenFile(fd_, GENERIC_READ, kShareAll, FILE_FLAG_NO_BUFFERING);
  if (h == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER to;
  to.QuadPart = position < 0 ? 0 : position;
  SetFilePointerEx(h, to, nullptr, FILE_BEGIN);
  CloseHandle(fd_);
  fd_ = h;
  past_cache_ = true;
  return true;
}

bool File::InMemoryFileSystem() const { return false; }

// Windows tells nothing of what its cache holds of a file, and drops nothing on request.
bool File::CacheUsageOf(uint64_t, uint64_t, CacheUsage* usage) const {
  *usage = CacheUsage();
  return false;
}

bool File::DropCache(uint64_t, uint64_t) const { return false; }

}  // namespace platform
