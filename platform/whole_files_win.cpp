// files.h on Windows: folders made, whole files written, replaced, copied and read.
#include <aclapi.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/files_win_parts.h"
#include "platform/wide_win.h"

namespace platform {

using win_parts::kShareAll;
using win_parts::MoveWithRetries;

namespace {

// A name of our own beside `path`: the stem, the process and a counter.
std::string NameBeside(const std::string& path, const char* stem) {
  static LONG counter = 0;
  const size_t cut = path.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  return folder + stem + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(InterlockedIncrement(&counter));
}

// The current user's SID, in a buffer the caller keeps.
PSID CurrentUser(std::unique_ptr<char[]>* buffer) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  *buffer = std::make_unique<char[]>(size);
  const bool ok = GetTokenInformation(token, TokenUser, buffer->get(), size, &size) != 0;
  CloseHandle(token);
  return ok ? reinterpret_cast<TOKEN_USER*>(buffer->get())->User.Sid : nullptr;
}

// True when the list grants nothing to anyone but `user`.
bool OnlyFor(PACL dacl, PSID user) {
  if (dacl == nullptr) return false;  // no list at all: everyone may do anything
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return false;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    if (!EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), user)) return false;
  }
  return true;
}

}  // namespace

namespace {

// Whether the access list of `path` grants nothing to anyone but `user`; false when it
// cannot be read.
bool KeptTo(const std::wstring& path, PSID user) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool only = OnlyFor(dacl, user);
  LocalFree(descriptor);
  return only;
}

}  // namespace

bool KeepToOwner(const std::string& path, bool* changed) {
  *changed = false;
  const std::wstring full = LongPath(path);
  if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return win_parts::NotFoundCode(GetLastError());
  }
  std::unique_ptr<char[]> user_buffer;
  const PSID user = CurrentUser(&user_buffer);
  if (user == nullptr) return false;
  if (KeptTo(full, user)) return true;
  // One grant, to the owner, inherited by what a folder holds; nothing from above.
  EXPLICIT_ACCESSW grant = {};
  grant.grfAccessPermissions = GENERIC_ALL;
  grant.grfAccessMode = SET_ACCESS;
  grant.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  grant.Trustee.TrusteeType = TRUSTEE_IS_USER;
  grant.Trustee.ptstrName = reinterpret_cast<LPWSTR>(user);
  PACL owner_only = nullptr;
  if (SetEntriesInAclW(1, &grant, nullptr, &owner_only) != ERROR_SUCCESS) return false;
  const DWORD rc =
      SetNamedSecurityInfoW(const_cast<LPWSTR>(full.c_str()), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, owner_only, nullptr);
  LocalFree(owner_only);
  if (rc != ERROR_SUCCESS) return false;
  // A file system that keeps no access lists (FAT, wine's host) takes the list and reads
  // back what it read before: nothing was taken away, and nothing more can be.
  *changed = KeptTo(full, user);
  return true;
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  const std::wstring full = LongPath(path);
  // Past the "\\?\C:\" or "\\?\UNC\host\share\" head, one folder at a time.
  size_t pos = full.rfind(L"\\\\?\\UNC\\", 0) == 0 ? full.find(L'\\', full.find(L'\\', 8) + 1)
                                                   : full.find(L'\\', 4);
  while (pos != std::wstring::npos && pos < full.size()) {
    pos = full.find(L'\\', pos + 1);
    const std::wstring partial = full.substr(0, pos);
    if (!CreateDirectoryW(partial.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
        GetLastError() != ERROR_ACCESS_DENIED) {
      return false;
    }
  }
  const DWORD attributes = GetFileAttributesW(full.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return DeleteFileW(LongPath(path).c_str()) != 0; }

bool RemoveDir(const std::string& path) { return RemoveDirectoryW(LongPath(path).c_str()) != 0; }

bool CreateLockedFile(const std::string& path, File* file) {
  // Made and locked under a name of its own, then given `path` by a rename that never
  // replaces: whoever finds `path` unlocked knows its holder is gone.
  file->Close();
  const std::string temporary = NameBeside(path, ".checker-lock-");
  if (!file->Open(temporary, OpenMode::kOpenOrCreateLocked)) return false;
  if (!MoveWithRetries(LongPath(temporary), LongPath(path), 0)) {
    const std::string error = SystemErrorText(GetLastError());
    file->Close();
    DeleteFileW(LongPath(temporary).c_str());
    file->error_ = error;
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, std::string_view data) {
  File file;
  if (!file.Open(path, OpenMode::kCreateTruncate)) return false;
  const bool ok = file.Write(data);
  return file.Close() && ok;
}

bool ReplaceFileLocked(const std::string& path, std::string_view data, File* lock,
                       std::string* error) {
  // A name at the length limit leaves room for the suffix by its end, cut where a
  // character begins (a byte of UTF-8 is at most one unit of the 255 a name may hold).
  constexpr size_t kMaxName = 255;
  constexpr std::string_view kSuffix = ".new";
  const size_t cut = path.find_last_of("\\/");
  const size_t base = cut == std::string::npos ? 0 : cut + 1;
  size_t end = base + std::min(path.size() - base, kMaxName - kSuffix.size());
  while (end > base && end < path.size() &&
         (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) {
    --end;
  }
  const std::string temporary = path.substr(0, end) + std::string(kSuffix);
  File fresh;
  if (!fresh.Open(temporary, OpenMode::kOpenOrCreateLocked)) {
    *error = fresh.ErrorText();
    return false;
  }
  if (!fresh.SetSize(0) || !fresh.Write(data) || !fresh.Sync()) {
    *error = fresh.ErrorText();
    fresh.Close();
    DeleteFileW(LongPath(temporary).c_str());
    return false;
  }
  // Every open here shares deletion, so the old file may be replaced while held.
  if (!MoveWithRetries(LongPath(temporary), LongPath(path), MOVEFILE_REPLACE_EXISTING)) {
    *error = SystemErrorText(GetLastError());
    fresh.Close();
    DeleteFileW(LongPath(temporary).c_str());
    return false;
  }
  *lock = std::move(fresh);
  return true;
}

CopyResult CopyToNewFile(const std::string& from, const std::string& to, std::string* error) {
  const std::wstring target = LongPath(to);
  if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return CopyResult::kExists;
  FileInfo info;
  if (!StatPath(from, &info) || info.kind != EntryKind::kFile) {
    *error = SystemErrorText(ERROR_FILE_NOT_FOUND);
    return CopyResult::kFailed;
  }
  const std::wstring temporary = LongPath(NameBeside(to, ".checker-copy-"));
  bool copied = CopyFileW(LongPath(from).c_str(), temporary.c_str(), TRUE) != 0;
  if (copied) {
    // The copy reaches the disk before it takes its name.
    const HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    copied = h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  if (copied && MoveWithRetries(temporary, target, 0)) return CopyResult::kCopied;
  const DWORD code = GetLastError();
  DeleteFileW(temporary.c_str());
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) return CopyResult::kExists;
  *error = SystemErrorText(code);
  return CopyResult::kFailed;
}

bool ReadWholeFile(const std::string& path, std::string* data) {
  File file;
  std::unique_ptr<char[]> bytes;
  size_t size = 0;
  if (!file.Open(path, OpenMode::kRead) || !file.ReadToEnd(&bytes, &size)) return false;
  data->assign(bytes.get(), size);
  return true;
}

}  // namespace platform
