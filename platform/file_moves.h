#pragma once
// The steps of replacing a file in place so that a kill at any moment leaves a whole
// file under its name: hard links, renames, flushed folders, a file's record carried
// over to another, its write time set.

#include <string>

#include "platform/files.h"

namespace platform {

// Flushes a folder's entries (names made, linked or renamed in it) to the disk.
bool SyncFolder(const std::string& folder, std::string* error);
// Gives the file `from` the further name `to`, which must be free.
bool LinkFile(const std::string& from, const std::string& to, std::string* error);
// Renames `from` over `to` in one step: `to` names the old file or the new, never neither.
bool RenameOver(const std::string& from, const std::string& to, std::string* error);
// Gives `to` the permission bits, owner, group and extended attributes of `from` (links
// not followed). An owner that cannot be given (not root) is an error only when it
// differs from the one `to` has.
bool CopyFileRecord(const std::string& from, const std::string& to, std::string* error);
// Sets the last write time of the file (its access time is left as it is).
bool SetWriteTime(const std::string& path, FileTime time, std::string* error);
// The file system that holds `path` is mounted read only.
bool OnReadOnlyMount(const std::string& path);

}  // namespace platform
