#include <windows.h>

#include "platform/priority.h"

namespace platform {

namespace {

// ProcessIoPriority of NtQueryInformationProcess, which the SDK headers leave out: the
// hint 0 is very low (background), 1 low, 2 normal.
constexpr int kProcessIoPriority = 33;
constexpr ULONG kIoHintVeryLow = 0;
// ERROR_PROCESS_MODE_ALREADY_BACKGROUND, missing from MinGW's headers.
constexpr DWORD kAlreadyBackground = 402;

using QueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

}  // namespace

// Windows lowers a whole process: background mode gives its reads the very low I/O hint,
// the idle class its threads the lowest CPU priority. Threads made later share both, as
// threads made after a Linux thread lowered itself do.
bool SetIdlePriority() {
  const HANDLE self = GetCurrentProcess();
  const bool cpu = SetPriorityClass(self, IDLE_PRIORITY_CLASS) != 0;
  const bool io = SetPriorityClass(self, PROCESS_MODE_BACKGROUND_BEGIN) != 0 ||
                  GetLastError() == kAlreadyBackground;
  return cpu && io;
}

int IoPriorityClass() {
  const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  ULONG hint = 0;
  if (query == nullptr ||
      query(GetCurrentProcess(), kProcessIoPriority, &hint, sizeof hint, nullptr) < 0) {
    return -1;
  }
  return hint == kIoHintVeryLow ? 3 : 2;  // idle, else best effort
}

// The priority class on the nice scale: idle 19 ... real time -20.
int NiceValue() {
  switch (GetPriorityClass(GetCurrentProcess())) {
    case IDLE_PRIORITY_CLASS:
      return 19;
    case BELOW_NORMAL_PRIORITY_CLASS:
      return 10;
    case ABOVE_NORMAL_PRIORITY_CLASS:
      return -5;
    case HIGH_PRIORITY_CLASS:
      return -10;
    case REALTIME_PRIORITY_CLASS:
      return -20;
    default:
      return 0;
  }
}

}  // namespace platform
