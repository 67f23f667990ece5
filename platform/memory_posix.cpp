#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
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

}  // namespace platform
