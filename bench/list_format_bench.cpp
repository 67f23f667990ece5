// Speed of the id list lines: formatting a file line (the scan writes one per file),
// and reading a done list back from a list of many lines (Continue does this once).
//
//   list_format_bench --benchmark_min_time=0.5

#include <benchmark/benchmark.h>

#include <string>

#include "content/content_id.h"
#include "lists/list_format.h"

namespace {

constexpr uint64_t kSomeFileTime = 132327956960000000ULL;  // 2020-05-01

support::FindData Record() {
  support::FindData record;
  record.attributes = 32;
  record.size = 1234567;
  record.last_write_time = kSomeFileTime;
  record.creation_time = kSomeFileTime;
  return record;
}

lists::ListOptions Options() {
  lists::ListOptions options;
  options.min_blocks = lists::kDefaultMinBlocks;
  options.root_column = 14;
  return options;
}

void BM_FormatFileLine(benchmark::State& state) {
  lists::IdListWriter writer(Options());
  writer.SetDirectory("/media/u/USB/Photos/2020/Holidays in the mountains/");
  const support::FindData record = Record();
  const std::string name =
      state.range(0) == 0 ? "IMG_0001.JPG" : "Äpfel und Birnen, Sommer 2020.jpeg";
  uint32_t id = 701218845;
  size_t bytes = 0;
  for (auto _ : state) {
    writer.FormatFileLine(content::kChkOk, id++, record, name);
    bytes += writer.line().size();
    benchmark::DoNotOptimize(writer.line().data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_FormatFileLine)->Arg(0)->Arg(1);

void BM_ReadDoneList(benchmark::State& state) {
  lists::IdListWriter writer(Options());
  std::string text;
  const support::FindData record = Record();
  for (int dir = 0; dir < 100; ++dir) {
    writer.SetDirectory("/media/u/USB/Photos/" + std::to_string(dir) + "/");
    for (int file = 0; file < 1000; ++file) {
      writer.FormatFileLine(content::kChkOk, 1, record, "IMG_" + std::to_string(file) + ".JPG");
      text += writer.line();
    }
  }
  for (auto _ : state) {
    support::StringList done;
    benchmark::DoNotOptimize(lists::ReadDoneList(text, &done));
  }
  state.SetItemsProcessed(state.iterations() * 100000);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadDoneList)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
