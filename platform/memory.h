#pragma once
// Page-rounded anonymous memory regions and the available physical memory.

#include <cstdint>

namespace platform {

// Maps a readable, writable, never executable region of at least `size` bytes,
// rounded up to whole pages. Null when the system refuses.
void* MapRegion(uint64_t size);
// Committed size of a region returned by MapRegion (0 for null or unknown).
uint64_t RegionSize(const void* region);
// Releases a region; false when it is not one of ours or the system refuses.
bool UnmapRegion(void* region);

uint64_t PageSize();

// Test seam: when set, MapRegion refuses every size for which it returns true.
using MapRefusal = bool (*)(uint64_t size);
void SetMapRefusalForTesting(MapRefusal refusal);
// Available physical memory in bytes (MemAvailable), 0 when unknown.
uint64_t AvailableMemory();

}  // namespace platform
