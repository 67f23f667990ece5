// files.h on POSIX: folders made, whole files written, replaced, copied and read.

#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files.h"

namespace platform {

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

}  // namespace platform
