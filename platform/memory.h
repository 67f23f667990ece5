#pragma once
// Page-rounded anonymous memory regions and the available physical memory.

#include <cstdint>
#include <string>

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
// A file mapped read-only, whole; the mapping outlives the file's removal. Move-only.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // False with ErrorText() when the file cannot be opened or mapped; NotFound() says it
  // is not there. An empty file maps to no bytes.
  bool Open(const std::string& path);
  void Close();
  const char* data() const { return data_; }
  uint64_t size() const { return size_; }
  // The last write of the file as mapped, in ns since 1970.
  int64_t write_ns() const { return write_ns_; }
  bool NotFound() const { return not_found_; }
  const std::string& ErrorText() const { return error_; }
  // Copies [offset, offset + length) of the file to `out`: for a few scattered bytes,
  // where the first touch of each mapped page would cost a fault (dear in a virtual
  // machine). False past the end or when the system refuses.
  bool ReadAt(uint64_t offset, void* out, uint64_t length) const;

 private:
  const char* data_ = nullptr;
  uint64_t size_ = 0;
  int64_t write_ns_ = 0;
  int fd_ = -1;
  bool not_found_ = false;
  std::string error_;
};

// Available physical memory in bytes (MemAvailable), 0 when unknown.
uint64_t AvailableMemory();

}  // namespace platform
