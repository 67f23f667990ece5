// Name-pattern matching as directory iteration uses it: every entry name against every
// mask. Reports the time per name for a compiled matcher and for InStrS, which compiles
// the pattern on each call.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "support/pattern.h"

namespace {

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = {
      "a.tmp",
      "Thumbs.db",
      "desktop.ini",
      "IMG_20240611_184512.jpg",
      "report final (2).docx",
      "~WRL0003.tmp",
      "node_modules",
      "libstdc++.so.6.0.30",
      "README.md",
      "CMakeLists.txt",
      "recycled",
      "Temp",
      "tmp",
      "\xC3\x84pfel und Birnen.txt",
      "photo-2019-07-14T09-31-22.000Z.png",
      "a_rather_long_file_name_that_goes_on_and_on_without_a_dot_for_quite_a_while",
      "x.tmpl",
      "backup.tar.gz",
      "System Volume Information",
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.pdf",
  };
  return names;
}

const char* const kMasks[] = {"*.tmp", "thumbs.db", "{recycler,recycled,temp,tmp}"};

void BM_CompiledMatcher(benchmark::State& state) {
  const support::PatternMatcher matcher(kMasks[state.range(0)]);
  const auto& names = Names();
  for (auto _ : state) {
    for (const std::string& name : names) {
      int end = 0;
      benchmark::DoNotOptimize(matcher.Find(name, &end));
      benchmark::DoNotOptimize(end);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
  state.SetLabel(kMasks[state.range(0)]);
}
BENCHMARK(BM_CompiledMatcher)->DenseRange(0, 2);

void BM_InStrSPerCall(benchmark::State& state) {
  const char* mask = kMasks[state.range(0)];
  const auto& names = Names();
  for (auto _ : state) {
    for (const std::string& name : names) {
      support::InStrSResult result{};
      benchmark::DoNotOptimize(
          support::InStrS(mask, name, 0, &result, support::kInStrSDefaultLast, 0));
      benchmark::DoNotOptimize(result.match_end);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
  state.SetLabel(mask);
}
BENCHMARK(BM_InStrSPerCall)->DenseRange(0, 2);

// A long name that defeats the quick rejection and the first-character filter.
void BM_CompiledMatcherLongName(benchmark::State& state) {
  const support::PatternMatcher matcher("*a*b*c.tmp");
  const std::string name = std::string(200, 'a') + std::string(50, 'b') + "c.tm";
  for (auto _ : state) benchmark::DoNotOptimize(matcher.Find(name));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CompiledMatcherLongName);

}  // namespace

BENCHMARK_MAIN();
