#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/app_dirs.h"
#include "platform/paths.h"

namespace platform {

namespace {

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string CurrentDir() {
  std::vector<char> buffer(PATH_MAX + 1);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return {};
  return WithSlash(buffer.data());
}

std::string TempDir() {
  const std::string tmp = GetEnv("TMPDIR");
  return WithSlash(tmp.empty() ? "/tmp" : tmp);
}

std::string MakeTempDir(const std::string& prefix) {
  std::string pattern = TempDir() + prefix + "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern + "/";
}

std::string GetEnv(const char* name) {
  const char* value = getenv(name);
  return value ? std::string(value) : std::string();
}

std::string ConfigHome() {
  const std::string xdg = GetEnv("XDG_CONFIG_HOME");
  // Relative values are invalid by the XDG rules and are ignored.
  if (!xdg.empty() && xdg[0] == '/') return WithSlash(xdg);
  std::string home = GetEnv("HOME");
  if (home.empty()) {
    const struct passwd* pw = getpwuid(getuid());
    if (pw != nullptr && pw->pw_dir != nullptr) home = pw->pw_dir;
  }
  if (home.empty()) return {};
  return WithSlash(home) + ".config/";
}

namespace {

// An absolute `variable`, else `home_tail` below $HOME; relative values break the XDG rules.
std::string XdgHome(const char* variable, const char* home_tail) {
  const std::string xdg = GetEnv(variable);
  if (IsAbsolute(xdg)) return WithSlash(xdg);
  const std::string home = GetEnv("HOME");
  return home.empty() ? std::string() : WithSlash(home + home_tail);
}

}  // namespace

std::string DataHome() { return XdgHome("XDG_DATA_HOME", "/.local/share"); }

std::string CacheHome() { return XdgHome("XDG_CACHE_HOME", "/.cache"); }

bool IsWritableDir(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return access(path.c_str(), W_OK | X_OK) == 0;
}

std::string ResolveExisting(const std::string& path) {
  if (path.empty()) return path;
  const bool trailing = path.back() == '/';
  // Find the longest leading part that exists, resolve it, append the rest.
  std::string head = path;
  std::string tail;
  for (;;) {
    char* resolved = realpath(head.empty() ? "/" : head.c_str(), nullptr);
    if (resolved != nullptr) {
      std::string result(resolved);
      free(resolved);
      if (!tail.empty()) {
        if (result.back() != '/') result += '/';
        result += tail;
      }
      if (trailing && result.back() != '/') result += '/';
      return result;
    }
    while (!head.empty() && head.back() == '/') head.pop_back();
    const size_t slash = head.rfind('/');
    if (slash == std::string::npos) return path;
    const std::string part = head.substr(slash + 1);
    tail = tail.empty() ? part : part + "/" + tail;
    head.resize(slash + 1);
  }
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::string base = CurrentDir();
  if (path == ".") return base;
  if (path.rfind("./", 0) == 0) return base + path.substr(2);
  return base + path;
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }

}  // namespace platform
