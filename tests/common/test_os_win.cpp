#include <windows.h>

#include <cstdlib>

#include "common/test_os.h"
#include "platform/wide_win.h"

namespace testing_support {

namespace {

// 100 ns units from 1601 to 1970.
constexpr int64_t kUnitsTo1970 = 116444736000000000LL;

FILETIME ToFileTime(int64_t ns) {
  const uint64_t units = static_cast<uint64_t>(ns / 100 + kUnitsTo1970);
  return {static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
}

int64_t Nanoseconds(const FILETIME& t) {
  const int64_t units =
      static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  return (units - kUnitsTo1970) * 100;
}

HANDLE OpenForTimes(const std::string& path, DWORD access) {
  return CreateFileW(platform::LongPath(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool GetFileTimes(const std::string& path, FileTimes* times) {
  const HANDLE h = OpenForTimes(path, FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME access, write;
  const bool ok = GetFileTime(h, nullptr, &access, &write);
  CloseHandle(h);
  if (ok) *times = {Nanoseconds(access), Nanoseconds(write)};
  return ok;
}

bool SetFileTimes(const std::string& path, const FileTimes& times) {
  const HANDLE h = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  const FILETIME access = ToFileTime(times.access_ns);
  const FILETIME write = ToFileTime(times.write_ns);
  // A null pointer leaves that time as it is.
  const bool ok = SetFileTime(h, nullptr, times.access_ns == kKeepTime ? nullptr : &access,
                              times.write_ns == kKeepTime ? nullptr : &write);
  CloseHandle(h);
  return ok;
}

void SetEnv(const std::string& name, const std::string& value) {
  // Both the system's copy (what children and GetEnvironmentVariableW see) and the C
  // library's (what getenv sees).
  SetEnvironmentVariableW(platform::Widen(name).c_str(), platform::Widen(value).c_str());
  _putenv_s(name.c_str(), value.c_str());
}

void UnsetEnv(const std::string& name) {
  SetEnvironmentVariableW(platform::Widen(name).c_str(), nullptr);
  _putenv_s(name.c_str(), "");
}

// Links need a right ordinary users lack on Windows, and FIFOs do not exist there; the
// cases that make them are Linux's alone.
int MakeSymlink(const std::string&, const std::string&) { return -1; }
int MakeFifo(const std::string&) { return -1; }

// No fork, no file-size limit, no extended attributes of Linux's kind.
int ExitStatusOfChild(const std::function<int()>&, uint64_t) { return -1; }
bool SetUserAttribute(const std::string&, const std::string&, const std::string&) { return false; }
std::string UserAttribute(const std::string&, const std::string&) { return {}; }

std::string PathOfHandle(platform::NativeHandle handle) {
  wchar_t path[32768];
  const DWORD n = GetFinalPathNameByHandleW(handle, path, 32768, FILE_NAME_NORMALIZED);
  return n > 0 && n < 32768 ? platform::Narrow(std::wstring_view(path, n)) : std::string();
}

bool RunsAsRoot() { return false; }

std::string NotFoundText() { return platform::SystemErrorText(ERROR_FILE_NOT_FOUND); }

}  // namespace testing_support
