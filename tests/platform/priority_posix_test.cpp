// The idle priority of a background read, read back from the system.

#include "platform/priority.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

// The nice value of the calling thread as /proc shows it (the 19th field of its stat).
int ProcNice() {
  std::ifstream file("/proc/thread-self/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 19; ++i) fields >> field;
  return std::stoi(field);
}

// The I/O class straight from the kernel: ioprio_get of this thread, class in bits 13+.
int KernelIoClass() { return static_cast<int>(syscall(SYS_ioprio_get, 1, 0) >> 13); }

TEST(PriorityTest, IdleSetsTheIdleIoClassAndTheLowestCpuPriority) {
  // On a thread of its own: both are the thread's, and the test's other threads keep theirs.
  std::thread idle([] {
    ASSERT_TRUE(platform::SetIdlePriority());
    EXPECT_EQ(ProcNice(), 19);
    EXPECT_EQ(platform::NiceValue(), 19);
    EXPECT_EQ(KernelIoClass(), 3);
    EXPECT_EQ(platform::IoPriorityClass(), 3);
  });
  idle.join();
  EXPECT_NE(ProcNice(), 19);
}

}  // namespace
