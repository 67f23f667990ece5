#include "lists/preflight.h"

#include "platform/files.h"
#include "lists/list_paths.h"

namespace lists {

bool ListHeld(const std::string& id_list, std::string* reason) {
  platform::FileInfo info;
  platform::File probe;
  if (!platform::StatPath(id_list, &info) ||
      probe.Open(id_list, platform::OpenMode::kReadWriteLocked)) {
    return false;
  }
  *reason = probe.ErrorText();
  return true;
}

bool ListsHoldSomething(const std::string& tree_list, const std::string& id_list) {
  for (const std::string& list : {tree_list, id_list}) {
    platform::FileInfo info;
    if (platform::StatPath(list, &info) && info.size > 0) return true;
  }
  return false;
}

bool BackUpLists(const std::string& tree_list, const std::string& id_list,
                 const std::string& folder, std::string* error) {
  for (const std::string& list : {tree_list, id_list}) {
    if (!BackUpList(list, folder, error)) return false;
  }
  return true;
}

}  // namespace lists
