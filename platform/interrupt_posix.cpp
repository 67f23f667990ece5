#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

#include "platform/interrupt.h"

namespace platform {

namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int) { g_stop.store(true, std::memory_order_relaxed); }

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // The first signal asks; the handler is then reset, so a second one ends the program.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A parent may have started us with them blocked; a stop must still reach the run.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigprocmask(SIG_UNBLOCK, &stops, nullptr);
}

bool StopSignalReceived() { return g_stop.load(std::memory_order_relaxed); }

const std::atomic<bool>* StopSignalFlag() { return &g_stop; }

void ResetStopSignal() { g_stop.store(false, std::memory_order_relaxed); }

void IgnoreFileSizeSignal() { signal(SIGXFSZ, SIG_IGN); }

int TerminalColumns(int fd) {
  if (isatty(fd) == 0) return 0;
  struct winsize size = {};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace platform
