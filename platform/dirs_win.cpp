#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/files_win_parts.h"
#include "platform/paths.h"
#include "platform/placeholders.h"
#include "platform/wide_win.h"

namespace platform {

using win_parts::kShareAll;

namespace {

std::atomic<DirEntryHook> g_dir_entry_hook{nullptr};

constexpr int64_t kUnitsFrom1601To1970 = 116444736000000000LL;
// The attribute bits of the find-data record: read-only, hidden, system, directory,
// archive, normal, temporary, compressed, offline; and the two that mark a file whose data
// is not on this disk (a cloud placeholder), which the lists leave out.
constexpr DWORD kListedAttributes = 0x37 | FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY |
                                    FILE_ATTRIBUTE_COMPRESSED | kAttrOffline | kAttrRecallOnOpen |
                                    kAttrRecallOnDataAccess;

FileTime Join(DWORD high, DWORD low) { return (FileTime{high} << 32) | low; }
int64_t NsSince1970(int64_t units) { return (units - kUnitsFrom1601To1970) * 100; }

// Any reparse point (a link, a junction) is passed over, never followed or read; but a
// cloud placeholder, which is one too, is a file the run names as not on this disk.
EntryKind KindOf(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !IsPlaceholder(attributes)) {
    return EntryKind::kOther;
  }
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::kDirectory : EntryKind::kFile;
}

constexpr DWORD kDirectoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

// A directory handle that lists and opens what lies in it, never a link's target: `h` as
// opened, closed when it is no directory.
HANDLE CheckedDirectory(HANDLE h, std::string* error) {
  if (h == INVALID_HANDLE_VALUE) {
    *error = SystemErrorText(GetLastError());
    return h;
  }
  FileInfo info;
  if (!win_parts::InfoOfHandle(h, &info) || info.kind != EntryKind::kDirectory) {
    *error = info.kind == EntryKind::kOther ? "a link" : SystemErrorText(ERROR_DIRECTORY);
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

HANDLE OpenDirectory(const std::wstring& path, std::string* error) {
  return CheckedDirectory(
      CreateFileW(path.c_str(), kDirectoryAccess, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
      error);
}

HANDLE OpenDirectoryIn(NativeHandle parent, std::string_view name, std::string* error) {
  return CheckedDirectory(win_parts::OpenChild(parent, name, kDirectoryAccess), error);
}

// The system's own call for opens relative to a handle, which kernel32 does not offer.
using NtCreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                          PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                          ULONG, PVOID, ULONG);
using StatusToErrorCall = ULONG(NTAPI*)(NTSTATUS);

template <typename Call>
Call NtdllCall(const char* name) {
  return reinterpret_cast<Call>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

bool StatIn(NativeHandle dir, std::string_view name, FileInfo* info) {
  if (dir == kNoHandle) return false;
  const HANDLE h = win_parts::OpenChild(dir, name, FILE_READ_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = win_parts::InfoOfHandle(h, info) && info->kind != EntryKind::kOther;
  CloseHandle(h);
  // A lookup by name marks the test's placeholder as the listing does.
  if (ok) info->attributes |= PlaceholderMarkOf(name);
  return ok;
}

// What a DirReader holds: the directory's handle, a batch of entries and where in it the
// listing stands.
struct Listing {
  // FILE_ID_BOTH_DIR_INFO records are 8-byte aligned.
  alignas(8) char batch[64 * 1024];
  DWORD filled = 0;
  DWORD offset = 0;
  bool started = false;
  bool ended = false;
  std::string name;
  // The record of the entry Next gave last, from the listing itself: a lookup of that name
  // needs no open of its own. The volume's serial stands for the device, as InfoOfHandle.
  FileInfo record;
  // That entry's alternate name, turned into UTF-8 only when asked for.
  std::wstring_view short_name;
  DWORD serial = 0;
};

FileInfo RecordOf(const FILE_ID_BOTH_DIR_INFO& entry, DWORD serial) {
  FileInfo info;
  info.attributes = entry.FileAttributes & kListedAttributes;
  info.kind = KindOf(entry.FileAttributes);
  info.creation_time = static_cast<FileTime>(entry.CreationTime.QuadPart);
  info.last_access_time = static_cast<FileTime>(entry.LastAccessTime.QuadPart);
  info.last_write_time = static_cast<FileTime>(entry.LastWriteTime.QuadPart);
  if (info.kind == EntryKind::kFile) info.size = static_cast<uint64_t>(entry.EndOfFile.QuadPart);
  info.device = DeviceNumber(0, serial);
  info.inode = static_cast<uint64_t>(entry.FileId.QuadPart);
  info.write_ns = NsSince1970(entry.LastWriteTime.QuadPart);
  info.change_ns = NsSince1970(entry.ChangeTime.QuadPart);
  return info;
}

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != text.npos; }

}  // namespace

namespace win_parts {

bool InfoOfHandle(HANDLE h, FileInfo* info) {
  BY_HANDLE_FILE_INFORMATION record;
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandle(h, &record) ||
      !GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) {
    return false;
  }
  *info = FileInfo();
  info->attributes = record.dwFileAttributes & kListedAttributes;
  info->kind = KindOf(record.dwFileAttributes);
  info->creation_time =
      Join(record.ftCreationTime.dwHighDateTime, record.ftCreationTime.dwLowDateTime);
  info->last_access_time =
      Join(record.ftLastAccessTime.dwHighDateTime, record.ftLastAccessTime.dwLowDateTime);
  info->last_write_time =
      Join(record.ftLastWriteTime.dwHighDateTime, record.ftLastWriteTime.dwLowDateTime);
  if (info->kind == EntryKind::kFile) {
    info->size = Join(record.nFileSizeHigh, record.nFileSizeLow);
  }
  info->device = DeviceNumber(0, record.dwVolumeSerialNumber);
  info->inode = Join(record.nFileIndexHigh, record.nFileIndexLow);
  info->write_ns = NsSince1970(static_cast<int64_t>(info->last_write_time));
  info->change_ns = NsSince1970(basic.ChangeTime.QuadPart);
  return true;
}

HANDLE OpenToLook(const std::wstring& path) {
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

std::wstring PathOfHandle(HANDLE h) {
  std::wstring path(MAX_PATH, L'\0');
  for (int tries = 0; tries < 4; ++tries) {
    const DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n + 1);
  }
  return {};
}

std::wstring ChildPath(NativeHandle dir, std::string_view name) {
  std::wstring path = PathOfHandle(dir);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + Widen(name);
}

HANDLE OpenChild(NativeHandle dir, std::string_view name, DWORD access) {
  static const auto nt_create_file = NtdllCall<NtCreateFileCall>("NtCreateFile");
  static const auto status_to_error = NtdllCall<StatusToErrorCall>("RtlNtStatusToDosError");
  if (nt_create_file == nullptr || status_to_error == nullptr || name.empty() || name == "." ||
      name == ".." || name.find_first_of("\\/") != std::string_view::npos) {
    return CreateFileW(ChildPath(dir, name).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  }
  std::wstring wide = Widen(name);
  UNICODE_STRING text;
  text.Buffer = wide.data();
  text.Length = text.MaximumLength = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, dir, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE h = INVALID_HANDLE_VALUE;
  const NTSTATUS status = nt_create_file(
      &h, access | SYNCHRONIZE, &object, &io, nullptr, 0, kShareAll, FILE_OPEN,
      FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_OPEN_REPARSE_POINT, nullptr,
      0);
  if (status < 0) {
    SetLastError(status_to_error(status));
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

}  // namespace win_parts

void SetDirEntryHookForTesting(DirEntryHook hook) { g_dir_entry_hook.store(hook); }

bool StatPath(const std::string& path, FileInfo* info) {
  const HANDLE h = win_parts::OpenToLook(LongPath(path));
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = win_parts::InfoOfHandle(h, info) && info->kind != EntryKind::kOther;
  CloseHandle(h);
  if (ok) info->attributes |= PlaceholderMarkOf(NameOf(path));
  return ok;
}

PathKind PathKindOf(const std::string& path, std::string* error) {
  const std::wstring full = LongPath(path);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    // "file\": a file where a folder is named stands there, as Linux's ENOTDIR says.
    if (const std::string_view bare = WithoutSeparator(path); bare.size() < path.size()) {
      const PathKind kind = PathKindOf(std::string(bare), nullptr);
      if (kind != PathKind::kMissing && kind != PathKind::kUnknown) return kind;
    }
    if (win_parts::NotFoundCode(code) || code == ERROR_INVALID_NAME) return PathKind::kMissing;
    if (error != nullptr) *error = SystemErrorText(code);
    return PathKind::kUnknown;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // What the link leads to: its own directory bit says which kind of link it is.
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kLinkToDirectory : PathKind::kLink;
  }
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::kDevice;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kDirectory : PathKind::kFile;
}

bool FindFirst(const std::string& path, FileInfo* info, std::string* name) {
  const size_t cut = path.find_last_of("\\/");
  const std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
  if (!HasWildcard(base)) {
    if (!StatPath(path, info)) return false;
    *name = base;
    return true;
  }
  const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileExW(LongPath(path).c_str(), FindExInfoBasic, &found,
                                       FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  do {
    const std::string entry = Narrow(found.cFileName);
    if (entry == "." || entry == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      continue;
    }
    ok = StatPath(folder + entry, info);
    if (ok) *name = entry;
  } while (!ok && FindNextFileW(find, &found));
  FindClose(find);
  return ok;
}

std::string ShortNameOf(const std::string& path) {
  const std::wstring wide = LongPath(path);
  const DWORD needed = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (needed == 0) return std::string();
  std::wstring shorter(needed, L'\0');
  const DWORD got = GetShortPathNameW(wide.c_str(), shorter.data(), needed);
  if (got == 0 || got >= needed) return std::string();
  shorter.resize(got);
  // The system gives back the long component where it has no other, as a listing does not.
  const auto last = [](std::wstring_view text) {
    while (!text.empty() && (text.back() == L'\\' || text.back() == L'/')) text.remove_suffix(1);
    const size_t cut = text.find_last_of(L"\\/");
    return cut == text.npos ? text : text.substr(cut + 1);
  };
  const std::wstring_view short_last = last(shorter);
  return short_last == last(wide) ? std::string() : Narrow(short_last);
}

std::string DirReader::ShortName() const {
  const auto* listing = static_cast<const Listing*>(dir_);
  return listing == nullptr || !listing->started ? std::string() : Narrow(listing->short_name);
}

DirHandle::~DirHandle() { Close(); }

DirHandle::DirHandle(DirHandle&& other) noexcept { *this = std::move(other); }

DirHandle& DirHandle::operator=(DirHandle&& other) noexcept {
  if (this == &other) return *this;
  Close();
  fd_ = other.fd_;
  error_ = std::move(other.error_);
  other.fd_ = kNoHandle;
  return *this;
}

bool DirHandle::Open(const std::string& path) {
  Close();
  error_.clear();
  const HANDLE h = OpenDirectory(LongPath(path), &error_);
  if (h == INVALID_HANDLE_VALUE) return false;
  fd_ = h;
  return true;
}

bool DirHandle::OpenAt(const DirHandle& parent, std::string_view name) {
  Close();
  error_.clear();
  if (parent.fd_ == kNoHandle) {
    error_ = SystemErrorText(ERROR_INVALID_HANDLE);
    return false;
  }
  const HANDLE h = OpenDirectoryIn(parent.fd_, name, &error_);
  if (h == INVALID_HANDLE_VALUE) return false;
  fd_ = h;
  return true;
}

bool DirHandle::Duplicate(const DirReader& reader) {
  Close();
  HANDLE copy;
  if (reader.fd_ == kNoHandle ||
      !DuplicateHandle(GetCurrentProcess(), reader.fd_, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    error_ = SystemErrorText(GetLastError());
    return false;
  }
  fd_ = copy;
  return true;
}

void DirHandle::Close() {
  if (fd_ != kNoHandle) CloseHandle(fd_);
  fd_ = kNoHandle;
}

bool DirHandle::Stat(std::string_view name, FileInfo* info) const {
  return StatIn(fd_, name, info);
}

bool DirHandle::StatSelf(FileInfo* info) const {
  return fd_ != kNoHandle && win_parts::InfoOfHandle(fd_, info);
}

DirReader::~DirReader() { Close(); }

bool DirReader::Adopt(NativeHandle fd) {
  Close();
  fd_ = fd;
  auto* listing = new Listing();
  BY_HANDLE_FILE_INFORMATION self;
  if (GetFileInformationByHandle(fd, &self)) listing->serial = self.dwVolumeSerialNumber;
  dir_ = listing;
  return true;
}

bool DirReader::Open(const std::string& path) {
  Close();
  const HANDLE h = OpenDirectory(LongPath(path), &error_);
  return h != INVALID_HANDLE_VALUE && Adopt(h);
}

bool DirReader::Open(const DirHandle& dir) {
  Close();
  HANDLE copy;
  if (dir.fd_ == kNoHandle || !DuplicateHandle(GetCurrentProcess(), dir.fd_, GetCurrentProcess(),
                                               &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    error_ = SystemErrorText(GetLastError());
    return false;
  }
  // A duplicate shares the listing's position with the original: start it over.
  return Adopt(copy);
}

bool DirReader::OpenChild(std::string_view name, DirReader* other) const {
  other->Close();
  if (fd_ == kNoHandle) return false;
  const HANDLE h = OpenDirectoryIn(fd_, name, &other->error_);
  return h != INVALID_HANDLE_VALUE && other->Adopt(h);
}

void DirReader::Close() {
  delete static_cast<Listing*>(dir_);
  dir_ = nullptr;
  if (fd_ != kNoHandle) CloseHandle(fd_);
  fd_ = kNoHandle;
  failed_ = false;
  error_.clear();
}

// One call per batch brings every entry's attributes, times, size, file id and short name.
bool DirReader::Next(std::string_view* name, EntryKind* kind) {
  auto* listing = static_cast<Listing*>(dir_);
  if (listing == nullptr) return false;
  for (;;) {
    if (listing->offset >= listing->filled) {
      if (listing->ended) return false;
      const auto kind_of_call =
          listing->started ? FileIdBothDirectoryInfo : FileIdBothDirectoryRestartInfo;
      listing->started = true;
      listing->offset = 0;
      listing->filled = 0;
      if (!GetFileInformationByHandleEx(fd_, kind_of_call, listing->batch, sizeof listing->batch)) {
        listing->ended = true;
        if (GetLastError() != ERROR_NO_MORE_FILES) {
          failed_ = true;
          error_ = SystemErrorText(GetLastError());
        }
        return false;
      }
      listing->filled = sizeof listing->batch;
    }
    const auto* entry =
        reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(listing->batch + listing->offset);
    listing->offset =
        entry->NextEntryOffset == 0 ? listing->filled : listing->offset + entry->NextEntryOffset;
    listing->name =
        Narrow(std::wstring_view(entry->FileName, entry->FileNameLength / sizeof(wchar_t)));
    if (listing->name == "." || listing->name == "..") continue;
    if (const DirEntryHook hook = g_dir_entry_hook.load(std::memory_order_relaxed)) {
      if (const int error = hook(listing->name); error != 0) {
        failed_ = true;
        error_ = std::strerror(error);
        return false;
      }
    }
    listing->record = RecordOf(*entry, listing->serial);
    listing->short_name =
        std::wstring_view(entry->ShortName, entry->ShortNameLength / sizeof(wchar_t));
    listing->record.attributes |= PlaceholderMarkOf(listing->name);
    *name = listing->name;
    *kind = listing->record.kind;
    return true;
  }
}

bool DirReader::Stat(std::string_view name, FileInfo* info) const {
  const auto* listing = static_cast<const Listing*>(dir_);
  if (listing != nullptr && listing->started && name == listing->name &&
      listing->record.kind != EntryKind::kOther) {
    *info = listing->record;
    return true;
  }
  return StatIn(fd_, name, info);
}

bool DirReader::StatSelf(FileInfo* info) const {
  return fd_ != kNoHandle && win_parts::InfoOfHandle(fd_, info);
}

}  // namespace platform
