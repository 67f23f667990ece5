#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/test_os.h"

namespace testing_support {

namespace {

timespec ToTimespec(int64_t ns) {
  if (ns == kKeepTime) return {0, UTIME_OMIT};
  return {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

int64_t Nanoseconds(const timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

bool GetFileTimes(const std::string& path, FileTimes* times) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  *times = {Nanoseconds(st.st_atim), Nanoseconds(st.st_mtim)};
  return true;
}

bool SetFileTimes(const std::string& path, const FileTimes& times) {
  const timespec both[2] = {ToTimespec(times.access_ns), ToTimespec(times.write_ns)};
  return utimensat(AT_FDCWD, path.c_str(), both, AT_SYMLINK_NOFOLLOW) == 0;
}

void SetEnv(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name) { unsetenv(name.c_str()); }

int MakeSymlink(const std::string& target, const std::string& path) {
  return symlink(target.c_str(), path.c_str());
}

int MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0644); }

int ExitStatusOfChild(const std::function<int()>& body, uint64_t file_size_limit) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (file_size_limit != 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {file_size_limit, file_size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    // _exit: the copy must not run the parent's exit handlers or flush its buffers.
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool SetUserAttribute(const std::string& path, const std::string& name, const std::string& value) {
  return setxattr(path.c_str(), ("user." + name).c_str(), value.data(), value.size(), 0) == 0;
}

std::string UserAttribute(const std::string& path, const std::string& name) {
  char value[256];
  const ssize_t n = getxattr(path.c_str(), ("user." + name).c_str(), value, sizeof value);
  return n > 0 ? std::string(value, static_cast<size_t>(n)) : std::string();
}

std::string PathOfHandle(platform::NativeHandle handle) {
  char target[4096] = {};
  const std::string link = "/proc/self/fd/" + std::to_string(handle);
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

bool RunsAsRoot() { return geteuid() == 0; }

std::string NotFoundText() { return std::strerror(ENOENT); }

}  // namespace testing_support
