#pragma once
// Checks on the PATH a command is given.

#include <string>

namespace cli {

// Why `path` (absolute) cannot be scanned, for "cannot scan PATH: REASON": "no such
// directory", "not a directory", "is a symbolic link to a directory; give the
// directory itself", "is a FIFO, not a directory" and the like. For a directory it
// says "not a directory" too: call it only when the path is none.
std::string NotADirectoryReason(const std::string& path);

// Empty when something is there (anything, a link that leads nowhere included); else
// why not: "no such file or directory", or the system's text when it cannot be looked
// up.
std::string MissingReason(const std::string& path);

}  // namespace cli
