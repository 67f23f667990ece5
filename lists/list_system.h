#pragma once
// Which system wrote a list, as its search path tells. Lists travel: one written on
// Windows is read on Linux and the other way round.

#include <string_view>

#include "platform/paths.h"

namespace lists {

// A drive letter ("C:") or "\\" at the start of its search path marks a list written on
// Windows; any other search path, an empty one too, one written on Linux.
platform::PathStyle PathStyleOfList(std::string_view search_path);

// The system of a style as messages name it: "Windows" or "Linux".
std::string_view SystemName(platform::PathStyle style);

// Whether two paths from lists are the same path when a separator of either system
// matches the other: a list from Windows writes "Photos\a.jpg" where one from Linux
// writes "Photos/a.jpg". Byte for byte when `either` is false (a backslash is an
// ordinary character of a Linux name).
bool SameListedPath(std::string_view a, std::string_view b, bool either);

}  // namespace lists
