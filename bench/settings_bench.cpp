// Settings lookups on a large ini text, and the per-path toolkit calls the scan makes.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/ini.h"
#include "support/toolkit.h"

namespace {

// 50 sections of 40 keys: far more than any settings file the program writes.
support::StringList BigSettings() {
  support::StringList list;
  for (int s = 0; s < 50; ++s) {
    list.Add("[Section" + std::to_string(s) + "]");
    for (int k = 0; k < 40; ++k) {
      list.Add("Key" + std::to_string(k) + "=" + std::to_string(s * 100 + k) + ";note");
    }
    list.Add("");
  }
  return list;
}

void BM_IniGetLastKey(benchmark::State& state) {
  const support::StringList list = BigSettings();
  for (auto _ : state) {
    benchmark::DoNotOptimize(support::IniGetSx(list, "section49", "key39", SxValue(0)).AsInt());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IniGetLastKey);

void BM_IniSetKeepingComment(benchmark::State& state) {
  support::StringList list = BigSettings();
  int value = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        support::IniSetSx(list, "Section25", "Key20", SxValue(++value % 1000)));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IniSetKeepingComment);

void BM_IniSetList100(benchmark::State& state) {
  support::StringList list = BigSettings();
  support::StringList history;
  for (int i = 0; i < 100; ++i) history.Add("/data/path/number/" + std::to_string(i) + "/");
  for (auto _ : state) support::IniSetListSx(list, "Section10", "Path", history);
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_IniSetList100);

void BM_FindDataOfAFile(benchmark::State& state) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "settings_bench_find.bin").string();
  std::ofstream(path) << "content";
  support::FindData record;
  for (auto _ : state) benchmark::DoNotOptimize(support::FindDataSx(path, &record, 1));
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindDataOfAFile);

void BM_FileTimeText(benchmark::State& state) {
  uint64_t time = 127017831010070000ull;
  for (auto _ : state) {
    benchmark::DoNotOptimize(support::FileTimeTextSx(time, 0));
    time += 10000000;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FileTimeText);

}  // namespace

BENCHMARK_MAIN();
