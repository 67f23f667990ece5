#include <aclapi.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_moves.h"
#include "platform/files_win_parts.h"
#include "platform/wide_win.h"

namespace platform {

namespace {

// A rename another program's open file refuses is tried again for a while.
constexpr int kRenameTries = 10;
constexpr DWORD kRenamePauseMs = 100;

bool Failed(const std::string& doing, std::string* error) {
  *error = doing + ": " + SystemErrorText(GetLastError());
  return false;
}

// The attribute bits a file's record carries over: read-only, hidden, system, archive,
// not indexed.
constexpr DWORD kRecordAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Owner, group and access list of `from` given to `to`; an owner that cannot be given is
// an error only when it differs from the one `to` has.
using win_parts::kShareAll;

bool CopySecurity(const std::wstring& from, const std::wstring& to) {
  PSID owner = nullptr, group = nullptr, to_owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR source = nullptr, target = nullptr;
  const SECURITY_INFORMATION what =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD rc = GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, what, &owner, &group, &dacl,
                                   nullptr, &source);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return false;
  }
  rc = GetNamedSecurityInfoW(to.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &to_owner,
                             nullptr, nullptr, nullptr, &target);
  const bool same_owner = rc == ERROR_SUCCESS && owner && to_owner && EqualSid(owner, to_owner);
  // The access list as the source holds it, inherited entries included, so nothing widens.
  rc = SetNamedSecurityInfoW(const_cast<LPWSTR>(to.c_str()), SE_FILE_OBJECT,
                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                             nullptr, nullptr, dacl, nullptr);
  if (rc == ERROR_SUCCESS && !same_owner) {
    rc = SetNamedSecurityInfoW(const_cast<LPWSTR>(to.c_str()), SE_FILE_OBJECT,
                               OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION, owner,
                               group, nullptr, nullptr);
  }
  LocalFree(source);
  if (target) LocalFree(target);
  SetLastError(rc);
  return rc == ERROR_SUCCESS;
}

}  // namespace

namespace win_parts {

// Renames over an existing file while others hold it open with delete sharing, as a
// POSIX rename does: the name moves at once and the open handles keep the old file. From
// Windows 10 on NTFS; false (GetLastError tells) where the system has no such rename.
bool PosixRename(const std::wstring& from, const std::wstring& to) {
  constexpr DWORD kReplaceIfExists = 0x1, kPosixSemantics = 0x2;
  constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  const HANDLE h =
      CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // The system's own form of the target: "\??\C:\..." for "\\?\C:\...".
  std::wstring target = to;
  if (target.rfind(L"\\\\?\\", 0) == 0) target[1] = L'?';
  const size_t name_at = offsetof(FILE_RENAME_INFO, FileName);
  std::vector<char> buffer(name_at + (target.size() + 1) * sizeof(wchar_t), 0);
  const DWORD flags = kReplaceIfExists | kPosixSemantics;
  std::memcpy(buffer.data(), &flags, sizeof flags);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(buffer.data() + name_at, target.c_str(), target.size() * sizeof(wchar_t));
  const bool ok = SetFileInformationByHandle(h, kFileRenameInfoEx, buffer.data(),
                                             static_cast<DWORD>(buffer.size())) != 0;
  const DWORD code = GetLastError();
  CloseHandle(h);
  SetLastError(code);
  return ok;
}

// Where no rename replaces an open file (Windows before 10, wine): the old file moves
// aside under a name of its own (its holders share deletion), the new one takes its name,
// and the old one goes when its last holder closes it.
bool ReplaceBySettingAside(const std::wstring& from, const std::wstring& to) {
  static LONG counter = 0;
  // A name of its own in the same folder: the old name may already be as long as a name may be.
  const std::wstring aside = to.substr(0, to.find_last_of(L'\\') + 1) + L".checker-old-" +
                             std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(InterlockedIncrement(&counter));
  // A read-only file is not replaced this way: it could not be deleted afterwards.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  if (!MoveFileExW(to.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    MoveFileExW(aside.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
    SetLastError(code);
    return false;
  }
  DeleteFileW(aside.c_str());
  return true;
}

bool MoveWithRetries(const std::wstring& from, const std::wstring& to, DWORD flags) {
  const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
  if (replace && PosixRename(from, to)) return true;
  for (int tries = 0;; ++tries) {
    if (MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD code = GetLastError();
    if (replace && code == ERROR_ACCESS_DENIED && ReplaceBySettingAside(from, to)) return true;
    if (tries + 1 >= kRenameTries ||
        (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED)) {
      SetLastError(code);
      return false;
    }
    Sleep(kRenamePauseMs);
  }
}

}  // namespace win_parts

// A rename with write-through is on the disk when it returns: the folder needs nothing more.
bool SyncFolder(const std::string&, std::string*) { return true; }

bool LinkFile(const std::string& from, const std::string& to, std::string* error) {
  if (CreateHardLinkW(LongPath(to).c_str(), LongPath(from).c_str(), nullptr)) return true;
  *error = SystemErrorText(GetLastError());
  return false;
}

bool RenameOver(const std::string& from, const std::string& to, std::string* error) {
  const std::wstring source = LongPath(from), target = LongPath(to);
  if (win_parts::MoveWithRetries(source, target, MOVEFILE_REPLACE_EXISTING)) return true;
  // A read-only file refuses to be replaced, where a POSIX rename looks at the folder only.
  const DWORD code = GetLastError();
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) &&
      SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    if (win_parts::MoveWithRetries(source, target, MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD again = GetLastError();
    SetFileAttributesW(target.c_str(), attributes);
    SetLastError(again);
  } else {
    SetLastError(code);
  }
  return Failed("cannot rename " + from, error);
}

bool CopyFileRecord(const std::string& from, const std::string& to, std::string* error) {
  const std::wstring source = LongPath(from), target = LongPath(to);
  const DWORD attributes = GetFileAttributesW(source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed("cannot look up " + from, error);
  if (!CopySecurity(source, target)) {
    return Failed("cannot give " + to + " the access rights of " + from, error);
  }
  const DWORD now = GetFileAttributesW(target.c_str());
  if (now == INVALID_FILE_ATTRIBUTES) return Failed("cannot look up " + to, error);
  const DWORD wanted = (now & ~kRecordAttributes) | (attributes & kRecordAttributes);
  if (wanted != now && !SetFileAttributesW(target.c_str(), wanted)) {
    return Failed("cannot give " + to + " the attributes of " + from, error);
  }
  return true;
}

bool SetWriteTime(const std::string& path, FileTime time, std::string* error) {
  const HANDLE h = CreateFileW(LongPath(path).c_str(), FILE_WRITE_ATTRIBUTES, win_parts::kShareAll,
                               nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed("cannot set the write time of " + path, error);
  FILETIME write;
  write.dwLowDateTime = static_cast<DWORD>(time);
  write.dwHighDateTime = static_cast<DWORD>(time >> 32);
  const bool ok = SetFileTime(h, nullptr, nullptr, &write) != 0;
  const DWORD code = GetLastError();
  CloseHandle(h);
  SetLastError(code);
  return ok || Failed("cannot set the write time of " + path, error);
}

bool OnReadOnlyMount(const std::string& path) {
  const HANDLE h = win_parts::OpenToLook(LongPath(path));
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD flags = 0;
  const bool ok =
      GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) != 0;
  CloseHandle(h);
  return ok && (flags & FILE_READ_ONLY_VOLUME) != 0;
}

}  // namespace platform
