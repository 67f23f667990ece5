// Path text rules of both systems. No system call: the same answers on every machine.
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace platform {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Position just past the next separator at or after `from`, or the end of the text.
size_t PastComponent(std::string_view path, size_t from) {
  while (from < path.size() && !IsSeparator(path[from], PathStyle::kWindows)) ++from;
  return from < path.size() ? from + 1 : path.size();
}

// "\\?\" and "\\.\": the system takes what follows as it stands.
bool IsDevicePrefix(std::string_view path) {
  return path.size() >= 4 && IsSeparator(path[0], PathStyle::kWindows) &&
         IsSeparator(path[1], PathStyle::kWindows) && (path[2] == '?' || path[2] == '.') &&
         IsSeparator(path[3], PathStyle::kWindows);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

size_t WindowsRootLength(std::string_view path) {
  if (IsDevicePrefix(path)) {
    const std::string_view rest = path.substr(4);
    if (StartsWithNoCase(rest, "UNC") && rest.size() > 3 &&
        IsSeparator(rest[3], PathStyle::kWindows))
      return PastComponent(path, PastComponent(path, 8));
    if (rest.size() >= 2 && IsDriveLetter(rest[0]) && rest[1] == ':')
      return rest.size() > 2 && IsSeparator(rest[2], PathStyle::kWindows) ? 7 : 6;
    return PastComponent(path, 4);  // a volume name: "\\?\Volume{...}\"
  }
  if (path.size() >= 2 && IsSeparator(path[0], PathStyle::kWindows) &&
      IsSeparator(path[1], PathStyle::kWindows)) {
    return PastComponent(path, PastComponent(path, 2));
  }
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':') {
    return path.size() > 2 && IsSeparator(path[2], PathStyle::kWindows) ? 3 : 2;
  }
  return !path.empty() && IsSeparator(path[0], PathStyle::kWindows) ? 1 : 0;
}

size_t LastSeparator(std::string_view path, PathStyle style) {
  for (size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i], style)) return i;
  }
  return std::string_view::npos;
}

}  // namespace

size_t RootLength(std::string_view path, PathStyle style) {
  if (style == PathStyle::kWindows) return WindowsRootLength(path);
  return !path.empty() && path[0] == '/' ? 1 : 0;
}

bool IsAbsolute(std::string_view path, PathStyle style) {
  const size_t root = RootLength(path, style);
  if (style == PathStyle::kPosix || root == 0) return root != 0;
  // Two leading separators make a share or a device path; else a drive with its root.
  if (path.size() >= 2 && IsSeparator(path[0], style) && IsSeparator(path[1], style)) return true;
  return root == 3;
}

std::string_view FolderOf(std::string_view path, PathStyle style) {
  const size_t last = LastSeparator(path, style);
  return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

std::string_view NameOf(std::string_view path, PathStyle style) {
  const size_t last = LastSeparator(path, style);
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

std::string_view ParentOf(std::string_view path, PathStyle style) {
  const size_t root = RootLength(path, style);
  std::string_view rest = path;
  while (rest.size() > root && IsSeparator(rest.back(), style)) rest.remove_suffix(1);
  if (rest.size() <= root) return path.substr(0, root);
  const std::string_view folder = FolderOf(rest, style);
  return folder.size() < root ? path.substr(0, root) : folder;
}

std::string WithSeparator(std::string path, PathStyle style) {
  if (!path.empty() && !IsSeparator(path.back(), style)) path.push_back(SeparatorOf(style));
  return path;
}

std::string_view WithoutSeparator(std::string_view path, PathStyle style) {
  const size_t root = RootLength(path, style);
  while (path.size() > root && path.size() > 1 && IsSeparator(path.back(), style))
    path.remove_suffix(1);
  return path;
}

std::string Join(std::string_view folder, std::string_view name, PathStyle style) {
  std::string joined(folder);
  if (!joined.empty() && !IsSeparator(joined.back(), style)) joined.push_back(SeparatorOf(style));
  joined.append(name);
  return joined;
}

}  // namespace platform
