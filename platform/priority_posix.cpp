#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/priority.h"

namespace platform {

namespace {

// From linux/ioprio.h, which glibc does not wrap.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassShift = 13;
constexpr int kIoprioClassIdle = 3;
constexpr int kLowestNice = 19;

}  // namespace

bool SetIdlePriority() {
  // "Process" 0 is the calling thread for both calls.
  const bool io =
      syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift) == 0;
  const bool cpu = setpriority(PRIO_PROCESS, 0, kLowestNice) == 0;
  return io && cpu;
}

int IoPriorityClass() {
  const long value = syscall(SYS_ioprio_get, kIoprioWhoProcess, 0);
  if (value < 0) return -1;
  return static_cast<int>(value >> kIoprioClassShift);
}

int NiceValue() {
  errno = 0;
  return getpriority(PRIO_PROCESS, 0);
}

}  // namespace platform
