#pragma once
// What the Windows sources behind platform/files.h share: files_win.cpp (a file opened,
// read, written), dirs_win.cpp (paths and directories). Not for use outside platform/.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform::win_parts {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline bool NotFoundCode(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// The record of an open file or directory; false when the system cannot tell. A link
// (any reparse point that is no placeholder) comes back as kOther.
bool InfoOfHandle(HANDLE h, FileInfo* info);

// Opens `path` (long form) to look at it, never following a final link.
HANDLE OpenToLook(const std::wstring& path);

// The long-form path of an open directory, for what is reached through it.
std::wstring PathOfHandle(HANDLE h);
std::wstring ChildPath(NativeHandle dir, std::string_view name);

// Opens the existing entry `name` of the open directory `dir` through the directory's
// handle, as CreateFileW with OPEN_EXISTING and `access` would, never following a final
// link: no path is built, so no length limits how deep it reaches. A name of more than one
// component goes through ChildPath. Sets the last error as CreateFileW does.
HANDLE OpenChild(NativeHandle dir, std::string_view name, DWORD access);

// MoveFileExW with write-through, tried again for a while when another program's open
// file refuses it (scanners and indexers hold files for moments). With
// MOVEFILE_REPLACE_EXISTING a POSIX rename comes first, which replaces a file others hold
// open with delete sharing. GetLastError tells.
bool MoveWithRetries(const std::wstring& from, const std::wstring& to, DWORD flags);

}  // namespace platform::win_parts
