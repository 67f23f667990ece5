// The floor of a scan: the fewest system calls that touch every byte and every record of
// a tree, on one thread, computing nothing. Each directory is read through its own
// descriptor, each entry's record taken relative to it (one statx), each non-empty file
// opened relative to it and read to the size its record gave into one reused buffer (one
// read when it fits), then closed. Links are not followed; FIFOs, sockets and devices
// are passed over, as a scan does.
//
// Usage: floor_tool DIR [BUFFER_BYTES]   (default 512000, the scan's default maximum)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/memory.h"

namespace {

struct Totals {
  uint64_t files = 0;
  uint64_t bytes = 0;
  uint64_t failures = 0;
};

void ReadFile(const platform::DirReader& dir, std::string_view name, uint64_t size, char* buffer,
              size_t buffer_size, Totals* totals) {
  ++totals->files;
  if (size == 0) return;
  platform::File file;
  if (!file.OpenAt(dir, name, platform::OpenMode::kReadListed)) {
    ++totals->failures;
    return;
  }
  uint64_t left = size;
  while (left > 0) {
    const size_t want = left < buffer_size ? static_cast<size_t>(left) : buffer_size;
    const int64_t got = file.Read(buffer, want);
    if (got != static_cast<int64_t>(want)) {
      ++totals->failures;
      return;
    }
    left -= want;
    totals->bytes += want;
  }
}

// `reader` holds the directory open; its subdirectories are read after its files.
void Walk(platform::DirReader& reader, char* buffer, size_t buffer_size, Totals* totals) {
  std::vector<std::string> subdirs;
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) {
    if (kind == platform::EntryKind::kDirectory) {
      subdirs.emplace_back(name);
      continue;
    }
    if (kind != platform::EntryKind::kFile) continue;
    platform::FileInfo info;
    if (!reader.Stat(name, &info)) {
      ++totals->failures;
      continue;
    }
    ReadFile(reader, name, info.size, buffer, buffer_size, totals);
  }
  if (reader.Failed()) ++totals->failures;
  for (const std::string& subdir : subdirs) {
    platform::DirReader child;
    if (!reader.OpenChild(subdir, &child)) {
      ++totals->failures;
      continue;
    }
    Walk(child, buffer, buffer_size, totals);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: floor_tool DIR [BUFFER_BYTES]\n");
    return 2;
  }
  const size_t buffer_size = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 512000;
  if (buffer_size == 0) {
    std::fprintf(stderr, "floor_tool: bad buffer size\n");
    return 2;
  }
  void* buffer = platform::MapRegion(buffer_size);
  if (buffer == nullptr) {
    std::fprintf(stderr, "floor_tool: no buffer\n");
    return 2;
  }
  Totals totals;
  const auto start = std::chrono::steady_clock::now();
  platform::DirReader root;
  if (!root.Open(argv[1])) {
    std::fprintf(stderr, "floor_tool: cannot read %s: %s\n", argv[1], root.ErrorText().c_str());
    return 2;
  }
  Walk(root, static_cast<char*>(buffer), buffer_size, &totals);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  platform::UnmapRegion(buffer);
  std::printf(
      "%llu files, %llu bytes, %llu failures, %.3f s, %.0f MB/s, %.0f files/s\n",
      static_cast<unsigned long long>(totals.files), static_cast<unsigned long long>(totals.bytes),
      static_cast<unsigned long long>(totals.failures), seconds,
      seconds > 0 ? totals.bytes / seconds / 1e6 : 0.0, seconds > 0 ? totals.files / seconds : 0.0);
  return totals.failures == 0 ? 0 : 1;
}
