#pragma once
// The program's own places (executable, current, temporary and XDG directories) and the
// rules of path text. The rules are plain string work: both sets are built everywhere
// (so each can be tested on any machine) and the native one is the default.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

enum class PathStyle { kPosix, kWindows };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::kWindows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::kPosix;
#endif

// The separator a path is written with: "/", or "\" on Windows.
constexpr char SeparatorOf(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }
inline constexpr char kSeparator = SeparatorOf(kNativePathStyle);
// Every character that separates, for find_first_of and find_last_of.
inline constexpr std::string_view kSeparators =
    kNativePathStyle == PathStyle::kWindows ? std::string_view("\\/") : std::string_view("/");

// "/" in both styles; "\" too on Windows.
constexpr bool IsSeparator(char c, PathStyle style = kNativePathStyle) {
  return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

// Length of the root that begins the path, its final separator included; 0 for a
// relative path. POSIX: "/" -> 1. Windows: "C:\" -> 3, "C:" -> 2 (the drive's current
// folder), "\" -> 1, "\\host\share\" -> 13, "\\?\C:\" -> 7, "\\?\UNC\host\share\" -> 19
// ("\\.\" as "\\?\"); a share root without its final separator ends with the text.
size_t RootLength(std::string_view path, PathStyle style = kNativePathStyle);

// Whether the path names its place without a current directory: POSIX, it begins with
// "/"; Windows, a drive root, a share or a "\\?\" path ("\x" and "C:x" are not).
bool IsAbsolute(std::string_view path, PathStyle style = kNativePathStyle);

// The path up to and including its last separator ("/a/b" and "/a/b/" keep "/a/" and
// "/a/b/"); empty when it has none.
std::string_view FolderOf(std::string_view path, PathStyle style = kNativePathStyle);
// What follows the last separator; the whole path when it has none.
std::string_view NameOf(std::string_view path, PathStyle style = kNativePathStyle);

// The folder that holds the last component of `path` (with or without a trailing
// separator), ending with a separator: "/a/b/" and "/a/b" -> "/a/"; a root gives itself
// ("/" -> "/", "C:\" -> "C:\"); a single relative name gives "".
std::string_view ParentOf(std::string_view path, PathStyle style = kNativePathStyle);

// The path with a separator appended when it ends with none; empty stays empty.
std::string WithSeparator(std::string path, PathStyle style = kNativePathStyle);
// The path without trailing separators, though never shorter than its root.
std::string_view WithoutSeparator(std::string_view path, PathStyle style = kNativePathStyle);
// `folder` and `name` with one separator between them (none added after an empty folder).
std::string Join(std::string_view folder, std::string_view name,
                 PathStyle style = kNativePathStyle);

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
