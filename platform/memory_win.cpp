#include <windows.h>

#include <atomic>

#include "platform/memory.h"
#include "platform/wide_win.h"

namespace platform {

namespace {

std::atomic<MapRefusal> g_map_refusal{nullptr};

// MappedFile keeps its handle in an int: Windows handles fit in 32 bits, so that 32-bit
// and 64-bit programs can share them.
HANDLE HandleOf(int fd) { return LongToHandle(fd); }

int64_t WriteNs(const FILETIME& time) {
  constexpr int64_t kUnitsFrom1601To1970 = 116444736000000000LL;
  const int64_t units =
      static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  return (units - kUnitsFrom1601To1970) * 100;
}

}  // namespace

void SetMapRefusalForTesting(MapRefusal refusal) { g_map_refusal.store(refusal); }

uint64_t PageSize() {
  static const uint64_t size = [] {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize > 0 ? static_cast<uint64_t>(info.dwPageSize) : 4096;
  }();
  return size;
}

void* MapRegion(uint64_t size) {
  if (size == 0) return nullptr;
  const MapRefusal refusal = g_map_refusal.load(std::memory_order_relaxed);
  if (refusal != nullptr && refusal(size)) return nullptr;
  const uint64_t page = PageSize();
  if (size > UINT64_MAX - page) return nullptr;
  const uint64_t rounded = (size + page - 1) / page * page;
  return VirtualAlloc(nullptr, static_cast<SIZE_T>(rounded), MEM_RESERVE | MEM_COMMIT,
                      PAGE_READWRITE);
}

// The system keeps each region's size: no registry of our own is needed.
uint64_t RegionSize(const void* region) {
  if (region == nullptr) return 0;
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(region, &info, sizeof info) != sizeof info) return 0;
  if (info.AllocationBase != region || info.State != MEM_COMMIT) return 0;
  // A region is one allocation; its committed pages run on as long as the base's do.
  uint64_t total = 0;
  const char* at = static_cast<const char*>(region);
  while (VirtualQuery(at, &info, sizeof info) == sizeof info && info.AllocationBase == region &&
         info.State == MEM_COMMIT) {
    total += info.RegionSize;
    at += info.RegionSize;
  }
  return total;
}

bool UnmapRegion(void* region) {
  if (RegionSize(region) == 0) return false;
  return VirtualFree(region, 0, MEM_RELEASE) != 0;
}

uint64_t AvailableMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullAvailPhys;
}

bool MappedFile::Open(const std::string& path) {
  Close();
  not_found_ = false;
  error_.clear();
  // Delete sharing: the file may be removed or replaced while mapped, as on Linux.
  const HANDLE h = CreateFileW(LongPath(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    not_found_ = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    error_ = SystemErrorText(code);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  if (!ok) error_ = SystemErrorText(GetLastError());
  if (ok && (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    ok = false;
    error_ = "not a file";
  }
  const uint64_t size =
      ok ? (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow : 0;
  if (ok && size > 0) {
    const HANDLE mapping = CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view == nullptr) {
      ok = false;
      error_ = SystemErrorText(GetLastError());
    }
    // The view holds the mapping open on its own.
    if (mapping) CloseHandle(mapping);
    data_ = static_cast<const char*>(view);
    size_ = ok ? size : 0;
  }
  if (ok) {
    write_ns_ = WriteNs(info.ftLastWriteTime);
    fd_ = HandleToLong(h);
  } else {
    CloseHandle(h);
  }
  return ok;
}

bool MappedFile::ReadAt(uint64_t offset, void* out, uint64_t length) const {
  if (fd_ == -1 || offset > size_ || length > size_ - offset) return false;
  auto* to = static_cast<char*>(out);
  while (length > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
    DWORD got = 0;
    if (!ReadFile(HandleOf(fd_), to, want, &got, &at) || got == 0) return false;
    to += got;
    offset += got;
    length -= got;
  }
  return true;
}

void MappedFile::Close() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  if (fd_ != -1) CloseHandle(HandleOf(fd_));
  fd_ = -1;
  data_ = nullptr;
  size_ = 0;
  write_ns_ = 0;
}

}  // namespace platform
