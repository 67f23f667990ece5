#include "common/temp_tree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/test_os.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace testing_support {

fs::path PathOf(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string TextOf(const fs::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

TempTree::TempTree() {
  root_ = platform::MakeTempDir("checker-test-");
  if (root_.empty()) throw std::runtime_error("cannot make a temporary directory");
}

TempTree::~TempTree() {
  std::error_code ec;
  // Tests may leave unreadable directories behind.
  for (auto it = fs::recursive_directory_iterator(
           PathOf(root_), fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::permissions(PathOf(root_), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(PathOf(root_), ec);
}

std::string Native(std::string_view path) {
  std::string native(path);
  std::replace(native.begin(), native.end(), '/', platform::kSeparator);
  return native;
}

std::string SystemRoot() {
  return platform::kNativePathStyle == platform::PathStyle::kWindows ? "C:\\" : "/";
}

std::string TempTree::Path(std::string_view relative) const { return root_ + Native(relative); }

std::string TempTree::File(std::string_view relative, std::string_view contents) {
  const std::string path = Path(relative);
  fs::create_directories(PathOf(path).parent_path());
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return path;
}

std::string TempTree::Dir(std::string_view relative) {
  std::string path = Path(relative);
  fs::create_directories(PathOf(path));
  if (!platform::IsSeparator(path.back())) path += platform::kSeparator;
  return path;
}

bool RewriteKeepingTimes(const std::string& path, std::string_view contents) {
  FileTimes before;
  if (!GetFileTimes(path, &before)) return false;
  std::ofstream(PathOf(path), std::ios::binary | std::ios::trunc) << contents;
  return SetFileTimes(path, before);
}

std::string TempTree::Read(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string TempTree::FileEndingWith(const std::string& folder, std::string_view tail) {
  std::error_code missing;
  for (const auto& entry : fs::directory_iterator(PathOf(folder), missing)) {
    const std::string path = TextOf(entry.path());
    if (TextOf(entry.path().filename()).ends_with(tail)) return path;
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
