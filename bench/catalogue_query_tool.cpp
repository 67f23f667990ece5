// Times name queries against the catalogue index of one folder of id lists, as
// `checker-cli find --catalogue FOLDER` opens it (run that first, with the same
// XDG_CACHE_HOME, so the index is built and warm).
//
// Usage: catalogue_query_tool FOLDER [QUERIES_FILE [--path]]
//
// 100 different queries (words, parts of words, masks; or one a line of QUERIES_FILE):
// for each, the time until its first 100 results are in hand, the first time in the
// process (pages not yet mapped) and again, and the time to count all its matches.
// Prints the 50th and 95th percentile and the slowest of each, then the time of a
// refresh that finds nothing changed. --path matches whole paths.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/catalogue_index.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::vector<std::string> Queries() {
  const char* const words[] = {
      "holiday", "italy",   "beach",   "garden", "birthday", "wedding", "mountain", "river",
      "report",  "invoice", "budget",  "letter", "summary",  "draft",   "final",    "notes",
      "project", "client",  "server",  "parser", "window",   "network", "storage",  "backup",
      "family",  "school",  "concert", "autumn", "winter",   "spring",  "summer",   "island",
      "kitchen", "recipe",  "travel",  "museum", "station",  "harbour", "village",  "forest"};
  std::vector<std::string> queries;
  for (const char* word : words) queries.push_back(word);
  for (size_t i = 0; queries.size() < 60; ++i) {
    queries.push_back(std::string(words[i]) + "_" +
                      std::string(words[(i * 7 + 3) % 40]).substr(0, 3));
  }
  for (int i = 0; queries.size() < 80; ++i)
    queries.push_back("IMG_" + std::to_string(1000 + i * 97));
  const char* const masks[] = {"*.flac", "*.mkv",     "*.CR2",        "IMG_1*.jpg", "*report*.pdf",
                               "0? - *", "*_1?.py",   "draft_*",      "*.odt",      "*beach*",
                               "*.MOV",  "notes_*.h", "*invoice_9*",  "*.m4a",      "*_final_*",
                               "*.docx", "client*",   "*server*.cpp", "*.py",       "summer_*"};
  for (const char* mask : masks) queries.push_back(mask);
  return queries;
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: catalogue_query_tool FOLDER [LIST_EXT]\n");
    return 2;
  }
  std::string folder = argv[1];
  if (folder.back() != '/') folder += '/';
  const std::vector<std::string> folders = {folder};
  catalogue::CatalogueIndex index(folders, catalogue::IndexPathFor(folders), "v00");
  std::vector<std::string> queries = Queries();
  if (argc > 2) {
    queries.clear();
    std::ifstream in(argv[2]);
    for (std::string line; std::getline(in, line);) queries.push_back(line);
  }
  const Clock::time_point refresh_start = Clock::now();
  if (!index.Refresh()) {
    std::fprintf(stderr, "catalogue_query_tool: %s\n", index.error().c_str());
    return 2;
  }
  const double refresh_ms = Ms(Clock::now() - refresh_start);

  std::vector<double> cold;
  std::vector<double> first;
  std::vector<double> all;
  int64_t most = 0;
  for (const std::string& query_text : queries) {
    catalogue::CatalogueIndex fresh(folders, catalogue::IndexPathFor(folders), "v00");
    fresh.Refresh();
    catalogue::FileQuery query;
    query.name = query_text;
    query.whole_path = argc > 3 && std::string(argv[3]) == "--path";
    // Once in a fresh object, as a new process would, then timed again: the first 100
    // results (as a window shows them) and the count of all, which Find goes on to make.
    size_t cold_seen = 0;
    const Clock::time_point cold_start = Clock::now();
    double cold_ms = 0;
    fresh.Find(query, 100, [&](const catalogue::CatalogueFile&) {
      if (++cold_seen == 100) cold_ms = Ms(Clock::now() - cold_start);
    });
    if (cold_seen < 100) cold_ms = Ms(Clock::now() - cold_start);
    cold.push_back(cold_ms);
    index.Find(query, 100, [](const catalogue::CatalogueFile&) {});
    size_t seen = 0;
    Clock::duration to_first{};
    const Clock::time_point start = Clock::now();
    const int64_t count = index.Find(query, 100, [&](const catalogue::CatalogueFile&) {
      if (++seen == 100) to_first = Clock::now() - start;
    });
    const Clock::duration total = Clock::now() - start;
    if (seen < 100) to_first = total;
    first.push_back(Ms(to_first));
    all.push_back(Ms(total));
    most = std::max(most, count);
    std::printf("%-24s %9lld matches  first 100 %8.2f ms (new %8.2f)  all %8.2f ms\n",
                query_text.c_str(), static_cast<long long>(count), Ms(to_first), cold_ms,
                Ms(total));
  }
  std::printf("first 100 results in a new object: p50 %.2f ms, p95 %.2f ms, slowest %.2f ms\n",
              Percentile(cold, 0.5), Percentile(cold, 0.95), Percentile(cold, 1.0));
  std::printf("first 100 results: p50 %.2f ms, p95 %.2f ms, slowest %.2f ms\n",
              Percentile(first, 0.5), Percentile(first, 0.95), Percentile(first, 1.0));
  std::printf("counting all matches: p50 %.2f ms, p95 %.2f ms, slowest %.2f ms (most %lld)\n",
              Percentile(all, 0.5), Percentile(all, 0.95), Percentile(all, 1.0),
              static_cast<long long>(most));
  std::printf("unchanged refresh: %.2f ms\n", refresh_ms);
  return 0;
}
