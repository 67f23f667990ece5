#pragma once
// The program's own places: executable, current, temporary and XDG directories.

#include <string>

namespace platform {

// Full path of the running program; empty when unknown.
std::string ExecutablePath();
// Current directory with a trailing "/".
std::string CurrentDir();
// $TMPDIR or /tmp, with a trailing "/".
std::string TempDir();
// Creates a new directory in TempDir() whose name begins with `prefix`, readable by the
// user alone; its path with a trailing "/", or empty when none could be made.
std::string MakeTempDir(const std::string& prefix);
// Value of an environment variable; empty when unset.
std::string GetEnv(const char* name);
// $XDG_CONFIG_HOME or ~/.config, with a trailing "/"; empty when neither is known.
std::string ConfigHome();
// True when the current user may create files in the directory.
bool IsWritableDir(const std::string& path);
// The path with every symbolic link of its existing leading part resolved; the
// missing rest is appended unchanged. Keeps a trailing "/".
std::string ResolveExisting(const std::string& path);
// Makes a relative path absolute against the current directory (no link resolution).
std::string AbsolutePath(const std::string& path);
bool IsTerminal(int fd);

}  // namespace platform
