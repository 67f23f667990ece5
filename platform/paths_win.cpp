#include <io.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/app_dirs.h"
#include "platform/paths.h"
#include "platform/wide_win.h"

namespace platform {

namespace {

// Unlike the shared rule, an empty path becomes the separator itself.
std::string WithFinalSeparator(std::string path) {
  if (path.empty() || !IsSeparator(path.back())) path += '\\';
  return path;
}

// Calls `get` with a growing buffer until the whole text fits: the count it returns is
// the length without the terminator when it fits, the size needed otherwise.
template <typename Get>
std::wstring GrowingCall(Get get) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int tries = 0; tries < 8; ++tries) {
    const DWORD n = get(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    buffer.resize(std::max<size_t>(n + 1, buffer.size() * 2));
  }
  return {};
}

}  // namespace

std::string ExecutablePath() {
  const std::wstring path = GrowingCall([](wchar_t* buffer, DWORD size) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer, size);
    // A cut name comes back with the whole buffer filled.
    return n >= size ? size : n;
  });
  return ShortForm(path);
}

std::string CurrentDir() {
  const std::wstring path =
      GrowingCall([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); });
  return path.empty() ? std::string() : WithFinalSeparator(ShortForm(path));
}

std::string TempDir() {
  const std::wstring path =
      GrowingCall([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
  return WithFinalSeparator(path.empty() ? std::string("C:\\Windows\\Temp") : ShortForm(path));
}

std::string MakeTempDir(const std::string& prefix) {
  // The temporary folder lies in the user's profile, whose rights the new folder inherits.
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  unsigned long long seed = static_cast<unsigned long long>(counter.QuadPart) ^
                            (static_cast<unsigned long long>(GetCurrentProcessId()) << 32);
  const std::string base = TempDir() + prefix;
  for (int tries = 0; tries < 100; ++tries) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    char suffix[8];
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; i < 6; ++i) suffix[i] = kDigits[(seed >> (58 - 6 * i)) % 36];
    suffix[6] = '\0';
    const std::string path = base + suffix;
    if (CreateDirectoryW(LongPath(path).c_str(), nullptr)) return path + "\\";
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

std::string GetEnv(const char* name) {
  const std::wstring wide_name = Widen(name);
  const std::wstring value = GrowingCall([&](wchar_t* buffer, DWORD size) {
    return GetEnvironmentVariableW(wide_name.c_str(), buffer, size);
  });
  return Narrow(value);
}

namespace {

std::string FolderOfVariable(const char* variable) {
  const std::string folder = GetEnv(variable);
  return IsAbsolute(folder) ? WithFinalSeparator(folder) : std::string();
}

}  // namespace

std::string DataHome() { return FolderOfVariable("APPDATA"); }

std::string CacheHome() { return FolderOfVariable("LOCALAPPDATA"); }

std::string ConfigHome() {
  const std::string app_data = GetEnv("APPDATA");
  return IsAbsolute(app_data) ? WithFinalSeparator(app_data) : std::string();
}

bool IsWritableDir(const std::string& path) {
  if (path.empty()) return false;
  const std::wstring dir = LongPath(path);
  const DWORD attributes = GetFileAttributesW(dir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  // Rights on Windows are lists of grants and denials: trying is the one sure answer.
  const std::wstring probe = dir + (dir.back() == L'\\' ? L"" : L"\\") + L".checker-probe-" +
                             std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(GetCurrentThreadId());
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string ResolveExisting(const std::string& path) {
  if (path.empty()) return path;
  const bool trailing = IsSeparator(path.back());
  std::string head = path;
  std::string tail;
  for (;;) {
    const HANDLE h = CreateFileW(LongPath(head).c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      const std::wstring final_path = GrowingCall([h](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(h, buffer, size, FILE_NAME_NORMALIZED);
      });
      CloseHandle(h);
      std::string result = final_path.empty() ? head : ShortForm(final_path);
      if (!tail.empty()) result = WithFinalSeparator(result) + tail;
      if (trailing) result = WithFinalSeparator(result);
      return result;
    }
    while (!head.empty() && IsSeparator(head.back())) head.pop_back();
    const size_t separator = head.find_last_of("\\/");
    if (separator == std::string::npos || head.size() <= 3) return path;
    const std::string part = head.substr(separator + 1);
    tail = tail.empty() ? part : part + "\\" + tail;
    head.resize(separator + 1);
  }
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || IsAbsolute(path)) return path;
  // "\dir" and "C:dir" hang on the current drive or that drive's own current folder.
  if (IsSeparator(path[0]) || (path.size() >= 2 && path[1] == ':')) {
    return ShortForm(LongPath(path));
  }
  std::string base = CurrentDir();
  if (path == ".") return base;
  if (path.size() >= 2 && path[0] == '.' && IsSeparator(path[1])) return base + path.substr(2);
  return base + path;
}

bool IsTerminal(int fd) {
  const intptr_t handle = _get_osfhandle(fd);
  DWORD mode;
  return handle != -1 && GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

}  // namespace platform
