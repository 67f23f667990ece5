#include "common/temp_tree.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

TempTree::TempTree() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/checker-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern + "/";
}

TempTree::~TempTree() {
  std::error_code ec;
  // Tests may leave unreadable directories behind.
  for (auto it = fs::recursive_directory_iterator(
           root_, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(root_, ec);
}

std::string TempTree::Path(std::string_view relative) const {
  return root_ + std::string(relative);
}

std::string TempTree::File(std::string_view relative, std::string_view contents) {
  const std::string path = Path(relative);
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return path;
}

std::string TempTree::Dir(std::string_view relative) {
  std::string path = Path(relative);
  fs::create_directories(path);
  if (path.back() != '/') path += '/';
  return path;
}

bool RewriteKeepingTimes(const std::string& path, std::string_view contents) {
  struct stat before;
  if (stat(path.c_str(), &before) != 0) return false;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string TempTree::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string TempTree::FileEndingWith(const std::string& folder, std::string_view tail) {
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
    if (entry.path().filename().string().ends_with(tail)) return entry.path();
  }
  return {};
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find('\n', pos);
    lines.push_back(text.substr(pos, end - pos));
    pos = end == std::string::npos ? text.size() : end + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> ListLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string Grouped(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

}  // namespace testing_support
