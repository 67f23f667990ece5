// files.h on POSIX: paths looked at, directories held and read.

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/files_posix_parts.h"

namespace platform {

using posix_parts::BaseName;
using posix_parts::CName;
using posix_parts::StatxAt;

namespace {

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

bool HasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

std::atomic<DirEntryHook> g_dir_entry_hook{nullptr};

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

// Linux file systems keep no alternate names.
std::string ShortNameOf(const std::string&) { return std::string(); }

std::string DirReader::ShortName() const { return std::string(); }

void SetDirEntryHookForTesting(DirEntryHook hook) { g_dir_entry_hook.store(hook); }

}  // namespace platform
