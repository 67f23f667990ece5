// The floor of a scan: walk a tree, take each file's metadata and read every byte into
// one reused buffer, computing nothing. A scan cannot be faster than this.
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

void Walk(const std::string& dir, char* buffer, size_t buffer_size, Totals* totals) {
  platform::DirReader reader;
  if (!reader.Open(dir)) return;
  std::vector<std::string> subdirs;
  std::string path;
  std::string_view name;
  platform::EntryKind kind;
  while (reader.Next(&name, &kind)) {
    if (kind == platform::EntryKind::kDirectory) {
      subdirs.push_back(dir + std::string(name) + "/");
      continue;
    }
    if (kind != platform::EntryKind::kFile) continue;
    platform::FileInfo info;
    if (!reader.Stat(name, &info)) {
      ++totals->failures;
      continue;
    }
    path.assign(dir).append(name);
    platform::File file;
    if (!file.Open(path, platform::OpenMode::kRead)) {
      ++totals->failures;
      continue;
    }
    int64_t got;
    while ((got = file.Read(buffer, buffer_size)) > 0) totals->bytes += static_cast<uint64_t>(got);
    if (got < 0) ++totals->failures;
    ++totals->files;
  }
  reader.Close();
  for (const std::string& subdir : subdirs) Walk(subdir, buffer, buffer_size, totals);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: floor_tool DIR [BUFFER_BYTES]\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
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
  Walk(dir, static_cast<char*>(buffer), buffer_size, &totals);
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
