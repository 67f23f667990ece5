#pragma once
// What the Windows sources behind platform/files.h share: files_win.cpp (a file opened,
// read, written), dirs_win.cpp (paths and directories). Not for use outside platform/.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/files.h"

namespace platform::win_parts {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The classes keep their handles in an int: Windows handles fit in 32 bits.
inline HANDLE HandleOf(int fd) { return LongToHandle(fd); }

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
std::wstring ChildPath(int dir, std::string_view name);

// MoveFileExW with write-through, tried again for a while when another program's open
// file refuses it (scanners and indexers hold files for moments). With
// MOVEFILE_REPLACE_EXISTING a POSIX rename comes first, which replaces a file others hold
// open with delete sharing. GetLastError tells.
bool MoveWithRetries(const std::wstring& from, const std::wstring& to, DWORD flags);

}  // namespace platform::win_parts
