#pragma once
// A fresh temporary directory per test, removed afterwards, with helpers to build
// real trees in it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // Absolute path of the root, with a trailing separator ("/", or "\\" on Windows).
  const std::string& root() const { return root_; }
  // root() + relative, each "/" of it written with the system's separator.
  std::string Path(std::string_view relative) const;
  // Writes a file (parents created); returns its absolute path.
  std::string File(std::string_view relative, std::string_view contents);
  // Creates a directory (parents created); returns its absolute path with a final separator.
  std::string Dir(std::string_view relative);
  // Reads a whole file; empty when it cannot.
  static std::string Read(const std::string& path);
  // The first file of a folder whose name ends with `tail`; empty when none does.
  static std::string FileEndingWith(const std::string& folder, std::string_view tail);

 private:
  std::string root_;
};

// The path with each "/" written as the system writes its separator ("\\" on Windows), so
// expected paths are spelled once for both systems.
std::string Native(std::string_view path);
// The root every absolute path can begin with: "/", or the system drive's "C:\\".
std::string SystemRoot();

// The path of UTF-8 text, and the UTF-8 text of a path, on every system (a narrow text
// alone means the ANSI code page to Windows' C++ library).
std::filesystem::path PathOf(std::string_view utf8);
std::string TextOf(const std::filesystem::path& path);

// Writes `contents` over the file at `path` and gives it back its access and write
// times, as a disk that rots behind its file system. False when it cannot.
bool RewriteKeepingTimes(const std::string& path, std::string_view contents);

// The lines of a list file, split at CR LF; a last line without one is kept.
std::vector<std::string> ListLines(const std::string& text);
// A command's output split at LF, sorted.
std::vector<std::string> SortedLines(const std::string& text);

// Digits grouped by three from the right with blanks, as lists and the window show
// sizes: 1234567 -> "1 234 567".
std::string Grouped(uint64_t value);

}  // namespace testing_support
