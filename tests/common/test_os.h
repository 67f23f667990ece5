#pragma once
// What the tests need from the system where Linux and Windows differ: one call each,
// implemented in test_os_posix.cpp and test_os_win.cpp.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/files.h"

namespace testing_support {

// Access and write times in ns since 1970; kKeepTime leaves that time as it is.
struct FileTimes {
  int64_t access_ns = 0;
  int64_t write_ns = 0;
};
inline constexpr int64_t kKeepTime = INT64_MIN;
inline constexpr FileTimes AtSecond(int64_t seconds) {
  return {seconds * 1000000000, seconds * 1000000000};
}

// The times of a file or directory, a final link not followed. False when it cannot.
bool GetFileTimes(const std::string& path, FileTimes* times);
bool SetFileTimes(const std::string& path, const FileTimes& times);

// Sets (or with UnsetEnv removes) a variable of this process's environment.
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// A symbolic link at `path` to `target`, and a FIFO at `path`, as symlink() and mkfifo()
// return: 0 when made, -1 where this system cannot make one.
int MakeSymlink(const std::string& target, const std::string& path);
int MakeFifo(const std::string& path);

// Runs `body` in a child process, a copy of this one, and gives the child's exit status
// (`body`'s result, or 128 + signal); -1 where the system has no such copy (Windows).
// `file_size_limit` (when not 0) caps the size of every file the child writes, as a full
// disk would, and a write past it fails instead of killing the child.
int ExitStatusOfChild(const std::function<int()>& body, uint64_t file_size_limit = 0);

// An extended attribute "user.NAME" of a file, as Linux keeps them; false where the file
// system or the system has none.
bool SetUserAttribute(const std::string& path, const std::string& name, const std::string& value);
std::string UserAttribute(const std::string& path, const std::string& name);

// The path of the file an open handle reads, as the system names it; empty when unknown.
std::string PathOfHandle(platform::NativeHandle handle);

// The system's words for a file or folder that is not there, as error lines end.
std::string NotFoundText();

// True when the tests run with the rights of Linux's root (every file readable).
bool RunsAsRoot();

}  // namespace testing_support
