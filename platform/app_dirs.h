#pragma once
// Where the program keeps what it makes for itself, by the system's own rules; each ends
// in a separator, or is empty when the system names no such place.

#include <string>

namespace platform {

// What must last (the scrub history): $XDG_DATA_HOME, else ~/.local/share/; %APPDATA%.
std::string DataHome();
// What can be made again (the catalogue's index): $XDG_CACHE_HOME, else ~/.cache/;
// %LOCALAPPDATA%.
std::string CacheHome();

}  // namespace platform
