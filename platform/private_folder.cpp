// files.h: a folder for files that are the owner's alone.

#include "platform/files.h"
#include "platform/paths.h"

namespace platform {

bool MakePrivateFolder(const std::string& folder, std::string_view own_name, bool* changed) {
  *changed = false;
  const bool existed = PathKindOf(folder) == PathKind::kDirectory;
  if (!existed && !MakeDirs(folder)) return false;
  std::string_view trimmed = folder;
  while (trimmed.size() > RootLength(trimmed) && IsSeparator(trimmed.back())) {
    trimmed.remove_suffix(1);
  }
  if (existed && NameOf(trimmed) != own_name) return true;
  return KeepToOwner(folder, changed);
}

}  // namespace platform
