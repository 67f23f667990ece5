#include "lists/list_system.h"

namespace lists {

platform::PathStyle PathStyleOfList(std::string_view search_path) {
  const bool drive = search_path.size() >= 2 && search_path[1] == ':' &&
                     ((search_path[0] >= 'A' && search_path[0] <= 'Z') ||
                      (search_path[0] >= 'a' && search_path[0] <= 'z'));
  const bool share = search_path.starts_with("\\\\");
  return drive || share ? platform::PathStyle::kWindows : platform::PathStyle::kPosix;
}

std::string_view SystemName(platform::PathStyle style) {
  return style == platform::PathStyle::kWindows ? "Windows" : "Linux";
}

bool SameListedPath(std::string_view a, std::string_view b, bool either) {
  if (!either || a.size() != b.size()) return a == b;
  for (size_t i = 0; i < a.size(); ++i) {
    const bool separators = platform::IsSeparator(a[i], platform::PathStyle::kWindows) &&
                            platform::IsSeparator(b[i], platform::PathStyle::kWindows);
    if (a[i] != b[i] && !separators) return false;
  }
  return true;
}

}  // namespace lists
