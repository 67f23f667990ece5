#pragma once
// The content id of a file: a multiplicative fold of its 16-bit little-endian words
// modulo 4294967295, and the page-rounded read buffer it reads through.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/find_data.h"

namespace platform {
class DirHandle;
}

// Result codes of FileChkSx.
constexpr uint8_t kChkOk = 0;
constexpr uint8_t kChkReadError = 1;
constexpr uint8_t kChkOpenFailed = 250;
constexpr uint8_t kChkBufferSizeFailed = 251;
constexpr uint8_t kChkNoBuffer = 252;
constexpr uint8_t kChkTooShort = 253;
constexpr uint8_t kChkEmpty = 254;
constexpr uint8_t kChkNotFound = 255;
// Codes of FileChkAt only, never written as such: the file shrank while it was read (its
// line is that of code 0 with id 0, but the run counts it as an error), and the read was
// given up because the run was told to stop (the file is not listed).
constexpr uint8_t kChkChanged = 2;
constexpr uint8_t kChkStopped = 3;

// Computes the id of one file. `id` is 0 unless the whole file was folded; `find_data`
// receives the file's record (taken from the open file, so it describes exactly what was
// read). buffer: a region from VirtAllocSx lent for the call, or null to use an own one;
// buffer_size below 2 (lent) uses the whole region, larger than the region is cut to it;
// below 4 (own) sizes the own buffer from 80 % of the available memory, never larger
// than the file nor than 4 MiB; the own buffer is kept for the thread's next call.
// Reads go in chunks of that size (even), then the rest, then a last odd
// byte; the chunking never changes the id. share_mode (1 or 3) has no effect here.
// Symbolic links, directories and special files are "not found". Never throws; safe on
// any thread as long as a lent buffer is not shared between calls running at once.
uint8_t FileChkSx(const std::string& file_name, uint32_t* id, support::FindData* find_data,
                  int32_t buffer_size, void* buffer, uint8_t share_mode);

// The same for the entry `name` of an open directory, never following a link. Between
// buffers it tests `stop` (may be null) and gives up with kChkStopped once it is set; a
// file that shrank while it was read gives kChkChanged.
uint8_t FileChkAt(const platform::DirHandle& dir, std::string_view name, uint32_t* id,
                  support::FindData* find_data, int32_t buffer_size, void* buffer,
                  const std::atomic<bool>* stop);

// Maps a region of `size` bytes (whole pages), releasing *region first when set.
// fill >= 0 sets every byte to fill's low byte. Returns the committed size or -1.
int64_t VirtAllocSx(void** region, int fill, int64_t size);
// Committed size of the region, 0 when clear or unknown.
int64_t VirtSizeSx(const void* region);
// Releases the region and clears *region; true when clear already or released.
bool VirtFreeSx(void** region, int64_t size);
