// Cost of the volume queries behind list names: the desktop's refresh asks for four name
// parts one at a time, each a full volume query.

#include <benchmark/benchmark.h>

#include <string>

#include "fs/volume_info.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "lists/list_names.h"

namespace {

std::string BenchPath() { return platform::TempDir(); }

void BM_ReadMountTable(benchmark::State& state) {
  std::vector<platform::Mount> mounts;
  for (auto _ : state) {
    mounts = platform::MountedFileSystems();
    benchmark::DoNotOptimize(mounts.data());
  }
  state.counters["mounts"] = static_cast<double>(mounts.size());
}
BENCHMARK(BM_ReadMountTable);

void BM_GetVolumeInfo(benchmark::State& state) {
  const std::string path = BenchPath();
  fs::TVolumeInfo info;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fs::GetVolumeInfoSx(path, &info));
  }
}
BENCHMARK(BM_GetVolumeInfo);

void BM_NameParts(benchmark::State& state) {
  const std::string path = BenchPath();
  std::string name;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        lists::NamePartsSx(path, &name, lists::kNameAll, lists::kDefaultSeparators));
  }
}
BENCHMARK(BM_NameParts);

void BM_RootColumn(benchmark::State& state) {
  const std::string path = BenchPath() + "a/b/c/d/e/f/";
  for (auto _ : state) {
    benchmark::DoNotOptimize(fs::RootColumn(path));
  }
}
BENCHMARK(BM_RootColumn);

}  // namespace

BENCHMARK_MAIN();
