#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/memory.h"

namespace platform {

namespace {

// mmap does not remember sizes; the registry lets a region be asked for its size
// by address alone.
std::mutex g_regions_mutex;
std::map<const void*, uint64_t>& Regions() {
  static auto* regions = new std::map<const void*, uint64_t>();
  return *regions;
}

std::atomic<MapRefusal> g_map_refusal{nullptr};

}  // namespace

void SetMapRefusalForTesting(MapRefusal refusal) { g_map_refusal.store(refusal); }

uint64_t PageSize() {
  static const uint64_t size = [] {
    const long s = sysconf(_SC_PAGESIZE);
    return s > 0 ? static_cast<uint64_t>(s) : 4096;
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
  void* p = mmap(nullptr, rounded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  std::lock_guard<std::mutex> lock(g_regions_mutex);
  Regions()[p] = rounded;
  return p;
}

uint64_t RegionSize(const void* region) {
  if (region == nullptr) return 0;
  std::lock_guard<std::mutex> lock(g_regions_mutex);
  const auto it = Regions().find(region);
  return it == Regions().end() ? 0 : it->second;
}

bool UnmapRegion(void* region) {
  if (region == nullptr) return false;
  uint64_t size;
  {
    std::lock_guard<std::mutex> lock(g_regions_mutex);
    const auto it = Regions().find(region);
    if (it == Regions().end()) return false;
    size = it->second;
    Regions().erase(it);
  }
  return munmap(region, size) == 0;
}

uint64_t AvailableMemory() {
  FILE* f = std::fopen("/proc/meminfo", "re");
  if (f == nullptr) return 0;
  char line[256];
  uint64_t result = 0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    unsigned long long kb;
    if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
      result = static_cast<uint64_t>(kb) * 1024;
      break;
    }
  }
  std::fclose(f);
  return result;
}

bool MappedFile::Open(const std::string& path) {
  Close();
  not_found_ = false;
  error_.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    not_found_ = errno == ENOENT;
    error_ = std::strerror(errno);
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) error_ = std::strerror(errno);
  if (ok && !S_ISREG(st.st_mode)) {
    ok = false;
    error_ = "not a file";
  }
  if (ok && st.st_size > 0) {
    void* mapped = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    ok = mapped != MAP_FAILED;
    if (ok) {
      data_ = static_cast<const char*>(mapped);
      size_ = static_cast<uint64_t>(st.st_size);
    } else {
      error_ = std::strerror(errno);
    }
  }
  if (ok) write_ns_ = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  if (ok) {
    fd_ = fd;
  } else {
    close(fd);
  }
  return ok;
}

bool MappedFile::ReadAt(uint64_t offset, void* out, uint64_t length) const {
  if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
  auto* to = static_cast<char*>(out);
  while (length > 0) {
    const ssize_t got = pread(fd_, to, static_cast<size_t>(length), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    to += got;
    offset += static_cast<uint64_t>(got);
    length -= static_cast<uint64_t>(got);
  }
  return true;
}

void MappedFile::Close() {
  if (data_ != nullptr) munmap(const_cast<char*>(data_), static_cast<size_t>(size_));
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  data_ = nullptr;
  size_ = 0;
  write_ns_ = 0;
}

}  // namespace platform
