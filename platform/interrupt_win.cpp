#include <io.h>
#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace platform {

namespace {

std::atomic<bool> g_stop{false};
// The exit status of a run ended by a second stop: as a shell reports one ended by SIGINT.
constexpr UINT kStoppedExit = 130;

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      // The first one asks; a second one ends the program at once.
      if (g_stop.exchange(true, std::memory_order_relaxed)) ExitProcess(kStoppedExit);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallStopSignals() {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;
  // A parent may have started us with Ctrl+C ignored; a stop must still reach the run.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool StopSignalReceived() { return g_stop.load(std::memory_order_relaxed); }

const std::atomic<bool>* StopSignalFlag() { return &g_stop; }

void ResetStopSignal() { g_stop.store(false, std::memory_order_relaxed); }

// Windows has no file-size signal: a write past a limit fails with an error of its own.
void IgnoreFileSizeSignal() {}

int TerminalColumns(int fd) {
  const intptr_t handle = _get_osfhandle(fd);
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (handle == -1 || !GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(handle), &info)) {
    return 0;
  }
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace platform
