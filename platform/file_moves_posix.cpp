// file_moves.h on POSIX.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_moves.h"

namespace platform {

namespace {

bool Failed(const std::string& doing, std::string* error) {
  *error = doing + ": " + std::strerror(errno);
  return false;
}

// The names of the extended attributes of `path`; false when they cannot be listed.
bool AttributeNames(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  const ssize_t size = llistxattr(path.c_str(), nullptr, 0);
  if (size < 0) return errno == ENOTSUP;
  std::string buffer(static_cast<size_t>(size), '\0');
  const ssize_t got = llistxattr(path.c_str(), buffer.data(), buffer.size());
  if (got < 0) return false;
  for (size_t at = 0; at < static_cast<size_t>(got);) {
    const std::string name(buffer.c_str() + at);
    at += name.size() + 1;
    if (!name.empty()) names->push_back(name);
  }
  return true;
}

bool CopyAttributes(const std::string& from, const std::string& to, std::string* error) {
  std::vector<std::string> names;
  if (!AttributeNames(from, &names)) return Failed("cannot list the attributes of " + from, error);
  for (const std::string& name : names) {
    const ssize_t size = lgetxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) return Failed("cannot read the attribute " + name + " of " + from, error);
    std::string value(static_cast<size_t>(size), '\0');
    const ssize_t got = lgetxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) return Failed("cannot read the attribute " + name + " of " + from, error);
    if (lsetxattr(to.c_str(), name.c_str(), value.data(), static_cast<size_t>(got), 0) != 0) {
      return Failed("cannot set the attribute " + name + " of " + to, error);
    }
  }
  return true;
}

}  // namespace

bool SyncFolder(const std::string& folder, std::string* error) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Failed("cannot open " + folder, error);
  const bool ok = fsync(fd) == 0;
  const int failure = errno;
  close(fd);
  errno = failure;
  return ok || Failed("cannot flush " + folder, error);
}

bool LinkFile(const std::string& from, const std::string& to, std::string* error) {
  return link(from.c_str(), to.c_str()) == 0 || Failed("cannot link " + to, error);
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  return rename(from.c_str(), to.c_str()) == 0 || Failed("cannot rename " + from, error);
}

bool CopyFileRecord(const std::string& from, const std::string& to, std::string* error) {
  struct stat source, target;
  if (lstat(from.c_str(), &source) != 0) return Failed("cannot look up " + from, error);
  if (lstat(to.c_str(), &target) != 0) return Failed("cannot look up " + to, error);
  // The owner first: a change of owner clears the set-id bits the mode then gives back.
  if ((source.st_uid != target.st_uid || source.st_gid != target.st_gid) &&
      lchown(to.c_str(), source.st_uid, source.st_gid) != 0) {
    return Failed("cannot give " + to + " the owner of " + from, error);
  }
  if (chmod(to.c_str(), source.st_mode & 07777) != 0) {
    return Failed("cannot give " + to + " the mode of " + from, error);
  }
  return CopyAttributes(from, to, error);
}

bool SetWriteTime(const std::string& path, FileTime time, std::string* error) {
  const int64_t seconds = UnixSecondsOf(time);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = static_cast<long>(time % kFileTimeUnitsPerSecond) * 100;
  if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    return Failed("cannot set the write time of " + path, error);
  }
  return true;
}

bool OnReadOnlyMount(const std::string& path) {
  struct statvfs figures;
  return statvfs(path.c_str(), &figures) == 0 && (figures.f_flag & ST_RDONLY) != 0;
}

}  // namespace platform
